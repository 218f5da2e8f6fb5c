// The typed-numbers dialog (TForm4) and the number-range dialog (TForm6), driven through the
// add menu as the user reaches them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "recipients/TForm4.h"
#include "recipients/TForm6.h"
#include "tests/recipients/RecipientFixtures.h"

using namespace smsc;
using Item = RecipientCoordinator::AddItem;
using Items = std::vector<std::string>;

namespace {

const std::string A = "13912345678";
const std::string P = "13812345";

class DialogTest : public test::PanelHostTest {
protected:
    void verification(RecipientPanel* panel, const QString& number, const QString& interval) {
        panel->VerifyBox->setChecked(true);
        panel->VerifyEdit->setText(number);
        panel->IntervalBox->setEditText(interval);
    }

    // "手工输入号码" with the text typed and the answer to "是否过滤重复号码？".
    void typeNumbers(const QString& text, MsgAnswer filter) {
        ui.answerNext(filter);
        ui.onNextDialog([text](QDialog* dialog) {
            auto* form = static_cast<TForm4*>(dialog);
            form->Memo1->setPlainText(text);
            form->Button1->click();
        });
        coordinator->addAction(Item::TypeNumbers)->trigger();
    }

    // "按号段添加" with the fields filled and "确定" pressed; the dialog stays open on a
    // refusal (the script then ends it).
    int numberRange(const QString& start, const QString& count, const QString& lastDigit = {}) {
        int result = -1;
        ui.onNextDialog([&](QDialog* dialog) {
            auto* form = static_cast<TForm6*>(dialog);
            form->Edit1->setText(start);
            form->Edit2->setText(count);
            if (!lastDigit.isNull()) {
                form->CheckBox1->setChecked(true);
                form->Edit3->setText(lastDigit);
            }
            form->Button1->click();
            result = form->isVisible() ? -1 : form->result();
        });
        coordinator->addAction(Item::NumberRange)->trigger();
        return result;
    }
};

Items rangeOf(const std::string& prefix, int first, int last, int width,
              const std::string& suffix = {}) {
    Items out;
    for (int n = first; n <= last; ++n) {
        std::string digits = std::to_string(n);
        out.push_back(prefix + std::string(static_cast<size_t>(width) - digits.size(), '0') +
                      digits + suffix);
    }
    return out;
}

}  // namespace

// Deliberately changed: after 取消 the status no longer claims repeats were filtered; typed
// numbers written with blanks, dashes or +86 are taken as their 11 digits, and lines not
// recognised are reported.
TEST_F(DialogTest, ChangedTypedNumbersWithAndWithoutTheFilter) {
    const QString text = QString::fromStdString(A + "\n" + A + "\n12345\nabc");
    typeNumbers(text, MsgAnswer::Ok);
    EXPECT_EQ(sms->entries(), (Items{A, "12345"}));
    EXPECT_EQ(ui.messages.front().text, QStringLiteral("是否过滤重复号码？"));
    EXPECT_EQ(ui.messages.front().caption, QStringLiteral("提醒"));
    EXPECT_EQ(ui.messages.front().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送2个对象"));
    EXPECT_EQ(sms->Status->text(), QStringLiteral("导入号码完毕,已过滤重复号码"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    EXPECT_TRUE(sms->Progress->isHidden());
    EXPECT_FALSE(coordinator->form4()->isVisible());

    EXPECT_EQ(ui.messages.back().text,
              QStringLiteral("读取4行：添加2个，重复1个，无法识别1个\r是否查看无法识别的行？"));

    typeNumbers(text, MsgAnswer::Cancel);
    EXPECT_EQ(sms->entries(), (Items{A, "12345", A, A, "12345"}));
    EXPECT_EQ(sms->Status->text(), QStringLiteral("导入号码完毕"));

    sms->model()->clear();
    typeNumbers(QStringLiteral("+86 139 1234 5678\n139-0000-0002\n(0086)15000000003\n"
                               "订单号2024120913800001004"),
                MsgAnswer::Cancel);
    EXPECT_EQ(sms->entries(), (Items{A, "13900000002", "15000000003"}));

    // Pasted text with CR LF or lone CR line ends gives one number per line as well.
    sms->model()->clear();
    typeNumbers(QString::fromStdString(A + "\r\n12345\r" + A + "\r\n678"), MsgAnswer::Cancel);
    EXPECT_EQ(sms->entries(), (Items{A, "12345", A, "678"}));
}

TEST_F(DialogTest, TypedNumbersOpenEmptyWithTheNote) {
    coordinator->form4()->Memo1->setPlainText(QStringLiteral("leftover"));
    coordinator->form4()->Label2->setText(QStringLiteral("x"));
    ui.onNextDialog([](QDialog* dialog) {
        auto* form = static_cast<TForm4*>(dialog);
        EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
        EXPECT_EQ(form->Label2->text(),
                  QStringLiteral("注：每行输入一个手机号码，每个号码回车结尾。"));
        form->Button2->click();
    });
    coordinator->addAction(Item::TypeNumbers)->trigger();
    ASSERT_EQ(ui.shownDialogs.size(), 1u);
    EXPECT_EQ(ui.shownDialogs[0]->windowTitle(), QStringLiteral("输入短信接收号码"));
    EXPECT_EQ(sms->RecipientCount(), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DialogTest, TypedNothingStillReportsDone) {
    typeNumbers(QString(), MsgAnswer::Ok);
    EXPECT_EQ(sms->RecipientCount(), 0);
    EXPECT_EQ(sms->Status->text(), QStringLiteral("导入号码完毕,已过滤重复号码"));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送0个对象"));
}

TEST_F(DialogTest, TypedNumbersInterleaveTheVerificationNumber) {
    active = mms;
    verification(mms, QStringLiteral(" 10086 "), QStringLiteral("2"));
    QStringList lines;
    for (int i = 0; i < 5; ++i)
        lines << QString::number(100 + i);
    typeNumbers(lines.join(QLatin1Char('\n')), MsgAnswer::Ok);
    EXPECT_EQ(mms->entries(),
              (Items{"10086", "100", "101", "10086", "102", "103", "10086", "104"}));
    EXPECT_EQ(sms->RecipientCount(), 0);

    // Fewer lines than the interval: one copy in front, also with the filter off.
    mms->IntervalBox->setEditText(QStringLiteral("100"));
    typeNumbers(QStringLiteral("1\n2"), MsgAnswer::Cancel);
    EXPECT_EQ(Items(mms->entries().end() - 3, mms->entries().end()), (Items{"10086", "1", "2"}));
}

// An interval that is no whole number, or not above 0, stops both dialogs before they open,
// with the imports' message; the list and the page stay as they were, and once the interval
// is corrected the typed numbers go in.
TEST_F(DialogTest, BadIntervalStopsBothDialogsBeforeTheyOpen) {
    sms->AddRecipient(A);
    verification(sms, QStringLiteral("10086"), QStringLiteral("100"));
    for (const QString& interval : {QStringLiteral("abc"), QStringLiteral("0"),
                                    QStringLiteral("1 00"), QStringLiteral("-1")}) {
        for (const Item item : {Item::TypeNumbers, Item::NumberRange}) {
            SCOPED_TRACE(interval.toStdString() +
                         (item == Item::TypeNumbers ? " TForm4" : " TForm6"));
            sms->IntervalBox->setEditText(interval);
            ui.clear();
            coordinator->addAction(item)->trigger();
            ASSERT_EQ(ui.messages.size(), 1u);
            EXPECT_EQ(ui.messages[0].text, QStringLiteral("验证号码间隔错误，请选择正确的间隔！"));
            EXPECT_EQ(ui.messages[0].caption, QStringLiteral("提醒"));
            EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
            EXPECT_TRUE(ui.shownDialogs.empty());
            EXPECT_EQ(sms->entries(), Items{A});
            EXPECT_TRUE(sms->Status->text().isEmpty());
            EXPECT_TRUE(sms->Progress->isHidden());
        }
    }
    // Unticked, the interval is not looked at.
    sms->VerifyBox->setChecked(false);
    ui.clear();
    typeNumbers(QStringLiteral("12345"), MsgAnswer::Ok);
    EXPECT_EQ(sms->entries(), (Items{A, "12345"}));
    sms->VerifyBox->setChecked(true);
    sms->IntervalBox->setEditText(QStringLiteral("100"));
    typeNumbers(QStringLiteral("12345"), MsgAnswer::Ok);
    EXPECT_EQ(sms->entries(), (Items{A, "12345", "10086", "12345"}));
}

TEST_F(DialogTest, RangeFromZeroAndWrapping) {
    EXPECT_EQ(numberRange(QString::fromStdString(P + "000"), QStringLiteral("100")),
              QDialog::Accepted);
    EXPECT_EQ(sms->entries(), rangeOf(P, 0, 99, 3));
    EXPECT_EQ(sms->Status->text(), QStringLiteral("导入号码完毕。"));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送100个对象"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    EXPECT_TRUE(sms->Progress->isHidden());
    EXPECT_EQ(ui.shownDialogs.at(0)->windowTitle(), QStringLiteral("产生连续接收号码"));

    sms->model()->clear();
    numberRange(QString::fromStdString(P + "950"), QStringLiteral("100"));
    Items expected = rangeOf(P, 950, 999, 3);
    const Items wrapped = rangeOf(P, 0, 49, 3);
    expected.insert(expected.end(), wrapped.begin(), wrapped.end());
    EXPECT_EQ(sms->entries(), expected);
}

TEST_F(DialogTest, RangeWithALastDigit) {
    numberRange(QString::fromStdString(P + "000"), QStringLiteral("20"), QStringLiteral("5"));
    Items expected = {P + "000"};
    const Items rest = rangeOf(P, 1, 19, 2, "5");
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(sms->entries(), expected);
    EXPECT_EQ(sms->entries()[1], P + "015");
    EXPECT_EQ(sms->entries().back(), P + "195");
}

TEST_F(DialogTest, RangeCountZeroAndNine) {
    numberRange(QString::fromStdString(P + "123"), QStringLiteral("0"));
    EXPECT_EQ(sms->entries(), Items{P + "123"});
    sms->model()->clear();
    numberRange(QStringLiteral("13812345675"), QStringLiteral("9"));
    Items last;
    for (const auto& n : sms->entries())
        last.push_back(n.substr(10));
    EXPECT_EQ(last, (Items{"5", "6", "7", "8", "9", "0", "1", "2", "3"}));
}

TEST_F(DialogTest, RangeFromATodaysPrefix) {
    EXPECT_EQ(numberRange(QStringLiteral("19912345678"), QStringLiteral("3")), QDialog::Accepted);
    EXPECT_EQ(sms->entries(), (Items{"19912345678", "19912345679", "19912345670"}));
}

TEST_F(DialogTest, RangeInterleavesCopiesBeforeThe1st101stAnd201st) {
    verification(sms, QStringLiteral("10086"), QStringLiteral("100"));
    numberRange(QString::fromStdString(P + "000"), QStringLiteral("250"));
    const Items& entries = sms->entries();
    ASSERT_EQ(entries.size(), 253u);
    EXPECT_EQ(entries[0], "10086");
    EXPECT_EQ(entries[1], P + "000");
    EXPECT_EQ(entries[101], "10086");
    EXPECT_EQ(entries[102], P + "100");
    EXPECT_EQ(entries[202], "10086");
    EXPECT_EQ(entries[203], P + "200");
    EXPECT_EQ(entries.back(), P + "249");
}

TEST_F(DialogTest, RangeRefusalsKeepTheDialogOpen) {
    struct Case {
        QString start, count, lastDigit, message;
    };
    const Case cases[] = {
        {QString::fromStdString(P + "000"), QStringLiteral("10"), QStringLiteral(" "),
         QStringLiteral("尾数不能为空，请输入号码尾数")},
        {QString(), QStringLiteral("10"), QString(), QStringLiteral("起始号码输入不能为空！")},
        {QStringLiteral("1381234"), QStringLiteral("10"), QString(),
         QStringLiteral("请输入正确的11位起始号码手机号")},
        {QStringLiteral("14312345678"), QStringLiteral("10"), QString(),
         QStringLiteral("请输入正确的11位起始号码手机号")},
        {QStringLiteral("19412345678"), QStringLiteral("10"), QString(),
         QStringLiteral("请输入正确的11位起始号码手机号")},
        {QString::fromStdString(P + "000"), QStringLiteral("  "), QString(),
         QStringLiteral("生成个数不能为空！")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ui.clear();
        EXPECT_EQ(numberRange(c.start, c.count, c.lastDigit), -1);
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.messages.back().text, c.message);
        EXPECT_EQ(ui.messages.back().caption, QStringLiteral("提醒"));
        EXPECT_EQ(sms->RecipientCount(), 0);
        EXPECT_TRUE(sms->Progress->isHidden());
    }
}

TEST_F(DialogTest, RangeUpdatesBothSendButtonsAndResetsPerPage) {
    mms->AddRecipient("1");  // the MMS button follows its list afterwards too
    TForm6* form = coordinator->form6();
    numberRange(QString::fromStdString(P + "000"), QStringLiteral("3"), QStringLiteral("7"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    EXPECT_TRUE(mms->SendButton->isEnabled());
    EXPECT_TRUE(form->Edit1->text().isEmpty());
    EXPECT_TRUE(form->Edit2->text().isEmpty());
    EXPECT_TRUE(form->Edit3->text().isEmpty());
    EXPECT_FALSE(form->CheckBox1->isChecked());  // SMS page: unticked
    EXPECT_TRUE(form->CheckBox1->isEnabled());

    active = mms;
    numberRange(QString::fromStdString(P + "000"), QStringLiteral("3"), QStringLiteral("7"));
    EXPECT_EQ(mms->RecipientCount(), 4);
    EXPECT_TRUE(form->CheckBox1->isChecked());  // MMS page: the tick stays
    EXPECT_TRUE(form->Edit3->isEnabled());
    EXPECT_TRUE(form->Edit3->text().isEmpty());
}

TEST_F(DialogTest, RangeFieldsAndTheirFilters) {
    TForm6* form = coordinator->form6();
    form->show();  // a hidden field is never left by the user
    EXPECT_EQ(form->Edit1->maxLength(), 11);
    EXPECT_EQ(form->Edit2->maxLength(), 4);
    EXPECT_EQ(form->Edit3->maxLength(), 1);
    EXPECT_FALSE(form->Edit3->isEnabled());
    QTest::keyClicks(form->Edit2, QStringLiteral("1x2-"));
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("12"));

    form->CheckBox1->setChecked(true);
    EXPECT_TRUE(form->Edit3->isEnabled());
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(form->Edit3, &out);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("尾数不能为空，请输入号码尾数"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    form->Edit3->setText(QStringLiteral("3"));
    form->CheckBox1->setChecked(false);
    EXPECT_FALSE(form->Edit3->isEnabled());
    EXPECT_TRUE(form->Edit3->text().isEmpty());
}
