#pragma once
// A started client for window tests: a temporary data folder whose service addresses point
// at a loopback recording server, a temporary remembered-login store, the scripted UI seam,
// and the main window with its login window and dialogs. The notice timer is stopped so
// that nothing talks to the service unless a test says so.

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <string>

#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm3.h"
#include "platform/DataDir.h"
#include "platform/Gbk.h"
#include "platform/IniFile.h"
#include "platform/LoginStore.h"
#include "tests/support/RecordingServer.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

namespace smsc::test {

class AppFixture : public ::testing::Test {
protected:
    AppFixture() {
        data.writeFile("CityInfo.dat", G("[北京]#[北京]"));  // made at build time, not in data/
        SetLoginStorePath(storeFile());
        pointServiceAt(server.baseUrl());
    }
    ~AppFixture() override {
        main.reset();
        SetLoginStorePath(QString());
    }

    QString storeFile() const { return QString::fromStdString(storeDir.file("login.ini")); }

    // Every line's base address; a closed loopback port makes the service unreachable.
    void pointServiceAt(const std::string& base) {
        setCompany("Service_Url", "Telecom_Url", base);
        setCompany("Service_Url", "Netcom_Url", base);
    }
    static std::string unreachableBase() { return "http://127.0.0.1:1/"; }

    // A Company_Info.ini value, given in UTF-8 and stored as GBK.
    void setCompany(const std::string& section, const std::string& key, const std::string& utf8) {
        IniFile ini(DataPath("Company_Info.ini"));
        ASSERT_TRUE(ini.write(section, key, Utf8ToGbk(utf8)));
    }
    std::string company(const std::string& section, const std::string& key) const {
        const IniFile ini(DataPath("Company_Info.ini"));
        return GbkToUtf8(ini.value(section, key).value_or("<missing>"));
    }
    // Replaces the whole Company_Info.ini (UTF-8 text stored as GBK), keeping the service.
    void replaceCompany(const std::string& utf8) {
        data.writeFile("Company_Info.ini", Utf8ToGbk(utf8));
        pointServiceAt(server.baseUrl());
    }

    void start() {
        main = std::make_unique<TForm2>();
        login().Timer1->stop();
        main->createRemainingWindows();
        main->show();
    }
    TForm1& login() const { return *main->loginWindow(); }

    // Types the login and ticks off a login check up to the wait window's tick.
    void logIn(const QString& user, const QString& password, const std::string& answer) {
        server.setBody("/softweb/login.asp", answer);
        login().Edit1->setText(user);
        login().Edit2->setText(password);
        login().Button1Click();
        ASSERT_TRUE(main->waitWindow()->Timer1->isActive());
        main->waitWindow()->Timer1Timer();
    }

    RecordingServer server;
    TempDataDir data;
    TempFolder storeDir;
    ScriptedUi ui;
    std::unique_ptr<TForm2> main;
};

}  // namespace smsc::test
