#pragma once
// End-to-end tests: the real smsclient-demo-service program as a child process on an
// ephemeral loopback port with its own data folder, and the real client windows in this
// process, driven through the scripted UI seam, with a temporary data folder whose
// Company_Info.ini points every line at that service.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm3.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/LoginStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

namespace smsc::test {

// The client against a demo service: temporary data folder and login store, scripted UI,
// the main window with every other window. The notice timer is stopped; tests fire it.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        data.writeFile("CityInfo.dat", G("[北京]#[北京]"));  // made at build time, not in data/
        SetLoginStorePath(QString::fromStdString(m_store.file("login.ini")));
    }
    void TearDown() override {
        main.reset();
        SetLoginStorePath(QString());
    }

    // Starts the service (extra arguments after --port and --data-dir) and points every line
    // of the client's Company_Info.ini at it.
    void startService(const std::vector<std::string>& extraArgs = {}) {
        service = std::make_unique<DemoServiceProcess>(extraArgs);
        ASSERT_TRUE(service->running()) << BinProgram("smsclient-demo-service");
        IniFile ini(DataPath("Company_Info.ini"));
        ASSERT_TRUE(ini.write("Service_Url", "Telecom_Url", service->baseUrl()));
        ASSERT_TRUE(ini.write("Service_Url", "Netcom_Url", service->baseUrl()));
        ASSERT_TRUE(ini.write("Service_Url", "Download_Url", service->baseUrl() + "mms/"));
    }

    void startClient() {
        main = std::make_unique<TForm2>();
        login().Timer1->stop();
        main->createRemainingWindows();
        main->show();
    }
    TForm1& login() const { return *main->loginWindow(); }

    // Types the login, presses "登录" and fires the wait window's tick.
    void logIn(const QString& user, const QString& password) {
        login().Edit1->setText(user);
        login().Edit2->setText(password);
        login().Button1->click();
        ASSERT_TRUE(main->waitWindow()->Timer1->isActive());
        main->waitWindow()->Timer1Timer();
    }

    TempDataDir data;  // installed as the data folder first, removed last
    TempFolder m_store;
    ScriptedUi ui;
    std::unique_ptr<DemoServiceProcess> service;
    std::unique_ptr<TForm2> main;
};

}  // namespace smsc::test
