#pragma once
// Shared pieces of the recipient tests: runs of numbers and their text, and a stand-in for
// the main window with both recipient panels.

#include <gtest/gtest.h>

#include <QVBoxLayout>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "tests/support/ScriptedUi.h"

namespace smsc::test {

// count consecutive numbers from `first` on.
inline std::vector<std::string> Numbers(int count, long long first = 13800000000LL) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.push_back(std::to_string(first + i));
    return out;
}

// The lines joined by CR LF; with one more after the last when finalBreak.
inline std::string CrlfLines(const std::vector<std::string>& lines, bool finalBreak) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size() || finalBreak)
            text += "\r\n";
    }
    return text;
}

// A stand-in for the main window: two pages with their panels laid out, the coordinator,
// and the page that is "shown" chosen by the test (the SMS page at first).
class PanelHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = std::make_unique<QWidget>();
        smsPage = new QWidget(host.get());
        mmsPage = new QWidget(host.get());
        sms = new RecipientPanel(PanelKind::Sms, smsPage);
        mms = new RecipientPanel(PanelKind::Mms, mmsPage);
        smsPage->setLayout(sms->createListLayout());
        mmsPage->setLayout(mms->createListLayout());
        coordinator = new RecipientCoordinator(host.get());
        coordinator->setPanels(sms, mms);
        coordinator->setActivePanelSource([this] { return active; });
        active = sms;
    }
    // The windows go before anything a test class adds (files, for one).
    void TearDown() override { host.reset(); }

    ScriptedUi ui;
    std::unique_ptr<QWidget> host;
    QWidget* smsPage = nullptr;
    QWidget* mmsPage = nullptr;
    RecipientPanel* sms = nullptr;
    RecipientPanel* mms = nullptr;
    RecipientCoordinator* coordinator = nullptr;
    RecipientPanel* active = nullptr;
};

}  // namespace smsc::test
