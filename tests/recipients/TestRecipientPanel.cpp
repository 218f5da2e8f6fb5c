// The recipient panels and what they share: counters, clearing, deleting, the verification
// option, the add menu, the import steps and the activity timer.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <string>
#include <vector>

#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "recipients/TForm6.h"
#include "tests/recipients/RecipientFixtures.h"
#include "tests/support/KeyEvents.h"

using namespace smsc;
using smsc::test::Numbers;
using Item = RecipientCoordinator::AddItem;

namespace {

// The main window's stand-in at its usual size.
class PanelTest : public test::PanelHostTest {
protected:
    void SetUp() override {
        PanelHostTest::SetUp();
        host->resize(700, 500);
    }

    void select(RecipientPanel* panel, const std::vector<int>& rows) {
        auto* selection = panel->List->selectionModel();
        for (int row : rows)
            selection->select(panel->model()->index(row), QItemSelectionModel::Select);
    }

    QStringList listTexts(RecipientPanel* panel) {
        QStringList out;
        for (int i = 0; i < panel->model()->rowCount(); ++i)
            out << panel->model()->index(i).data().toString();
        return out;
    }
};

}  // namespace

TEST_F(PanelTest, StartState) {
    for (RecipientPanel* panel : {sms, mms}) {
        EXPECT_EQ(panel->Counter->text(), QStringLiteral("当前发送0个对象；"));
        EXPECT_TRUE(panel->Status->text().isEmpty());
        EXPECT_TRUE(panel->Progress->isHidden());
        EXPECT_FALSE(panel->SendButton->isEnabled());
        EXPECT_FALSE(panel->VerifyBox->isChecked());
        EXPECT_FALSE(panel->VerifyEdit->isEnabled());
        EXPECT_FALSE(panel->IntervalBox->isEnabled());
        EXPECT_EQ(panel->VerifyEdit->maxLength(), 12);
        EXPECT_TRUE(panel->IntervalBox->isEditable());
        EXPECT_EQ(panel->IntervalBox->currentText(), QStringLiteral("100"));
        ASSERT_EQ(panel->IntervalBox->count(), 19);
        EXPECT_EQ(panel->IntervalBox->itemText(9), QStringLiteral("1000"));
        EXPECT_EQ(panel->IntervalBox->itemText(18), QStringLiteral("10000"));
        EXPECT_EQ(panel->List->selectionMode(), QAbstractItemView::ExtendedSelection);
    }
    EXPECT_EQ(smsPage->findChild<QListView*>(QStringLiteral("ListBox1")), sms->List);
    EXPECT_EQ(mmsPage->findChild<QListView*>(QStringLiteral("ListBox2")), mms->List);
    EXPECT_EQ(smsPage->findChild<QPushButton*>(QStringLiteral("Button15"))->text(),
              QStringLiteral("发送短信"));
    EXPECT_EQ(mmsPage->findChild<QPushButton*>(QStringLiteral("Button35"))->text(),
              QStringLiteral("发送彩信"));
    EXPECT_NE(smsPage->findChild<QLineEdit*>(QStringLiteral("Edit1")), nullptr);
    EXPECT_NE(mmsPage->findChild<QComboBox*>(QStringLiteral("ComboBox3")), nullptr);
    EXPECT_NE(smsPage->findChild<QLabel*>(QStringLiteral("Label30")), nullptr);
    EXPECT_NE(mmsPage->findChild<QLabel*>(QStringLiteral("Label27")), nullptr);
    QTimer* timer = host->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_FALSE(timer->isActive());
}

TEST_F(PanelTest, AddingAppendsAndOnlyTheCounterOperationsShowIt) {
    sms->AddRecipient("13800000000");
    sms->AddRecipient("13800000000");
    sms->AddRecipient("");
    EXPECT_EQ(sms->RecipientCount(), 3);
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送0个对象；"));
    EXPECT_FALSE(sms->SendButton->isEnabled());
    sms->ShowRecipientCount(false);
    sms->UpdateSendButton();
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送3个对象"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    sms->ShowRecipientCount(true);
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送3个对象,已经过滤重复号码"));
    EXPECT_EQ(mms->RecipientCount(), 0);
}

TEST_F(PanelTest, BatchIsOneInsertionInOrder) {
    QSignalSpy inserted(sms->model(), &QAbstractItemModel::rowsInserted);
    sms->AddRecipient("first");
    sms->AddRecipients(Numbers(1000));
    EXPECT_EQ(inserted.count(), 2);
    ASSERT_EQ(sms->RecipientCount(), 1001);
    EXPECT_EQ(sms->entries()[0], "first");
    EXPECT_EQ(sms->entries()[1000], "13800000999");
    EXPECT_EQ(sms->model()->index(1).data().toString(), QStringLiteral("13800000000"));
}

TEST_F(PanelTest, EntriesFlowTopToBottomInFiveColumns) {
    sms->AddRecipients(Numbers(40));
    host->show();
    smsPage->resize(650, 300);
    QApplication::processEvents();
    const int columnWidth = sms->List->viewport()->width() / 5;
    const QRect first = sms->List->visualRect(sms->model()->index(0));
    const QRect second = sms->List->visualRect(sms->model()->index(1));
    EXPECT_EQ(first.x(), second.x());
    EXPECT_GT(second.y(), first.y());
    EXPECT_NEAR(sms->List->gridSize().width(), columnWidth, 1);
}

TEST_F(PanelTest, ClearingAsksThenEmptiesWithTheWindowDisabled) {
    sms->AddRecipients(Numbers(5));
    sms->ShowRecipientCount(true);
    sms->UpdateSendButton();

    ui.answerNext(MsgAnswer::Cancel);
    sms->ClearButton->click();
    EXPECT_EQ(sms->RecipientCount(), 5);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("确定要全部清空么？"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::OkCancel);

    QString statusDuring;
    bool enabledDuring = true;
    QObject::connect(sms->model(), &QAbstractItemModel::modelAboutToBeReset, [&] {
        statusDuring = sms->Status->text();
        enabledDuring = host->isEnabled();
    });
    sms->ClearButton->click();
    EXPECT_EQ(sms->RecipientCount(), 0);
    EXPECT_EQ(statusDuring, QStringLiteral("正在清空号码，请稍候....."));
    EXPECT_FALSE(enabledDuring);
    EXPECT_TRUE(host->isEnabled());
    EXPECT_EQ(sms->Status->text(), QStringLiteral("号码清空完毕"));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送0个对象"));
    EXPECT_FALSE(sms->SendButton->isEnabled());
}

TEST_F(PanelTest, ClearingAnEmptyListStillAsksAndReports) {
    QString statusDuring;
    QObject::connect(mms->model(), &QAbstractItemModel::modelAboutToBeReset,
                     [&] { statusDuring = mms->Status->text(); });
    mms->ClearRecipients();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("确定要全部清空么？")});
    EXPECT_EQ(statusDuring, QStringLiteral("正在清空数据，请稍候....."));
    EXPECT_EQ(mms->Status->text(), QStringLiteral("号码清空完毕"));
    EXPECT_EQ(mms->Counter->text(), QStringLiteral("当前发送0个对象"));
}

TEST_F(PanelTest, DeleteOnAnEmptyListButtonSaysNothingMenuStillAsks) {
    sms->DeleteButton->click();
    EXPECT_TRUE(ui.messages.empty());
    sms->DeleteSelectedFromContextMenu();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("确定要删除的号码么？"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送0个对象；"));
}

TEST_F(PanelTest, DeleteWithoutSelection) {
    sms->AddRecipients(Numbers(3));
    sms->DeleteButton->click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("请选择要删除的号码"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提示"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    ui.clear();
    // The menu variant asks first and then quietly does nothing.
    sms->DeleteSelectedFromContextMenu();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("确定要删除的号码么？")});
    EXPECT_EQ(sms->RecipientCount(), 3);
}

TEST_F(PanelTest, DeletingThreeOfTenKeepsTheOrder) {
    sms->AddRecipients(Numbers(10));
    select(sms, {1, 4, 8});
    ui.answerNext(MsgAnswer::Cancel);
    sms->DeleteButton->click();
    EXPECT_EQ(sms->RecipientCount(), 10);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("确定要删除号码么？"));

    sms->DeleteButton->click();
    EXPECT_EQ(listTexts(sms),
              (QStringList{QStringLiteral("13800000000"), QStringLiteral("13800000002"),
                           QStringLiteral("13800000003"), QStringLiteral("13800000005"),
                           QStringLiteral("13800000006"), QStringLiteral("13800000007"),
                           QStringLiteral("13800000009")}));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送7个对象"));
}

// The Delete key on a list does what "删除" under it does (an empty list: nothing; no
// selection: the message; else the question, then the selected entries go).
TEST_F(PanelTest, DeleteKeyActsAsTheDeleteButton) {
    struct Case {
        const char* what;
        int entries;
        std::vector<int> selected;
        MsgAnswer answer;
        QStringList messages;
        int left;
    };
    const Case cases[] = {
        {"empty list", 0, {}, MsgAnswer::Ok, {}, 0},
        {"no selection", 3, {}, MsgAnswer::Ok, {QStringLiteral("请选择要删除的号码")}, 3},
        {"cancelled", 5, {0, 2}, MsgAnswer::Cancel, {QStringLiteral("确定要删除号码么？")}, 5},
        {"two of five", 5, {0, 2}, MsgAnswer::Ok, {QStringLiteral("确定要删除号码么？")}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (RecipientPanel* panel : {sms, mms}) {
            panel->model()->clear();
            panel->AddRecipients(Numbers(c.entries));
            panel->List->clearSelection();
            select(panel, c.selected);
            ui.clear();
            ui.answerNext(c.answer);
            test::SendKey(panel->List, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
            EXPECT_EQ(ui.messageTexts(), c.messages);
            EXPECT_EQ(panel->RecipientCount(), c.left);
        }
    }
    // Auto-repeated presses of a held key ask nothing more.
    sms->List->selectAll();
    ui.clear();
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"),
                       true);
    QApplication::sendEvent(sms->List, &repeated);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(sms->RecipientCount(), 3);
}

TEST_F(PanelTest, DeletingEverySelectedEntryEmptiesAndDisablesSending) {
    sms->AddRecipients(Numbers(4));
    sms->UpdateSendButton();
    sms->List->selectAll();
    sms->DeleteSelectedFromContextMenu();
    EXPECT_EQ(sms->RecipientCount(), 0);
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送0个对象"));
    EXPECT_FALSE(sms->SendButton->isEnabled());
}

TEST_F(PanelTest, ListMenuActsOnTheFocusedList) {
    sms->AddRecipients(Numbers(3));
    mms->AddRecipients(Numbers(3));
    select(sms, {0});
    select(mms, {0});
    // Neither list has the focus: nothing, not even the question.
    coordinator->deleteFromListMenu();
    EXPECT_TRUE(ui.messages.empty());

    host->show();
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    mms->List->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(mms->List->hasFocus());
    ASSERT_EQ(coordinator->ListMenu->actions().size(), 1);
    EXPECT_EQ(coordinator->ListMenu->actions()[0]->text(), QStringLiteral("删除"));
    coordinator->ListMenu->actions()[0]->trigger();
    EXPECT_EQ(sms->RecipientCount(), 3);
    EXPECT_EQ(mms->RecipientCount(), 2);
}

TEST_F(PanelTest, VerificationCheck) {
    EXPECT_TRUE(sms->CheckVerificationNumber());
    sms->VerifyBox->setChecked(true);
    EXPECT_TRUE(sms->VerifyEdit->isEnabled());
    EXPECT_TRUE(sms->IntervalBox->isEnabled());
    EXPECT_TRUE(ui.messages.empty());  // the list is empty: no warning

    sms->VerifyEdit->setText(QStringLiteral("   "));
    EXPECT_FALSE(sms->CheckVerificationNumber());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请输入验证号码！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    sms->VerifyEdit->setText(QStringLiteral("138 00"));
    EXPECT_FALSE(sms->CheckVerificationNumber());
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("验证号码错误，请输入正确的号码！"));
    sms->VerifyEdit->setText(QStringLiteral(" 1380013800 "));
    EXPECT_TRUE(sms->CheckVerificationNumber());
    EXPECT_EQ(sms->verificationNumber(), "1380013800");

    VerificationCopy copy;
    sms->IntervalBox->setEditText(QStringLiteral("250"));
    EXPECT_EQ(sms->readVerification(&copy), VerificationState::On);
    EXPECT_EQ(copy.interval, 250);
    sms->IntervalBox->setEditText(QStringLiteral("2x"));
    EXPECT_EQ(sms->readVerification(&copy), VerificationState::BadInterval);

    sms->VerifyBox->setChecked(false);
    EXPECT_FALSE(sms->VerifyEdit->isEnabled());
    EXPECT_EQ(sms->VerifyEdit->text(), QStringLiteral(" 1380013800 "));
    EXPECT_EQ(sms->readVerification(&copy), VerificationState::Off);
}

TEST_F(PanelTest, TickingTheBoxOverAFilledListWarns) {
    mms->AddRecipient("13800000000");
    mms->VerifyBox->setChecked(true);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("请在导入号码前，输入验证号码，否则验证号码将不起作用！"));
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    mms->VerifyBox->setChecked(false);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PanelTest, LeavingTheNumberField) {
    host->show();  // a hidden field is never left by the user
    sms->VerifyBox->setChecked(true);
    auto leave = [&](Qt::FocusReason reason) {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(sms->VerifyEdit, &out);
    };
    leave(Qt::TabFocusReason);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请输入验证号码！"));
    sms->VerifyEdit->setText(QStringLiteral("1 2"));
    leave(Qt::MouseFocusReason);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("验证号码错误，请输入正确的号码！"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    EXPECT_EQ(sms->VerifyEdit->text(), QStringLiteral("1 2"));  // the text stays
    // Another window taking the focus (a message box) is not leaving the field.
    const size_t before = ui.messages.size();
    leave(Qt::ActiveWindowFocusReason);
    leave(Qt::PopupFocusReason);
    EXPECT_EQ(ui.messages.size(), before);
    sms->VerifyEdit->setText(QStringLiteral("12"));
    leave(Qt::TabFocusReason);
    EXPECT_EQ(ui.messages.size(), before);
}

// The empty field loses the focus when its window is disabled (an import starts) or its page
// is hidden: the user did not leave it, so nothing is said. Moving on to another control still
// asks for the number.
TEST_F(PanelTest, DisablingOrHidingTheFieldIsNotLeavingIt) {
    host->show();
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    sms->VerifyBox->setChecked(true);
    QApplication::processEvents();
    ASSERT_TRUE(sms->VerifyEdit->hasFocus());

    coordinator->BeginImport(sms);
    EXPECT_FALSE(host->isEnabled());
    EXPECT_FALSE(sms->VerifyEdit->hasFocus());
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
    coordinator->FinishImport(sms);
    coordinator->stopActivityTimer();

    sms->VerifyEdit->setFocus();
    ASSERT_TRUE(sms->VerifyEdit->hasFocus());
    smsPage->hide();
    EXPECT_FALSE(sms->VerifyEdit->hasFocus());
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
    smsPage->show();

    sms->VerifyEdit->setFocus();
    ASSERT_TRUE(sms->VerifyEdit->hasFocus());
    sms->IntervalBox->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("请输入验证号码！"));
}

// A page destroyed with the focus in its empty number field says nothing.
TEST_F(PanelTest, DestroyingThePageWithTheFieldFocusedIsQuiet) {
    host->show();
    host->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(host.get()));
    sms->VerifyBox->setChecked(true);
    QApplication::processEvents();
    ASSERT_TRUE(sms->VerifyEdit->hasFocus());
    delete smsPage;
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
}

TEST_F(PanelTest, NumberFieldTakesOnlyDigitsSpaceAndBackspace) {
    sms->VerifyBox->setChecked(true);
    QLineEdit* edit = sms->VerifyEdit;
    QTest::keyClicks(edit, QStringLiteral("1a2 b-3.x"));
    EXPECT_EQ(edit->text(), QStringLiteral("12 3"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("12 "));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("4567890123456"));
    EXPECT_EQ(edit->text(), QStringLiteral("12 456789012"));  // at most 12 characters
    edit->clear();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(edit->text().isEmpty());
}

// Deliberately changed: besides digits, the space and backspace, the digit-only fields take
// Delete and Control+A as X11 delivers them (with a control character as their text).
TEST_F(PanelTest, ChangedDigitFieldsTakeDeleteAndSelectAll) {
    sms->VerifyBox->setChecked(true);
    mms->VerifyBox->setChecked(true);
    TForm6* range = coordinator->form6();
    range->CheckBox1->setChecked(true);
    for (QLineEdit* field :
         {sms->VerifyEdit, mms->VerifyEdit, range->Edit1, range->Edit2, range->Edit3}) {
        SCOPED_TRACE(field->objectName().toStdString());
        test::ExpectEditingKeysWork(field);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PanelTest, AddMenuItemsInOrderEachCheckingFirst) {
    const QStringList expected = {
        QStringLiteral("手工输入号码"),   QStringLiteral("从文本文件导入"),
        QStringLiteral("从通讯录导入"),   QStringLiteral("从EXCEL文件提取"),
        QStringLiteral("从文本文件提取"), QStringLiteral("从剪切板提取"),
        QStringLiteral("按号段添加")};
    QStringList captions;
    for (QAction* action : coordinator->AddMenu->actions())
        captions << action->text();
    EXPECT_EQ(captions, expected);

    std::vector<RecipientPanel*> calls;
    for (Item item : {Item::TextFileImport, Item::AddressBook, Item::ExcelExtract,
                      Item::TextFileExtract, Item::ClipboardExtract})
        coordinator->setAddHook(item, [&](RecipientPanel* panel) { calls.push_back(panel); });

    // Unset hooks do nothing; set ones run on the active panel.
    active = mms;
    coordinator->addAction(Item::ExcelExtract)->trigger();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], mms);

    // Ticked box, empty number: every item stops at the check, dialogs included.
    mms->VerifyBox->setChecked(true);
    for (QAction* action : coordinator->AddMenu->actions()) {
        ui.clear();
        action->trigger();
        EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("请输入验证号码！")})
            << action->text().toStdString();
        EXPECT_TRUE(ui.shownDialogs.empty());
    }
    EXPECT_EQ(calls.size(), 1u);
    mms->VerifyEdit->setText(QStringLiteral("13 8"));
    ui.clear();
    coordinator->addAction(Item::ClipboardExtract)->trigger();
    EXPECT_EQ(ui.messageTexts(), QStringList{QStringLiteral("验证号码错误，请输入正确的号码！")});
    EXPECT_EQ(calls.size(), 1u);

    // On another page there is no active panel and nothing happens.
    active = nullptr;
    coordinator->addAction(Item::TextFileImport)->trigger();
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(PanelTest, ImportStepsAndTheActivityTimer) {
    coordinator->BeginImport(sms);
    EXPECT_FALSE(host->isEnabled());
    EXPECT_TRUE(coordinator->Timer1->isActive());
    EXPECT_FALSE(sms->Progress->isHidden());
    EXPECT_EQ(sms->Progress->maximum(), 100);
    EXPECT_EQ(sms->Progress->value(), 0);

    mms->Progress->setValue(7);
    for (int i = 0; i < 3; ++i)
        coordinator->Timer1Timer();
    EXPECT_EQ(sms->Progress->value(), 3);
    EXPECT_EQ(mms->Progress->value(), 7);  // the idle page's bar never moves
    sms->Progress->setValue(100);
    coordinator->Timer1Timer();
    EXPECT_EQ(sms->Progress->value(), 0);  // round again from the maximum
    active = nullptr;
    coordinator->Timer1Timer();
    EXPECT_EQ(sms->Progress->value(), 0);
    active = sms;

    sms->AddRecipients(Numbers(4));
    coordinator->FinishImport(sms);
    EXPECT_TRUE(host->isEnabled());
    EXPECT_TRUE(sms->Progress->isHidden());
    EXPECT_EQ(sms->Status->text(), QStringLiteral("导入号码完毕"));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送4个对象,已经过滤重复号码"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PanelTest, RefusalAtTheCap) {
    mms->AddRecipients(Numbers(2));
    active = mms;
    coordinator->BeginImport(mms);
    coordinator->RefuseOverCap(mms);
    const QString text = QStringLiteral("本系统每次最多只能发送三万个号码，您导入的号码过多");
    EXPECT_TRUE(host->isEnabled());
    EXPECT_FALSE(coordinator->Timer1->isActive());
    EXPECT_TRUE(mms->Progress->isHidden());
    EXPECT_EQ(mms->Status->text(), text);
    EXPECT_EQ(mms->Counter->text(), QStringLiteral("当前发送2个对象"));
    EXPECT_TRUE(mms->SendButton->isEnabled());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, text);
    EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
}
