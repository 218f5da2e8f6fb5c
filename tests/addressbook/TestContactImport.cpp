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

#include <sys/stat.h>

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

// The import from the address book applies no recipient cap (the send refuses an
// oversized list with its own message): 15001 contacts with a copy before each.
TEST_F(ImportTest, NoRecipientCapOnTheImport) {
    startWith(FlatBook(Numbers(15001)));
    verification(sms, QStringLiteral("10086"), QStringLiteral("1"));
    bool closed = false;
    importRows({}, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(sms->entries().size(), 30002u);
    EXPECT_EQ(sms->Counter->text(), QStringLiteral("当前发送30002个对象"));
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
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
    // The question names what the restore replaces: the book left with 张三 and 赵六.
    EXPECT_EQ(ui.messageTexts(),
              QStringList({QStringLiteral("将用备份替换当前通讯录（2个联系人），是否继续？"),
                           QStringLiteral("通讯录恢复成功")}));
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

// Backup reads the book as the loader does: only a regular file of bounded size (a FIFO
// would block for ever, /dev/zero never ends). Restore reads the chosen file the same way.
TEST_F(ImportTest, BackupAndRestoreReadOnlyRegularFiles) {
    startWith(SampleBook());
    const std::string original = bookBytes();
    TempFolder target;
    const std::string fifo = target.file("fifo.xml");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = target.file("big.xml");
    target.writeFile("big.xml", SampleBook());
    std::filesystem::resize_file(big, kMaxBookBytes + 1);
    const std::string hostile[] = {fifo, "/dev/zero", big};
    for (const std::string& source : hostile) {
        std::filesystem::remove(data.file(kBook));
        if (source == big)
            std::filesystem::copy_file(big, data.file(kBook));
        else
            std::filesystem::create_symlink(source, data.file(kBook));
        ui.clear();
        ui.chooseFileNext(QString::fromStdString(target.file("copy")));
        page->BackupButton->click();
        EXPECT_EQ(ui.messageTexts(),
                  QStringList({QStringLiteral("通讯录备份失败，文件可能被其他程序使用")}))
            << source;
        EXPECT_FALSE(std::filesystem::exists(target.file("copy.xml"))) << source;
    }
    std::filesystem::remove(data.file(kBook));
    data.writeFile(kBook, original);
    for (const std::string& source : hostile) {
        ui.clear();
        ui.chooseFileNext(QString::fromStdString(source));
        page->RestoreButton->click();
        ASSERT_EQ(ui.messages.size(), 1u) << source;
        EXPECT_TRUE(ui.lastMessage().text.startsWith(QStringLiteral("通讯录恢复失败"))) << source;
        EXPECT_EQ(bookBytes(), original) << source;
    }
}

// Every book the page reads backs up and restores: a comment, a "|" inside a field.
TEST_F(ImportTest, EveryReadableBookRestores) {
    const std::string books[] = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><通讯录 备注=\"[通讯录]\"><!-- 导出 -->" +
            Contact("张三", "138", "0") + "</通讯录>",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><通讯录 备注=\"[通讯录]\"><人员 备注=\"李四\">"
        "李四|139|||北京|朝阳||||||0</人员></通讯录>",
    };
    TempFolder target;
    for (const std::string& bytes : books) {
        startWith(bytes);
        ui.clear();
        ui.chooseFileNext(QString::fromStdString(target.file("book")));
        page->BackupButton->click();
        data.writeFile(kBook, EmptyBookXml());
        ui.chooseFileNext(QString::fromStdString(target.file("book.xml")));
        page->RestoreButton->click();
        EXPECT_EQ(ui.messageTexts(),
                  QStringList({QStringLiteral("通讯录备份成功"),
                               QStringLiteral("将用备份替换当前通讯录（0个联系人），是否继续？"),
                               QStringLiteral("通讯录恢复成功")}))
            << bytes;
        EXPECT_EQ(bookBytes(), bytes);
        EXPECT_EQ(node({})->childCount(), 1);
    }
}

}  // namespace
