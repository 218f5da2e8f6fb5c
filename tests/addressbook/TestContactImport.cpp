// Contacts into the recipient lists (TForm10), and the book's backup and restore.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "recipients/RecipientListModel.h"
#include "tests/addressbook/PageFixture.h"

using namespace smsc;
using namespace smsc::test;
using Item = RecipientCoordinator::AddItem;
using Entries = std::vector<std::string>;

namespace {

// A book with the contacts directly in it (mobile numbers as given).
std::string FlatBook(const std::vector<std::string>& mobiles) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><通讯录 备注=\"[通讯录]\">";
    for (std::size_t i = 0; i < mobiles.size(); ++i)
        xml += Contact("c" + std::to_string(i), mobiles[i], std::to_string(i));
    return xml + "</通讯录>";
}

class ImportTest : public PageTest {
protected:
    void verification(RecipientPanel* panel, const QString& number, const QString& interval) {
        panel->VerifyBox->setChecked(true);
        panel->VerifyEdit->setText(number);
        panel->IntervalBox->setEditText(interval);
    }
    // "从通讯录导入": the book node picked, `rows` selected (all when empty), "导入".
    void importRows(std::vector<int> rows = {}, bool* closed = nullptr) {
        ui.onNextDialog([&](QDialog* dialog) {
            auto* form = static_cast<TForm10*>(dialog);
            form->TreeView1->topLevelItem(0)->setSelected(true);
            if (rows.empty())
                form->Button1->click();
            for (int row : rows)
                form->ListView1->topLevelItem(row)->setSelected(true);
            form->Button3->click();
            if (closed)
                *closed = form->result() == QDialog::Accepted;
        });
        coordinator->addAction(Item::AddressBook)->trigger();
    }
};

TEST_F(ImportTest, SelectedNumbersWithTheVerificationNumber) {
    startWith(FlatBook({"a", "b", "c", "d", "e"}));
    verification(sms, QStringLiteral("10086"), QStringLiteral("2"));
    importRows();
    EXPECT_EQ(sms->entries(), Entries({"10086", "a", "b", "10086", "c", "d", "10086", "e"}));
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送8个对象"));
    EXPECT_EQ(sms->Status->text(), QStringLiteral("号码导入完毕"));
    EXPECT_TRUE(sms->SendButton->isEnabled());
    EXPECT_TRUE(sms->Progress->isHidden());

    // Fewer rows than K: one copy first. Imported twice, listed twice.
    verification(sms, QStringLiteral("10086"), QStringLiteral("100"));
    importRows({1, 3});
    EXPECT_EQ(sms->entries().size(), 11u);
    EXPECT_EQ(Entries(sms->entries().end() - 3, sms->entries().end()),
              Entries({"10086", "b", "d"}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImportTest, MmsPanelEmptyMobileAndRefusals) {
    startWith(FlatBook({"13800000000", " ", "13900000000"}));
    active = mms;
    importRows();
    EXPECT_EQ(mms->entries(), Entries({"13800000000", "", "13900000000"}));
    EXPECT_TRUE(sms->entries().empty());

    // Nothing selected: the dialog stays open with the panel's text.
    bool closed = true;
    ui.onNextDialog([&](QDialog* dialog) {
        auto* form = static_cast<TForm10*>(dialog);
        form->TreeView1->topLevelItem(0)->setSelected(true);
        form->Button2->click();
        form->Button3->click();
        closed = form->result() == QDialog::Accepted;
    });
    coordinator->addAction(Item::AddressBook)->trigger();
    EXPECT_FALSE(closed);
    EXPECT_EQ(ui.messageTexts(),
              QStringList({QStringLiteral("请选择要取消的选中项"),
                           QStringLiteral("没有要导入的号码，请选择要导入的项")}));

    // The verification check runs before the dialog opens.
    verification(mms, QString(), QStringLiteral("100"));
    ui.clear();
    coordinator->addAction(Item::AddressBook)->trigger();
    EXPECT_EQ(ui.messageTexts(), QStringList({QStringLiteral("请输入验证号码！")}));
    EXPECT_TRUE(ui.shownDialogs.empty());
}

TEST_F(ImportTest, MoreThanTheCapIsRefused) {
    startWith(FlatBook(Numbers(15001)));
    verification(sms, QStringLiteral("10086"), QStringLiteral("1"));
    bool closed = true;
    importRows({}, &closed);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(sms->entries().empty());
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("本系统每次最多只能发送三万个号码，您导入的号码过多"));
}

TEST_F(ImportTest, BackupAndRestore) {
    startWith(SampleBook());
    const std::string original = bookBytes();
    TempFolder target;
    const QString base = QString::fromStdString(target.file("book"));
    target.writeFile("book.xml", "an older backup");  // replaced without a question
    for (const QString& typed : {base, base + QStringLiteral(".xml"), base}) {
        ui.chooseFileNext(typed);
        page->BackupButton->click();
        EXPECT_EQ(ui.lastMessage().text, QStringLiteral("通讯录备份成功"));
        EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("恭喜"));
    }
    EXPECT_TRUE(std::filesystem::exists(target.file("book.xml.xml")));
    // The backup offers a dated name (".xml" follows) in the folder last used for backups,
    // where the restore then opens too.
    const QString folder = QString::fromStdString(target.path()).chopped(1);
    const QString offered =
        QStringLiteral("通讯录备份_") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    ASSERT_EQ(ui.fileDialogStarts.size(), 3u);
    EXPECT_EQ(ui.fileDialogStarts[0], QDir::homePath() + QLatin1Char('/') + offered);
    EXPECT_EQ(ui.fileDialogStarts[1], folder + QLatin1Char('/') + offered);
    std::ifstream in(target.file("book.xml"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), original);

    // Restoring the backup after a change brings the tree back as it was.
    select({1});
    page->DeleteGroupItem->trigger();
    ui.clear();
    ui.chooseFileNext(base + QStringLiteral(".xml"));
    page->RestoreButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList({QStringLiteral("通讯录恢复成功")}));
    EXPECT_EQ(ui.fileDialogStarts, std::vector<QString>{folder});
    EXPECT_EQ(bookBytes(), original);
    EXPECT_EQ(caption({1, 1, 0}), QStringLiteral("王五"));

    // Anything that is not an address book is refused and the book kept byte for byte.
    const std::pair<std::string, std::string> wrong[] = {
        {"plain.xml", "13800000000\r\n"},
        {"other.xml", "<?xml version=\"1.0\"?><html><body>x</body></html>"},
        {"empty.xml", ""},
    };
    for (const auto& [name, bytes] : wrong) {
        target.writeFile(name, bytes);
        ui.clear();
        ui.chooseFileNext(QString::fromStdString(target.file(name)));
        page->RestoreButton->click();
        EXPECT_EQ(ui.messageTexts(),
                  QStringList({QStringLiteral("通讯录恢复失败，所选文件不是有效的通讯录")}))
            << name;
        EXPECT_EQ(bookBytes(), original);
    }

    // Cancelling either dialog shows nothing.
    ui.clear();
    page->BackupButton->click();
    page->RestoreButton->click();
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
