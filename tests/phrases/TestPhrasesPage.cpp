// The "常用短语" page with its dialogs TForm11 and TForm12, and the insertion dialog TForm7,
// driven through the scripted UI seam over a temporary phrase folder.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <string>

#include "phrases/PhraseList.h"
#include "phrases/PhrasesPage.h"
#include "phrases/TForm11.h"
#include "phrases/TForm12.h"
#include "phrases/TForm7.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "sending/SmsPage.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::ScriptedUi;
using smsc::test::TempDataDir;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class PhrasesPageTest : public ::testing::Test {
protected:
    PhrasesPageTest() {
        std::filesystem::create_directory(data.file("phrase"));
        page.setDialogs(&form11, &form12);
    }

    // A category file, given in UTF-8 and stored as GBK.
    void writeCategory(const std::string& name, const std::string& utf8) {
        data.writeFile("phrase/" + name + ".txt", G(utf8));
    }
    std::string category(const std::string& name) const {
        return GbkToUtf8(data.readFile("phrase/" + name + ".txt"));
    }
    void pick(int index) { page.TreeView2->setCurrentItem(page.TreeView2->topLevelItem(index)); }
    QStringList listed() const { return page.ListView5->phraseModel()->phrases(); }
    // The next phrase dialog gets the text and "确定"; true when it closed.
    void typeNextPhrase(const QString& text) {
        ui.onNextDialog([text](QDialog* dialog) {
            auto* form = static_cast<TForm12*>(dialog);
            form->Memo1->setPlainText(text);
            form->Button1->click();
        });
    }

    TempDataDir data{false};
    ScriptedUi ui;
    PhrasesPage page;
    TForm11 form11;
    TForm12 form12;
};

TEST_F(PhrasesPageTest, ShowingThePageAndPickingACategory) {
    writeCategory("b", "b1\r\nb2\r\n");
    writeCategory("A", "a1\r\n\r\na2");
    page.TabSheetShow();
    EXPECT_EQ(page.categoryNames(), (QStringList{U("A"), U("b")}));
    EXPECT_EQ(listed(), (QStringList{U("a1"), U("a2")}));  // the first category, none selected
    EXPECT_TRUE(page.selectedCategory().isEmpty());
    pick(1);
    EXPECT_EQ(listed(), (QStringList{U("b1"), U("b2")}));

    // A category whose file went away lists nothing, without a message.
    std::filesystem::remove(data.file("phrase/A.txt"));
    pick(0);
    EXPECT_TRUE(listed().isEmpty());

    // No folder: empty lists, no message.
    std::filesystem::remove_all(data.file("phrase"));
    page.TabSheetShow();
    EXPECT_EQ(page.TreeView2->topLevelItemCount(), 0);
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PhrasesPageTest, NewCategoryDialog) {
    writeCategory("old", "x\r\n");
    page.TabSheetShow();
    // Refused names keep the dialog open; the field is emptied on every opening.
    const struct {
        const char* name;
        const char* message;
    } refused[] = {
        {"  ", "短语类型名字不能为空！"},
        {"old", "短语类型名字不能重复，请修改。"},
        {"../x", "短语类型名字不能包含\\ / : * ? \" < > | .等字符"},
        {"a.b", "短语类型名字不能包含\\ / : * ? \" < > | .等字符"},
    };
    for (const auto& c : refused) {
        ui.clear();
        ui.onNextDialog([&](QDialog*) {
            EXPECT_TRUE(form11.Edit1->text().isEmpty());
            form11.Edit1->setText(U(c.name));
            form11.Button1->click();
            EXPECT_TRUE(form11.isVisible());
        });
        page.AddCategoryButton->click();
        ASSERT_EQ(ui.messages.size(), 1u) << c.name;
        EXPECT_EQ(ui.lastMessage().text, U(c.message));
        EXPECT_EQ(ui.lastMessage().caption, U("提醒"));
    }
    EXPECT_EQ(page.categoryNames(), QStringList{U("old")});

    // Accepted: the file exists empty and the name is added at the end.
    ui.clear();
    ui.onNextDialog([&](QDialog*) {
        form11.Edit1->setText(U(" 新类 "));
        form11.Button1->click();
    });
    page.AddCategoryClick();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(page.categoryNames(), (QStringList{U("old"), U("新类")}));
    EXPECT_TRUE(data.exists("phrase/新类.txt"));

    // Without the folder the file cannot be made: said so, dialog open.
    std::filesystem::remove_all(data.file("phrase"));
    ui.onNextDialog([&](QDialog*) {
        form11.Edit1->setText(U("x"));
        form11.Button1->click();
        EXPECT_TRUE(form11.isVisible());
    });
    page.AddCategoryClick();
    EXPECT_EQ(ui.lastMessage().text, U("创建短语类型失败，找不到phrase文件夹，请创建该文件夹"));
    EXPECT_EQ(ui.lastMessage().caption, U("提醒"));
}

TEST_F(PhrasesPageTest, DeletingACategory) {
    writeCategory("a", "x\r\n");
    page.TabSheetShow();
    page.DelCategoryClick();
    EXPECT_EQ(ui.lastMessage().text, U("请选择要删除的短语项！"));
    pick(0);
    ui.answerNext(MsgAnswer::Cancel);
    page.DelCategoryClick();
    EXPECT_EQ(ui.lastMessage().text, U("确定要删除a短语类型么？"));
    EXPECT_TRUE(data.exists("phrase/a.txt"));
    page.DelCategoryClick();
    EXPECT_EQ(ui.lastMessage().text, U("删除成功"));
    EXPECT_EQ(ui.lastMessage().caption, U("恭喜"));
    EXPECT_FALSE(data.exists("phrase/a.txt"));
    EXPECT_EQ(page.TreeView2->topLevelItemCount(), 0);
}

TEST_F(PhrasesPageTest, AddingPhrases) {
    writeCategory("c", "first");  // no final line break
    page.TabSheetShow();
    page.AddPhraseClick();  // listed, but no category selected
    EXPECT_EQ(ui.lastMessage().text, U("请选择要修改的短语类型条目！"));
    pick(0);

    const QString seventy = QString(70, QChar(0x4E2D));
    ui.clear();
    typeNextPhrase(seventy + QChar(0x4E2D));
    page.AddPhraseClick();
    EXPECT_EQ(form12.windowTitle(), U("增加常用短语"));
    EXPECT_EQ(ui.lastMessage().text, U("短信短语字数不能超过70个字"));
    EXPECT_EQ(form12.result(), QDialog::Rejected);  // stayed open
    EXPECT_EQ(category("c"), "first");

    // Blanks and line breaks around do not count but are written as typed, as CR LF.
    typeNextPhrase(U("  ") + seventy + U("\n"));
    page.AddPhraseClick();
    EXPECT_EQ(form12.result(), QDialog::Accepted);
    EXPECT_EQ(category("c"), "first\r\n  " + seventy.toStdString() + "\r\n\r\n");
    // Typed lines become phrases of their own.
    typeNextPhrase(U("p\nq"));
    page.AddPhraseClick();
    EXPECT_EQ(listed(), (QStringList{U("first"), seventy, U("p"), U("q")}));
}

TEST_F(PhrasesPageTest, ChangingAndDeletingPhrases) {
    writeCategory("c", "same\r\nother\r\nsame\r\n");
    page.TabSheetShow();
    page.EditPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("请选择要修改的短语内容条目！"));
    page.ListView5DblClick();
    EXPECT_EQ(ui.lastMessage().text, U("请选择要修改的短语条目！"));
    EXPECT_EQ(ui.lastMessage().caption, U("提示"));
    page.DelPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("请选择要删除的短语内容项！"));

    // Without a selected category a change ends with its failure message.
    page.ListView5->selectOnly(0);
    typeNextPhrase(U("x"));
    page.EditPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("修改短语失败，找不到phrase文件夹，请创建该文件夹"));
    EXPECT_EQ(category("c"), "same\r\nother\r\nsame\r\n");

    pick(0);
    page.ListView5->selectOnly(2);
    ui.onNextDialog([&](QDialog*) {
        EXPECT_EQ(form12.windowTitle(), U("修改常用短语"));
        EXPECT_EQ(form12.Memo1->toPlainText(), U("same"));
        form12.Memo1->setPlainText(U("changed"));
        form12.Button1->click();
    });
    page.EditPhraseClick();
    EXPECT_EQ(category("c"), "same\r\nother\r\nchanged\r\n");
    EXPECT_EQ(listed(), (QStringList{U("same"), U("other"), U("changed")}));

    // The file changed since it was listed: nothing is written.
    page.ListView5->selectOnly(1);
    writeCategory("c", "new\r\nlines\r\n");
    typeNextPhrase(U("x"));
    page.ListView5DblClick();
    EXPECT_EQ(ui.lastMessage().text, U("修改短语失败，该短语已被其他程序修改，请重新选择"));
    EXPECT_EQ(category("c"), "new\r\nlines\r\n");
    EXPECT_EQ(listed(), (QStringList{U("new"), U("lines")}));  // refilled

    page.ListView5->selectOnly(1);
    ui.answerNext(MsgAnswer::Cancel);
    page.DelPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("确定要删除该短语内容么？"));
    EXPECT_EQ(category("c"), "new\r\nlines\r\n");
    page.DelPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("删除成功"));
    EXPECT_EQ(category("c"), "new\r\n\r\n");
    EXPECT_EQ(listed(), QStringList{U("new")});

    // A category file that cannot be written (a directory): the failure is said.
    std::filesystem::remove(data.file("phrase/c.txt"));
    std::filesystem::create_directory(data.file("phrase/c.txt"));
    page.ListView5->selectOnly(0);
    page.DelPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("删除失败，该文件可能正被其他程序使用"));
    EXPECT_EQ(ui.lastMessage().caption, U("提醒"));
}

// Lines whose bytes do not come back the same through the window's text (a stray byte, a
// file saved in UTF-8) are found by their own bytes; every other line keeps its bytes.
TEST_F(PhrasesPageTest, LinesThatDoNotSurviveTheWindowTextAreChangedAndDeleted) {
    const std::string utf8Line = "\xE2\x80\x94 ok \xE2\x80\x94";  // "— ok —" as UTF-8
    struct Case {
        std::string file;
        int row;
        bool change;  // else delete
        std::string expected;
    } cases[] = {
        {"ok\r\nbad\x81\r\nlast\r\n", 1, true, "ok\r\nfixed\r\nlast\r\n"},
        {"ok\r\nbad\x81\r\nlast\r\n", 1, false, "ok\r\n\r\nlast\r\n"},
        {"\xFF\r\n" + utf8Line + "\r\n", 1, true, "\xFF\r\nfixed\r\n"},
        {"\xFF\r\n" + utf8Line + "\r\n", 0, false, "\r\n" + utf8Line + "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        data.writeFile("phrase/c.txt", c.file);
        page.TabSheetShow();
        pick(0);
        page.ListView5->selectOnly(c.row);
        ui.clear();
        if (c.change) {
            typeNextPhrase(U("fixed"));
            page.EditPhraseClick();
            EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
        } else {
            page.DelPhraseClick();
            EXPECT_EQ(ui.lastMessage().text, U("删除成功"));
        }
        EXPECT_EQ(data.readFile("phrase/c.txt"), c.expected);
    }

    // A failure says what went wrong: the line changed meanwhile, or the file cannot be read.
    data.writeFile("phrase/c.txt", "one\r\ntwo\r\n");
    page.TabSheetShow();
    pick(0);
    page.ListView5->selectOnly(1);
    data.writeFile("phrase/c.txt", "one\r\nthree\r\n");
    typeNextPhrase(U("x"));
    page.EditPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("修改短语失败，该短语已被其他程序修改，请重新选择"));
    page.ListView5->selectOnly(1);
    data.writeFile("phrase/c.txt", "one\r\nfour\r\n");
    page.DelPhraseClick();
    EXPECT_EQ(ui.lastMessage().text, U("删除失败，该短语已被其他程序修改，请重新选择"));
    EXPECT_EQ(data.readFile("phrase/c.txt"), "one\r\nfour\r\n");
}

TEST_F(PhrasesPageTest, InsertionDialog) {
    // Created without "经典谚语": its text names it, its list is empty, nothing said.
    writeCategory("b", "x\r\ny\r\n");
    TForm7 form7;
    EXPECT_EQ(form7.ComboBox1->currentText(), U("经典谚语"));
    EXPECT_EQ(form7.ComboBox1->count(), 1);
    EXPECT_EQ(form7.ListView1->count(), 0);
    EXPECT_TRUE(ui.messages.empty());

    // Opening the drop-down refills the names and keeps the text.
    writeCategory("经典谚语", "p1\r\n");
    writeCategory("a", "");
    form7.ComboBox1DropDown();
    EXPECT_EQ(form7.ComboBox1->count(), 3);
    EXPECT_EQ(form7.ComboBox1->currentText(), U("经典谚语"));
    form7.ComboBox1->setCurrentIndex(form7.ComboBox1->findText(U("b")));
    form7.ComboBox1Select();
    EXPECT_EQ(form7.ListView1->phraseModel()->phrases(), (QStringList{U("x"), U("y")}));

    // "确定" adds the first selected phrase as a new last line of the message.
    SmsPage sms;
    form7.setInsertHandler([&](const QString& line) { sms.appendMessageLine(line); });
    sms.Memo1->setPlainText(U("Dear all"));
    form7.Button1Click();
    EXPECT_EQ(ui.lastMessage().text, U("请选择要导入的常用短语条目"));
    EXPECT_EQ(ui.lastMessage().caption, U("提示"));
    form7.ListView1DblClick();  // no selection: nothing
    form7.ListView1->selectOnly(1);
    form7.Button1Click();
    EXPECT_EQ(sms.messageText(), "Dear all\r\ny");
    EXPECT_EQ(sms.LengthLabel->text(), U("当前长度为9字"));
    sms.Memo1->clear();  // an empty message gets the phrase as its only line
    form7.ListView1->selectOnly(0);
    form7.Button1Click();
    EXPECT_EQ(sms.messageText(), "x");
}

}  // namespace
