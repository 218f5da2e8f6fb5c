// The import items of the add menu driven on real panels: runs on the worker pool, the
// file chooser, the completion, refusal and failure steps, the verification copies and the
// hand-over of entries in batches.
#include <gtest/gtest.h>

#include <QApplication>
#include <QVBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "recipients/ImportRun.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "recipients/uThreadPool/uThreadPool.h"
#include "tests/recipients/RecipientFixtures.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::CrlfLines;
using smsc::test::FixtureCell;
using smsc::test::Numbers;
using smsc::test::TempFolder;
using Item = RecipientCoordinator::AddItem;
using Strings = std::vector<std::string>;

namespace {

const std::string A = "13800000001", B = "13900000002", C = "15000000003";

// The main window's stand-in with the import hooks installed.
class ImportRunTest : public test::PanelHostTest {
protected:
    void SetUp() override {
        PanelHostTest::SetUp();
        runner = InstallImportHooks(coordinator);
        runner->setClipboardReader([this] { return clipboard; });
    }

    // Chooses the item with the file (if any) offered to the chooser and waits, by
    // processing events, until the run is over.
    void runItem(Item item, const std::string& file = {}) {
        if (!file.empty())
            ui.chooseFileNext(QString::fromStdString(file));
        coordinator->runAddItem(item);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !runner->running(); }, 20000));
    }

    void setVerification(const QString& number, const QString& interval) {
        ui.answerNext(MsgAnswer::Ok);
        sms->VerifyBox->setChecked(true);
        sms->VerifyEdit->setText(number);
        sms->IntervalBox->setEditText(interval);
        ui.clear();
    }

    const Strings& entries(RecipientPanel* panel = nullptr) {
        return (panel ? panel : sms)->entries();
    }
    QString status(RecipientPanel* panel = nullptr) {
        return (panel ? panel : sms)->Status->text();
    }
    QString counter(RecipientPanel* panel = nullptr) {
        return (panel ? panel : sms)->Counter->text();
    }

    // What every end of a run leaves: window enabled, progress hidden, activity timer off.
    void expectIdle(RecipientPanel* panel) {
        EXPECT_TRUE(host->isEnabled());
        EXPECT_FALSE(panel->Progress->isVisibleTo(panel->page()));
        EXPECT_FALSE(coordinator->Timer1->isActive());
        EXPECT_FALSE(runner->running());
    }

    TempFolder folder;
    ImportRunner* runner = nullptr;
    std::string clipboard;
};

}  // namespace

// Deliberately changed: the status says what the run took and left, and a message tells of
// anything left out.
TEST_F(ImportRunTest, ChangedToReportTextImportRepeatedAndBlankLines) {
    folder.writeFile("abc.txt", A + "\r\n" + B + "\r\n" + A + "\r\n\r\n" + C + "\r\n");
    coordinator->runAddItem(Item::TextFileImport);  // cancelled chooser: nothing starts
    EXPECT_FALSE(runner->running());
    EXPECT_TRUE(host->isEnabled());
    ASSERT_EQ(ui.fileDialogFilters.size(), 1u);
    EXPECT_EQ(ui.fileDialogFilters[0], QStringLiteral("文本文件(*.txt)"));

    ui.chooseFileNext(QString::fromStdString(folder.file("abc.txt")));
    coordinator->runAddItem(Item::TextFileImport);
    // The busy state is in place before the worker's first step reaches the panel.
    EXPECT_TRUE(runner->running());
    EXPECT_FALSE(host->isEnabled());
    EXPECT_TRUE(sms->Progress->isVisibleTo(smsPage));
    EXPECT_TRUE(coordinator->Timer1->isActive());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !runner->running(); }, 20000));

    EXPECT_EQ(entries(), (Strings{A, B, C}));
    EXPECT_EQ(status(), QStringLiteral("导入号码完毕，读取4行：添加3个，重复1个，无法识别0个"));
    EXPECT_EQ(counter(), QStringLiteral("当前发送3个对象,已经过滤重复号码"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    expectIdle(sms);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("读取4行：添加3个，重复1个，无法识别0个"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提示"));

    // Entries already in the list are not compared: the same file again doubles them.
    runItem(Item::TextFileImport, folder.file("abc.txt"));
    EXPECT_EQ(entries(), (Strings{A, B, C, A, B, C}));
    EXPECT_EQ(counter(), QStringLiteral("当前发送6个对象,已经过滤重复号码"));
}

// Deliberately changed: a file saved with LF line ends imports one entry per line.
TEST_F(ImportRunTest, ChangedLineFeedFileImportsItsLinesLettersImportVersusExtract) {
    folder.writeFile("lf.txt", A + "\n" + B + "\n");
    runItem(Item::TextFileImport, folder.file("lf.txt"));
    EXPECT_EQ(entries(), (Strings{A, B}));
    EXPECT_EQ(counter(), QStringLiteral("当前发送2个对象,已经过滤重复号码"));

    folder.writeFile("words.txt", "hello\n138 0000 0001\r\ncall " + C);
    runItem(Item::TextFileImport, folder.file("words.txt"));
    runItem(Item::TextFileExtract, folder.file("words.txt"));
    // A line that is one number written with blanks is taken as the number; extracting
    // reads it too.
    EXPECT_EQ(entries(), (Strings{A, B, "hello", A, "call " + C, A, C}));
    EXPECT_EQ(status(), QStringLiteral("导入号码完毕，读取3行：添加2个，重复0个，无法识别1个"));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text,
              QStringLiteral("读取3行：添加2个，重复0个，无法识别1个\r是否查看无法识别的行？"));
}

// Deliberately changed: 30000 numbers with a final line break import; over the cap the user
// is told how many there are and may add the first 30000 or nothing.
TEST_F(ImportRunTest, ChangedCapOffersTheFirst30000) {
    folder.writeFile("with.txt", CrlfLines(Numbers(30000), true));
    folder.writeFile("over.txt", CrlfLines(Numbers(30005), true));
    sms->AddRecipients({A, B});
    sms->ShowRecipientCount(false);

    ui.answerNext(MsgAnswer::Cancel);
    runItem(Item::TextFileExtract, folder.file("over.txt"));
    const QString refusal = QStringLiteral("本系统每次最多只能发送三万个号码，您导入的号码过多");
    EXPECT_EQ(entries(), (Strings{A, B}));
    EXPECT_EQ(status(), refusal);
    EXPECT_EQ(counter(), QStringLiteral("当前发送2个对象"));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("文件中有30005个号码，超过每次3万个的上限。\r要全部发送，请用群发任务"
                             "（smsclient-cli campaign start）。\r是否只添加前30000个号码？"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[1].text, refusal);
    expectIdle(sms);

    ui.clear();
    runItem(Item::TextFileImport, folder.file("over.txt"));  // OK: the first 30000
    EXPECT_EQ(entries().size(), 30002u);
    EXPECT_EQ(entries().back(), "13800029999");
    EXPECT_EQ(status(),
              QStringLiteral("导入号码完毕，读取30005行：添加30000个，重复0个，无法识别0个"));
    expectIdle(sms);

    ui.clear();
    runItem(Item::TextFileImport, folder.file("with.txt"));
    EXPECT_EQ(entries().size(), 60002u);
    EXPECT_EQ(sms->Progress->maximum(), 30000);
    EXPECT_EQ(sms->Progress->value(), 30000);
    EXPECT_EQ(status(),
              QStringLiteral("导入号码完毕，读取30000行：添加30000个，重复0个，无法识别0个"));
    EXPECT_TRUE(ui.messages.empty());
}

// A text file that cannot be read says so and changes nothing (it used to end with
// "导入号码完毕", a failure reported as success).
TEST_F(ImportRunTest, UnreadableTextFile) {
    sms->AddRecipient(A);
    runItem(Item::TextFileExtract, folder.file("gone.txt"));
    const QString text = QStringLiteral("读取文件失败，请检查文件是否存在或被其他程序使用");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, text);
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(status(), text);
    EXPECT_EQ(entries(), (Strings{A}));
    EXPECT_EQ(counter(), QStringLiteral("当前发送0个对象；"));  // no completion step
    expectIdle(sms);
}

TEST_F(ImportRunTest, SpreadsheetImportAndFailure) {
    const std::vector<test::FixtureSheet> sheet = {{
        FixtureCell::str(1, 1, "号码"),
        FixtureCell::num(2, 1, 15000000003.0),
        FixtureCell::str(3, 1, "  " + A + "  "),
        FixtureCell::num(4, 1, 15000000003.0),
        FixtureCell::str(5, 1, "not a number"),
        FixtureCell::num(2, 2, 15000000003.0),
        FixtureCell::str(3, 2, B),
    }};
    test::WriteXlsx(folder.file("n.xlsx"), sheet);
    test::WriteXls(folder.file("n.xls"), sheet);

    runItem(Item::ExcelExtract, folder.file("n.xlsx"));
    EXPECT_EQ(entries(), (Strings{A, B, C}));
    ASSERT_FALSE(ui.fileDialogFilters.empty());
    EXPECT_TRUE(ui.fileDialogFilters.back().contains(QStringLiteral("文本文件(*.xls)")));
    EXPECT_TRUE(ui.fileDialogFilters.back().contains(QStringLiteral("所有文件(*.* *)")));
    EXPECT_TRUE(ui.fileDialogFilters.back().contains(QStringLiteral("(*.xls *.xlsx *.ods)")));
    runItem(Item::ExcelExtract, folder.file("n.xls"));
    EXPECT_EQ(entries(), (Strings{A, B, C, A, B, C}));
    // Rows 1 and 5 hold no number; C is in three cells.
    EXPECT_EQ(status(), QStringLiteral("导入号码完毕，读取5行：添加3个，重复2个，无法识别2个"));
    ASSERT_EQ(ui.messages.size(), 2u);  // one for each file
    ui.clear();

    folder.writeFile("junk.xls", "PK\x03\x04 but not a zip");
    runItem(Item::ExcelExtract, folder.file("junk.xls"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("无法读取该电子表格文件，请确认文件格式"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(entries().size(), 6u);
    EXPECT_EQ(counter(), QStringLiteral("当前发送6个对象,已经过滤重复号码"));  // unchanged
    expectIdle(sms);
}

TEST_F(ImportRunTest, ClipboardEmptyAndWithNumbers) {
    sms->AddRecipient(A);
    runItem(Item::ClipboardExtract);
    EXPECT_EQ(entries(), (Strings{A}));
    EXPECT_TRUE(status().startsWith(QStringLiteral("导入号码完毕，读取")));
    EXPECT_EQ(counter(), QStringLiteral("当前发送1个对象,已经过滤重复号码"));
    expectIdle(sms);

    // Read at the click: a change afterwards does not count.
    clipboard = G("张三 ") + B + G("，李四 14312345678，") + C + " " + B;
    coordinator->runAddItem(Item::ClipboardExtract);
    clipboard.clear();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !runner->running(); }, 20000));
    EXPECT_EQ(entries(), (Strings{A, B, C}));
}

TEST_F(ImportRunTest, SystemClipboardByDefault) {
    runner->setClipboardReader(nullptr);
    QGuiApplication::clipboard()->setText(QStringLiteral("电话 13800000001、13900000002"));
    if (QGuiApplication::clipboard()->text().isEmpty())
        GTEST_SKIP() << "no clipboard on this platform";
    runItem(Item::ClipboardExtract);
    EXPECT_EQ(entries(), (Strings{A, B}));
}

// Interval 100 and 250 numbers: E = 2, progress maximum 252, copies before 0, 100, 200.
TEST_F(ImportRunTest, VerificationCopiesBothVariants) {
    setVerification(QStringLiteral(" 10086 "), QStringLiteral("100"));
    folder.writeFile("250.txt", CrlfLines(Numbers(250), false));
    runItem(Item::TextFileExtract, folder.file("250.txt"));
    const Strings fromFile = entries();
    ASSERT_EQ(fromFile.size(), 253u);
    EXPECT_EQ(sms->Progress->maximum(), 252);
    EXPECT_EQ(fromFile[0], "10086");
    EXPECT_EQ(fromFile[101], "10086");
    EXPECT_EQ(fromFile[202], "10086");
    EXPECT_EQ(std::count(fromFile.begin(), fromFile.end(), "10086"), 3);

    ui.answerNext(MsgAnswer::Ok);
    sms->ClearRecipients();
    clipboard = CrlfLines(Numbers(250), false);
    runItem(Item::ClipboardExtract);
    EXPECT_EQ(entries(), fromFile);
    EXPECT_EQ(sms->Progress->maximum(), 252);
}

TEST_F(ImportRunTest, VerificationStopsBeforeAnythingStarts) {
    setVerification(QString(), QStringLiteral("100"));
    coordinator->runAddItem(Item::TextFileImport);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("请输入验证号码！"));
    EXPECT_TRUE(ui.fileDialogFilters.empty());  // no chooser was shown

    // An interval that is no whole number stops the run before the chooser too.
    ui.clear();
    setVerification(QStringLiteral("10086"), QStringLiteral("abc"));
    coordinator->runAddItem(Item::ExcelExtract);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("验证号码间隔错误，请选择正确的间隔！"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_TRUE(ui.fileDialogFilters.empty());
    EXPECT_FALSE(runner->running());
    EXPECT_TRUE(host->isEnabled());

    // So does an interval of 0 or below, for the clipboard kind too (nothing is read).
    for (const QString& interval : {QStringLiteral("0"), QStringLiteral("-5")}) {
        setVerification(QStringLiteral("10086"), interval);
        clipboard = A;
        coordinator->runAddItem(Item::ClipboardExtract);
        ASSERT_EQ(ui.messages.size(), 1u) << interval.toStdString();
        EXPECT_EQ(ui.messages[0].text, QStringLiteral("验证号码间隔错误，请选择正确的间隔！"));
        EXPECT_FALSE(runner->running());
        EXPECT_TRUE(host->isEnabled());
        EXPECT_TRUE(entries().empty());
    }
}

// A pool that cannot create its worker queues the item anyway; the run is dropped with a
// message instead of leaving the window disabled for good.
TEST_F(ImportRunTest, NoWorkerThreadLeavesTheWindowUsable) {
    runner->setPoolSetup([](TThreadsPool& pool) {
        pool.OnThreadInitializing = [](TThreadsPool&, TProcessorThread&) {
            throw std::runtime_error("no thread");
        };
    });
    sms->AddRecipient(A);
    folder.writeFile("a.txt", B + "\r\n" + C);
    ui.chooseFileNext(QString::fromStdString(folder.file("a.txt")));
    coordinator->runAddItem(Item::TextFileImport);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("无法启动导入，请稍后重试"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
    expectIdle(sms);
    QApplication::processEvents();
    EXPECT_EQ(entries(), (Strings{A}));

    // The next run gets its worker and goes through.
    runner->setPoolSetup(nullptr);
    runItem(Item::TextFileImport, folder.file("a.txt"));
    EXPECT_EQ(entries(), (Strings{A, B, C}));
    EXPECT_TRUE(status().startsWith(QStringLiteral("导入号码完毕，读取")));
    expectIdle(sms);
}

TEST_F(ImportRunTest, RunsOnTheActivePanelOnly) {
    active = mms;
    folder.writeFile("a.txt", A + "\r\n" + B);
    runItem(Item::TextFileImport, folder.file("a.txt"));
    EXPECT_EQ(entries(mms), (Strings{A, B}));
    EXPECT_TRUE(entries(sms).empty());
    EXPECT_TRUE(status(mms).startsWith(QStringLiteral("导入号码完毕，读取")));
    EXPECT_TRUE(status(sms).isEmpty());
    EXPECT_TRUE(mms->SendButton->isEnabled());
    expectIdle(mms);
}

// Entries reach the list in order and in a few batches, not one event each.
TEST_F(ImportRunTest, BatchesArriveInOrder) {
    folder.writeFile("n.txt", CrlfLines(Numbers(30000), false));
    QSignalSpy inserted(sms->model(), &QAbstractItemModel::rowsInserted);
    runItem(Item::TextFileImport, folder.file("n.txt"));
    EXPECT_EQ(entries(), Numbers(30000));
    EXPECT_GE(inserted.count(), 2);
    EXPECT_LE(inserted.count(), 10);

    ui.answerNext(MsgAnswer::Ok);
    sms->ClearRecipients();
    inserted.clear();
    runner->setBatchSize(100);
    folder.writeFile("m.txt", CrlfLines(Numbers(1000, 15000000000LL), false));
    runItem(Item::TextFileExtract, folder.file("m.txt"));
    EXPECT_EQ(entries(), Numbers(1000, 15000000000LL));
    ASSERT_EQ(inserted.count(), 10);
    for (int i = 0; i < inserted.count(); ++i)
        EXPECT_EQ(inserted[i].at(1).toInt(), i * 100);  // each batch appended after the last
}

// The lines not recognised: the first 1000 shown, saved as GBK CR LF lines in one piece; a
// folder that cannot take the file is said so.
TEST_F(ImportRunTest, UnrecognisedLinesShownAndSaved) {
    std::string text;
    for (int i = 0; i < 1500; ++i)
        text += G("第") + std::to_string(i) + G("行 没有号码\r\n");
    clipboard = text + A + "\r\n";
    ui.onNextDialog([this](QDialog* dialog) {
        auto* lines = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Lines"));
        ASSERT_NE(lines, nullptr);
        EXPECT_EQ(lines->blockCount(), 1000);
        EXPECT_EQ(lines->document()->firstBlock().text(), QStringLiteral("第0行 没有号码"));
        ui.chooseFileNext(QString::fromStdString(folder.file("left.txt")));
        dialog->findChild<QPushButton*>(QStringLiteral("SaveButton"))->click();
        ui.chooseFileNext(QString::fromStdString(folder.file("no-such-folder/left.txt")));
        dialog->findChild<QPushButton*>(QStringLiteral("SaveButton"))->click();
        dialog->findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
    });
    runItem(Item::ClipboardExtract);
    EXPECT_EQ(entries(), (Strings{A}));
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(
        ui.messages[0].text,
        QStringLiteral("读取1501行：添加1个，重复0个，无法识别1500个\r是否查看无法识别的行？"));
    EXPECT_EQ(ui.messages[1].text, QStringLiteral("保存完毕"));
    EXPECT_EQ(ui.messages[2].text, QStringLiteral("保存失败，请检查文件夹是否可写"));
    const std::string saved = ReadWholeFile(folder.file("left.txt"), 1 << 20).value_or("");
    const std::string first = G("第0行 没有号码\r\n");
    EXPECT_EQ(saved.substr(0, first.size()), first);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 1000);
}
