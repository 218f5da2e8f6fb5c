#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "addressbook/ContactBook.h"
#include "platform/Gbk.h"
#include "tests/addressbook/BookFixtures.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using smsc::test::Contact;
using smsc::test::SampleBook;

namespace {

class ContactBookTest : public ::testing::Test {
protected:
    void write(const std::string& bytes) { dir.writeFile("Contacts.xml", bytes); }
    std::string onDisk() const {
        std::ifstream in(file(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string file() const { return dir.file("Contacts.xml"); }
    void open(const std::string& bytes) {
        write(bytes);
        ASSERT_TRUE(book.load(file()));
    }
    // Names (UTF-8) of a listing.
    std::vector<std::string> names(const BookPath& node) const {
        std::vector<std::string> out;
        for (const ContactRow& row : book.listContacts(node))
            out.push_back(GbkToUtf8(row.cells[0]));
        return out;
    }
    std::string fresh(const BookPath& node) const {
        ContactBook again;
        EXPECT_TRUE(again.load(file()));
        return GbkToUtf8(again.recordAt(node));
    }

    smsc::test::TempFolder dir;
    ContactBook book;
};

using Names = std::vector<std::string>;

TEST_F(ContactBookTest, TreeAndListingsFollowTheLevels) {
    open(SampleBook());
    const BookNode root = book.tree();
    EXPECT_EQ(GbkToUtf8(root.caption), "[通讯录]");
    ASSERT_EQ(root.children.size(), 3u);  // whitespace never counts as a child
    EXPECT_TRUE(root.children[0].isContact);
    EXPECT_EQ(GbkToUtf8(root.children[1].children[1].caption), "[北京]");
    EXPECT_EQ(GbkToUtf8(root.children[1].children[1].children[0].caption), "王五");

    const struct {
        BookPath node;
        Names expected;
    } cases[] = {
        {{}, {"张三", "李四", "王五", "赵六"}},
        {{0}, {"张三"}},
        {{1}, {"李四", "王五"}},
        {{1, 1}, {"王五"}},
        {{1, 1, 0}, {"王五"}},
        {{5}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names(c.node), c.expected) << PathText(c.node);
    const ContactRow row = book.listContacts({1, 0}).at(0);
    EXPECT_EQ(row.caption, "1,0");
    EXPECT_EQ(row.cells[1], "13900000001");
    EXPECT_EQ(book.mobileNumbers({}).size(), 4u);

    ContactBook empty;
    ASSERT_TRUE(empty.loadBytes(EmptyBookXml()));
    EXPECT_TRUE(empty.tree().children.empty());
    EXPECT_TRUE(empty.listContacts({}).empty());
}

TEST_F(ContactBookTest, ChangesAreOnDiskAtOnce) {
    open(SampleBook());
    // A group under the book is a "team", under a group a "人员".
    ASSERT_EQ(book.addGroup({}, G("新组")), BookChange::Ok);
    ASSERT_EQ(book.addGroup({3}, G("子组")), BookChange::Ok);
    ASSERT_EQ(book.addContact({3, 0}, G("钱七"),
                              G("钱七|1|||||||"
                                "|3,0,0")),
              BookChange::Ok);
    EXPECT_NE(onDisk().find("<team 备注=\"[新组]\">"), std::string::npos) << onDisk();
    EXPECT_EQ(GbkToUtf8(book.tree().children.at(3).children.at(0).caption), "[子组]");
    EXPECT_EQ(fresh({3, 0, 0}), "钱七|1||||||||3,0,0");

    // Deleting a top-level group takes its subgroups and contacts along.
    ASSERT_EQ(book.remove({1}), BookChange::Ok);
    EXPECT_EQ(onDisk().find("北京"), std::string::npos);
    EXPECT_EQ(onDisk().find("王五"), std::string::npos);
    EXPECT_EQ(book.remove({}), BookChange::Refused);  // the book itself stays
    EXPECT_EQ(book.tree().children.size(), 3u);

    // A contact renamed in place changes its caption and its record's name.
    ASSERT_EQ(book.rename({0}, G("张三丰")), BookChange::Ok);
    EXPECT_EQ(fresh({0}), "张三丰|13800000000||||||||0");
    ASSERT_EQ(book.rename({}, G("[我的通讯录]")), BookChange::Ok);
    ContactBook again;
    ASSERT_TRUE(again.load(file()));
    EXPECT_EQ(GbkToUtf8(again.tree().caption), "[我的通讯录]");

    // A rewrite must land on a contact; a group or nothing is refused.
    EXPECT_EQ(book.rewriteContact({1}, G("x"), G("x|1||||||||1")), BookChange::Refused);
    EXPECT_EQ(book.rewriteContact({9}, G("x"), G("x|1||||||||9")), BookChange::Refused);
    EXPECT_EQ(book.addContact({0}, G("x"), G("x|1||||||||0,0")), BookChange::Refused);
    EXPECT_EQ(book.childCount({1}), 1);
}

// After an earlier sibling is deleted, every later record names its real position again
// and an edit by that position changes the right contact.
TEST_F(ContactBookTest, StalePathsAreRenumberedOnSave) {
    open(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><通讯录 备注=\"[通讯录]\"><team "
        "备注=\"[客户]\">" +
        Contact("甲", "1", "1,0") + Contact("乙", "2", "1,1") + Contact("丙", "3", "1,2") +
        "</team></通讯录>");
    // Older installations left stale paths: the listing shows the real ones at once and
    // the first save writes them.
    EXPECT_EQ(book.listContacts({}).at(2).caption, "0,2");
    ASSERT_EQ(book.remove({0, 0}), BookChange::Ok);
    const std::vector<ContactRow> rows = book.listContacts({});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].caption, "0,1");
    BookPath path;
    ASSERT_TRUE(ParsePathText(rows[1].caption, &path));
    ASSERT_EQ(book.rewriteContact(path, G("丙丙"), G("丙丙|33||||||||0,1")), BookChange::Ok);
    EXPECT_EQ(fresh({0, 0}), "乙|2||||||||0,0");
    EXPECT_EQ(fresh({0, 1}), "丙丙|33||||||||0,1");
}

TEST_F(ContactBookTest, KeepsTheEncodingItsDeclarationNames) {
    // Written by Windows: declared gb2312, stored in code page 936 (镕 is not in GB2312).
    const std::string utf8 =
        "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<通讯录 备注=\"[通讯录]\">" +
        Contact("朱镕", "138", "0") + "</通讯录>\n";
    open(Utf8ToGbk(utf8));
    EXPECT_EQ(GbkToUtf8(book.tree().children.at(0).caption), "朱镕");
    ASSERT_EQ(book.addContact({}, G("李四"), G("李四|139||||||||1")), BookChange::Ok);
    const std::string saved = onDisk();
    EXPECT_NE(saved.find("encoding=\"gb2312\""), std::string::npos);
    EXPECT_NE(saved.find(G("<人员 备注=\"李四\">")), std::string::npos) << saved;
    EXPECT_NE(saved.find(G("朱镕|138|")), std::string::npos);
    EXPECT_EQ(saved.find("李四"), std::string::npos);  // not UTF-8
}

TEST_F(ContactBookTest, MissingBookCreatedBrokenBookKept) {
    const std::string missing = dir.file("LinkmanBook/Contacts.xml");
    bool created = false;
    ASSERT_TRUE(CreateBookIfMissing(missing, &created));
    EXPECT_TRUE(created);
    ContactBook made;
    ASSERT_TRUE(made.load(missing));
    EXPECT_EQ(GbkToUtf8(made.tree().caption), "[通讯录]");
    ASSERT_TRUE(CreateBookIfMissing(missing, &created));
    EXPECT_FALSE(created);

    const std::string broken = "<?xml version=\"1.0\"?><通讯录 备注=\"[x]\"><team";
    write(broken);
    EXPECT_FALSE(book.load(file()));
    EXPECT_TRUE(CreateBookIfMissing(file(), &created));
    EXPECT_FALSE(created);
    EXPECT_EQ(book.addGroup({}, G("组")), BookChange::NotLoaded);
    EXPECT_EQ(onDisk(), broken);
}

TEST_F(ContactBookTest, FailedSaveReloadsWhatIsOnDisk) {
    open(SampleBook());
    const std::string before = onDisk();
    // The file is replaced by a folder: nothing can be written over it.
    std::filesystem::remove(file());
    std::filesystem::create_directory(file());
    EXPECT_EQ(book.addGroup({}, G("新组")), BookChange::SaveFailed);
    EXPECT_FALSE(book.isLoaded());
    std::filesystem::remove(file());
    write(before);
    ASSERT_TRUE(book.reload());
    EXPECT_EQ(book.tree().children.size(), 3u);
}

TEST(AddressBookFormat, RestoreAcceptsOnlyAddressBooks) {
    const struct {
        const char* what;
        std::string bytes;
        bool valid;
    } cases[] = {
        {"sample", SampleBook(), true},
        {"empty book", EmptyBookXml(), true},
        {"empty file", "", false},
        {"plain text", "13800000000\r\n13900000000\r\n", false},
        {"other xml", "<?xml version=\"1.0\"?><root a=\"[x]\"><item>1</item></root>", false},
        {"caption without bracket", "<a 备注=\"book\"/>", false},
        {"nine fields", "<a 备注=\"[b]\"><人员 备注=\"x\">x|1|||||||</人员></a>", false},
        {"comment", "<a 备注=\"[b]\"><!-- c --></a>", false},
        {"too deep",
         "<a 备注=\"[b]\"><t 备注=\"[1]\"><p 备注=\"[2]\"><p 备注=\"[3]\"><p 备注=\"4\">"
         "4|1||||||||0,0,0,0</p></p></p></t></a>",
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidAddressBook(c.bytes), c.valid) << c.what;
}

}  // namespace
