// The notice check: the notice file, the update offer, the notice window and its
// suppression, and the MMS cost note; as plain logic and through the login window's timer.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

#include "app/TForm17.h"
#include "service/NoticeCheck.h"
#include "tests/app/AppFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

// Records what the check asks of the windows; answers the update question as told.
class FakeHost final : public NoticeCheckHost {
public:
    bool acceptUpdate = false;
    bool suppressed = false;
    int failures = 0, updates = 0, offers = 0;
    std::string versionLabel, costNote;
    std::vector<std::vector<std::string>> notices;
    std::vector<std::string> saveFailures;

    void networkFailure() override { ++failures; }
    bool askUpdate() override {
        ++offers;
        return acceptUpdate;
    }
    void startUpdaterAndExit() override { ++updates; }
    void setVersionLabel(const std::string& text) override { versionLabel = text; }
    bool noticeSuppressed() override { return suppressed; }
    void showNotice(const std::vector<std::string>& lines) override {
        notices.push_back(lines);
        suppressed = false;
    }
    void setCostNote(const std::string& text) override { costNote = GbkToUtf8(text); }
    void saveFailed(const std::string& path) override { saveFailures.push_back(path); }
};

HttpResult Fetched(const std::string& utf8) {
    return {true, Utf8ToGbk(utf8), {}};
}

const char* kNotice = "Version=6.8\r\nmmstosms=3\r\nextra=x\r\nNotice=第一段|第二段\r\n";

class NoticeLogic : public ::testing::Test {
protected:
    std::string local(const std::string& key) {
        IniFile ini(dir.file("Notice_info.ini"));
        return ini.value(kNoticeSection, key).value_or("<missing>");
    }
    NoticeCheckEnd run(const std::string& utf8) {
        IniFile ini(dir.file("Notice_info.ini"));
        return RunNoticeCheck(Fetched(utf8), ini, host);
    }
    TempFolder dir;
    FakeHost host;
};

TEST(NoticeFile, TrimsCutsAndLooksUpEntries) {
    const NoticeFile f(Utf8ToGbk(" \r\nVersion = 7.0\rmmstosms=4\n\nNotice=a=b|c \r\n\r\n"));
    ASSERT_EQ(f.lines().size(), 4u);
    EXPECT_EQ(f.value("version"), "7.0");
    EXPECT_EQ(f.value("Notice"), "a=b|c");
    EXPECT_EQ(f.value("missing"), "");
    EXPECT_EQ(f.fourthLineValue(), "a=b|c");  // the fourth line, whatever its name
    EXPECT_EQ(f.entries().size(), 3u);        // the empty line is no entry
    EXPECT_FALSE(NoticeFile("a=1\nb=2\nc=3").fourthLineValue().has_value());
    EXPECT_TRUE(NoticeFile("").lines().empty());
}

TEST(NoticeFile, ParagraphsAreIndentedAndFollowedByTwoBreaks) {
    EXPECT_EQ(NoticeParagraphs("a|b"),
              (std::vector<std::string>{"    a\n\r\n\r", "    b\n\r\n\r"}));
    EXPECT_EQ(NoticeParagraphs(""), (std::vector<std::string>{"    \n\r\n\r"}));
}

TEST_F(NoticeLogic, UnreachableServiceChangesNothing) {
    IniFile ini(dir.file("Notice_info.ini"));
    EXPECT_EQ(RunNoticeCheck(HttpResult{}, ini, host), NoticeCheckEnd::NetworkFailure);
    EXPECT_EQ(host.failures, 1);
    EXPECT_EQ(host.versionLabel, "");
    EXPECT_EQ(host.costNote, "");
    EXPECT_EQ(local("Version"), "<missing>");
}

TEST_F(NoticeLogic, FirstRunWritesTheVersionAndShowsFiveUntilTheNextRun) {
    EXPECT_EQ(run(kNotice), NoticeCheckEnd::Completed);
    EXPECT_EQ(host.offers, 0);
    EXPECT_EQ(host.versionLabel, "V 6.8");
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_EQ(host.notices[0], (std::vector<std::string>{Utf8ToGbk("    第一段\n\r\n\r"),
                                                         Utf8ToGbk("    第二段\n\r\n\r")}));
    EXPECT_EQ(host.costNote, "本系统发送短信彩信共享剩余条数，每发一条彩信将扣除5条短信");
    EXPECT_EQ(local("mmstosms"), "5");
    EXPECT_EQ(local("extra"), "x");
    EXPECT_EQ(local("Notice"), Utf8ToGbk("第一段|第二段"));

    run(kNotice);
    EXPECT_EQ(host.costNote, "本系统发送短信彩信共享剩余条数，每发一条彩信将扣除3条短信");
    EXPECT_EQ(local("mmstosms"), "3");
    EXPECT_TRUE(host.saveFailures.empty());
}

TEST_F(NoticeLogic, DeclinedUpdateCopiesAllButVersionAndIsOfferedAgain) {
    const std::string newer = "Version=7.0\r\nmmstosms=3\r\nextra=x\r\nNotice=n\r\n";
    EXPECT_EQ(run(newer), NoticeCheckEnd::Completed);
    EXPECT_EQ(host.offers, 1);
    EXPECT_EQ(host.versionLabel, "V 6.8");
    EXPECT_EQ(local("Version"), "6.8");
    EXPECT_EQ(local("Notice"), "n");
    EXPECT_EQ(host.notices.size(), 1u);
    run(newer);
    EXPECT_EQ(host.offers, 2);

    host.acceptUpdate = true;
    host.notices.clear();
    EXPECT_EQ(run(newer), NoticeCheckEnd::UpdateAccepted);
    EXPECT_EQ(host.updates, 1);
    EXPECT_TRUE(host.notices.empty());

    // A notice file without Version always offers the update.
    host.acceptUpdate = false;
    run("mmstosms=3\r\na=1\r\nb=2\r\nNotice=n\r\n");
    EXPECT_EQ(host.offers, 4);
}

TEST_F(NoticeLogic, ChangedBehaviourAStoredOlderVersionGivesWayToTheProgramsOwn) {
    // A user folder seeded by 6.7 and kept across the upgrade.
    IniFile(dir.file("Notice_info.ini")).write(kNoticeSection, "Version", "6.7");
    EXPECT_EQ(run(kNotice), NoticeCheckEnd::Completed);
    EXPECT_EQ(host.offers, 0);
    EXPECT_EQ(host.versionLabel, "V 6.8");
    EXPECT_EQ(local("Version"), "6.8");
}

TEST_F(NoticeLogic, UnchangedSuppressedNoticeIsNotShownButAChangedOneIs) {
    run(kNotice);
    host.notices.clear();
    host.suppressed = true;
    EXPECT_EQ(run(kNotice), NoticeCheckEnd::Completed);
    EXPECT_TRUE(host.notices.empty());
    EXPECT_EQ(host.costNote, "本系统发送短信彩信共享剩余条数，每发一条彩信将扣除3条短信");

    run("Version=6.8\r\nmmstosms=3\r\nextra=x\r\nNotice=新的\r\n");
    EXPECT_EQ(host.notices.size(), 1u);
    EXPECT_FALSE(host.suppressed);
}

TEST_F(NoticeLogic, CopiedEntriesCannotBreakTheLocalCopy) {
    // A value opening a multi-line block, names opening a section or a comment, a name with
    // a control byte: the copy keeps the local section readable and every key exact.
    const std::string body =
        "Version=6.8\r\n[x]=1\r\nmmstosms=3\r\nNotice=<<<X\r\nz=9\r\n;c=2\r\n#d=3\r\na\tb=4\r\n";
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(run(body), NoticeCheckEnd::Completed);
    ASSERT_EQ(host.notices.size(), 1u);
    EXPECT_EQ(host.notices[0], (std::vector<std::string>{"    <<<X\n\r\n\r"}));
    {
        IniFile ini(dir.file("Notice_info.ini"));
        EXPECT_EQ(ini.entries(kNoticeSection),
                  (Entries{{"Version", "6.8"}, {"mmstosms", "5"}, {"Notice", "<<<X"}, {"z", "9"}}));
        EXPECT_FALSE(ini.hasSection("x"));
    }

    // "以后不再显示" ticked: the unchanged notice stays hidden, the cost is taken over.
    host.notices.clear();
    host.suppressed = true;
    EXPECT_EQ(run(body), NoticeCheckEnd::Completed);
    EXPECT_TRUE(host.notices.empty());
    EXPECT_EQ(host.costNote, "本系统发送短信彩信共享剩余条数，每发一条彩信将扣除3条短信");
    IniFile ini(dir.file("Notice_info.ini"));
    EXPECT_EQ(ini.entries(kNoticeSection),
              (Entries{{"Version", "6.8"}, {"mmstosms", "3"}, {"Notice", "<<<X"}, {"z", "9"}}));
    EXPECT_TRUE(host.saveFailures.empty());
}

TEST_F(NoticeLogic, FewerThanFourLinesEndsTheCheckSilently) {
    EXPECT_EQ(run("Version=6.8\r\nmmstosms=3\r\nNotice=n"), NoticeCheckEnd::Stopped);
    EXPECT_EQ(host.versionLabel, "V 6.8");
    EXPECT_TRUE(host.notices.empty());
    EXPECT_EQ(host.costNote, "");
    EXPECT_EQ(host.failures, 0);
}

TEST_F(NoticeLogic, UnsavableLocalCopyIsReportedOnce) {
    dir.writeFile("Notice_info.ini/blocker", "");  // a folder where the file should be
    IniFile ini(dir.file("Notice_info.ini"));
    RunNoticeCheck(Fetched(kNotice), ini, host);
    EXPECT_EQ(host.saveFailures.size(), 1u);
    EXPECT_EQ(host.versionLabel, "V 6.8");
    EXPECT_EQ(host.notices.size(), 1u);
}

// ---- through the login window's timer ------------------------------------------------

class NoticeCheckWindows : public AppFixture {
protected:
    void tick() { login().Timer1Timer(); }
};

// Passes everything on to the scripted seam and notes the parent of every message box.
class ParentRecorder final : public UiSeam {
public:
    explicit ParentRecorder(ScriptedUi& inner) : m_inner(inner) { SetUi(this); }
    ~ParentRecorder() override { SetUi(&m_inner); }
    std::vector<QWidget*> parents;

    MsgAnswer messageBox(QWidget* parent, const QString& text, const QString& caption, MsgIcon icon,
                         MsgButtons buttons) override {
        parents.push_back(parent);
        return m_inner.messageBox(parent, text, caption, icon, buttons);
    }
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& startFolder) override {
        return m_inner.openFileName(parent, caption, filter, startFolder);
    }
    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& suggestedName) override {
        return m_inner.saveFileName(parent, caption, filter, suggestedName);
    }
    bool openWithDesktop(const QString& fileOrUrl) override {
        return m_inner.openWithDesktop(fileOrUrl);
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        return m_inner.startProgram(program, arguments);
    }
    bool endOwnCopies(const std::string& executablePath) override {
        return m_inner.endOwnCopies(executablePath);
    }
    int execDialog(QDialog* dialog) override { return m_inner.execDialog(dialog); }
    void quitEventLoop() override { m_inner.quitEventLoop(); }

private:
    ScriptedUi& m_inner;
};

TEST_F(NoticeCheckWindows, NoticeAndQuestionOpenAboveTheVisibleLoginWindow) {
    server.setBody("/softweb/message.txt", "Version=7.1\r\nmmstosms=3\r\na=b\r\nNotice=n\r\n");
    start();
    ParentRecorder recorder(ui);
    TForm17* notice = main->noticeWindow();
    ASSERT_TRUE(login().isVisible());
    ASSERT_TRUE(login().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    bool onTopWhileShown = false;
    ui.answerNext(MsgAnswer::Cancel);
    ui.onNextDialog([&](QDialog* d) {
        onTopWhileShown = d->isVisible() && d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        d->reject();
    });
    tick();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_TRUE(onTopWhileShown);
    EXPECT_FALSE(notice->isVisible());
    EXPECT_FALSE(notice->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_EQ(recorder.parents.size(), 1u);  // the update question
    EXPECT_EQ(recorder.parents[0], &login());
}

TEST_F(NoticeCheckWindows, AfterTheLoginWindowClosedBoxesBelongToTheMainWindow) {
    server.setBody("/softweb/message.txt", "Version=6.8\r\nmmstosms=3\r\na=b\r\nNotice=n\r\n");
    start();
    ParentRecorder recorder(ui);
    login().closeToOffline();
    bool onTopWhileShown = true;
    ui.onNextDialog([&](QDialog* d) {
        onTopWhileShown = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        d->reject();
    });
    tick();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_FALSE(onTopWhileShown);

    pointServiceAt(unreachableBase());
    main.reset();
    start();
    login().closeToOffline();
    recorder.parents.clear();
    tick();
    ASSERT_EQ(recorder.parents.size(), 1u);
    EXPECT_EQ(recorder.parents[0], main.get());
}

TEST_F(NoticeCheckWindows, DeclinedUpdateShowsTheNoticeAndSetsTheCostNote) {
    server.setBody("/softweb/message.txt",
                   Utf8ToGbk("Version=7.1\r\nmmstosms=3\r\na=b\r\nNotice=甲|乙\r\n"));
    setCompany("showNotic", "boo", "hide");
    start();
    TForm17* notice = main->noticeWindow();
    EXPECT_TRUE(notice->CheckBox1->isChecked());
    EXPECT_TRUE(login().Timer1->isSingleShot());
    ui.answerNext(MsgAnswer::Cancel);
    // The notice window closes with its "确定" button.
    bool closedByButton = false;
    ui.onNextDialog([&](QDialog* d) {
        auto* shown = static_cast<TForm17*>(d);
        EXPECT_EQ(shown->Button1->text(), QStringLiteral("确定"));
        shown->Button1->click();
        closedByButton = !shown->isVisible() && shown->result() == QDialog::Accepted;
    });
    tick();
    EXPECT_TRUE(closedByButton);
    ASSERT_GE(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("发现有新版软件,是否现在需要升级?"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(server.lastRequest().target, "/softweb/message.txt");
    EXPECT_EQ(main->versionLabel()->text(), QStringLiteral("V 6.8"));
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0], notice);
    EXPECT_EQ(notice->Memo1->toPlainText(), QStringLiteral("    甲\n\n    乙\n"));
    EXPECT_FALSE(notice->CheckBox1->isChecked());
    EXPECT_EQ(company("showNotic", "boo"), "show");
    EXPECT_EQ(main->costNote(),
              QStringLiteral("本系统发送短信彩信共享剩余条数，每发一条彩信将扣除3条短信"));
    const IniFile local(DataPath("Notice_info.ini"));
    EXPECT_EQ(local.value(kNoticeSection, "Version"), "6.8");
    EXPECT_EQ(ui.quitCount, 0);
}

// The updater is opened with the desktop "open" action when it is there; missing, or
// failing to open, it does not keep the program alive.
TEST_F(NoticeCheckWindows, AcceptedUpdateOpensTheUpdaterAndEnds) {
    server.setBody("/softweb/message.txt", "Version=7.1\r\nmmstosms=3\r\na=b\r\nNotice=n\r\n");
    data.writeFile("UpData.exe", "MZ");
    start();
    ui.answerNext(MsgAnswer::Ok);
    ui.setOpenWithDesktopResult(false);
    tick();
    ASSERT_EQ(ui.openedWithDesktop.size(), 1u);
    EXPECT_EQ(ui.openedWithDesktop[0], QString::fromStdString(data.file("UpData.exe")));
    EXPECT_TRUE(ui.startedPrograms.empty());
    EXPECT_EQ(ui.quitCount, 1);
    ASSERT_EQ(ui.endedCopies.size(), 1u);
    EXPECT_EQ(ui.endedCopies[0], ExecutablePath());
    EXPECT_TRUE(ui.shownDialogs.empty());
    EXPECT_EQ(main->costNote(), QString());

    std::filesystem::remove(data.file("UpData.exe"));
    ui.clear();
    ui.answerNext(MsgAnswer::Ok);
    tick();
    EXPECT_TRUE(ui.openedWithDesktop.empty());
    EXPECT_EQ(ui.quitCount, 1);
}

TEST_F(NoticeCheckWindows, UnreachableServiceLeavesLabelAndNote) {
    pointServiceAt(unreachableBase());
    start();
    ParentRecorder recorder(ui);
    tick();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("网络异常，请检查网络！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    ASSERT_EQ(recorder.parents.size(), 1u);
    EXPECT_EQ(recorder.parents[0], &login());
    EXPECT_EQ(main->versionLabel()->text(), QStringLiteral("V 6.8"));
    EXPECT_EQ(main->costNote(), QString());
    EXPECT_FALSE(login().Timer1->isActive());
}

TEST_F(NoticeCheckWindows, TickBoxWritesTheSuppressionAtOnce) {
    start();
    TForm17* notice = main->noticeWindow();
    EXPECT_FALSE(notice->CheckBox1->isChecked());
    notice->CheckBox1->setChecked(true);
    EXPECT_EQ(company("showNotic", "boo"), "hide");
    notice->CheckBox1->setChecked(false);
    EXPECT_EQ(company("showNotic", "boo"), "show");
}

}  // namespace
