#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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

// The sample's first contact and caption in ISO-2022-CN, a stateful encoding that the
// XML library writes back faithfully.
std::string Iso2022CnBook() {
    const std::string so = "\x1b$)A\x0e", si = "\x0f";
    return "<?xml version=\"1.0\" encoding=\"ISO-2022-CN\"?>\n<a " + so + "18W\"" + si + "=\"[" +
           so + "M(Q6B<" + si + "]\"><b " + so + "18W\"" + si + "=\"" + so + "UEH}" + si + "\">" +
           so + "UEH}" + si + "|138||||||||0</b></a>\n";
}

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

// XML 1.0 cannot hold C0 control characters other than tab, CR and LF (a word processor's
// manual line break is U+000B): they never reach the file, whatever the change.
TEST_F(ContactBookTest, ControlCharactersNeverReachTheFile) {
    const struct {
        const char* what;
        std::function<BookChange(ContactBook&)> change;
        BookPath node;
        std::string caption;  // UTF-8, as a fresh load shows it
        std::string record;
    } cases[] = {
        {"address with U+000B",
         [](ContactBook& b) { return b.addContact({}, G("孙七"), G("孙七|1|||北京\v朝阳|||||3")); },
         {3},
         "孙七",
         "孙七|1|||北京朝阳|||||3"},
        {"name with U+0001",
         [](ContactBook& b) {
             return b.addContact({2}, G("周\x01八"), G("周\x01八|2||||||||2,1"));
         },
         {2, 1},
         "周八",
         "周八|2||||||||2,1"},
        {"rewrite with U+000C and U+001B",
         [](ContactBook& b) {
             return b.rewriteContact({0}, G("张\x1b三"), G("张\x1b三|138||\f|||||\t|0"));
         },
         {0},
         "张三",
         "张三|138|||||||\t|0"},
        {"contact renamed with U+001F",
         [](ContactBook& b) {
             return b.rename({1, 0}, G("李\x1f四"));
         },
         {1, 0},
         "李四",
         "李四|13900000001||||||||1,0"},
        {"group renamed with U+000B",
         [](ContactBook& b) { return b.rename({2}, G("[同\v事]")); },
         {2},
         "[同事]",
         ""},
        {"book renamed with U+0008",
         [](ContactBook& b) { return b.rename({}, G("[通\b讯录]")); },
         {},
         "[通讯录]",
         ""},
        {"group added with U+0002",
         [](ContactBook& b) { return b.addGroup({1}, G("新\x02组")); },
         {1, 2},
         "[新组]",
         ""},
    };
    for (const auto& c : cases) {
        open(SampleBook());
        ASSERT_EQ(c.change(book), BookChange::Ok) << c.what;
        ContactBook again;
        ASSERT_TRUE(again.load(file())) << c.what << "\n" << onDisk();
        const BookNode root = again.tree();
        const BookNode* node = &root;
        for (int index : c.node)
            node = &node->children.at(static_cast<std::size_t>(index));
        EXPECT_EQ(GbkToUtf8(node->caption), c.caption) << c.what;
        EXPECT_EQ(GbkToUtf8(again.recordAt(c.node)), c.record) << c.what;
    }
}

// Renumbering after a deletion changes only the text after the last "|"; contacts nobody
// edited keep characters that GBK cannot hold, in a UTF-8 book.
TEST_F(ContactBookTest, RenumberingKeepsUntouchedRecordsByteForByte) {
    const std::string korean = Contact("김민수", "13900000001", "1");
    const std::string others =
        "<人员 备注=\"Straße ☎\">Straße ☎|13900000002|Herr|ß@x.de|"
        "서울 😀|||||2</人员>";
    open("<?xml version=\"1.0\" encoding=\"UTF-8\"?><通讯录 备注=\"[通讯录]\">" +
         Contact("甲", "1", "0") + korean + others +
         "<team 备注=\"[组 ☎]\"><人员 备注=\"丙\"><![CDATA[丙|3|||한|||||3,0]]></人员></team>"
         "</通讯录>");
    ASSERT_EQ(book.remove({0}), BookChange::Ok);
    const std::string saved = onDisk();
    for (const std::string& kept :
         {std::string("<人员 备注=\"김민수\">김민수|13900000001||||||||0</人员>"),
          std::string("<人员 备注=\"Straße ☎\">Straße ☎|13900000002|Herr|ß@x.de|서울 😀|||||1"
                      "</人员>"),
          std::string("<team 备注=\"[组 ☎]\">"), std::string("<![CDATA[丙|3|||한|||||2,0]]>")})
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << "\n" << saved;

    // A rename rewrites the name and nothing else of that record.
    ASSERT_EQ(book.rename({1}, G("施特劳斯")), BookChange::Ok);
    EXPECT_NE(onDisk().find("施特劳斯|13900000002|Herr|ß@x.de|서울 😀|||||1</人员>"),
              std::string::npos)
        << onDisk();
}

// An address book needs no entity declarations; expanding them is what made a 32 KB book
// take seconds and hundreds of megabytes. Such a book is neither loaded nor restored.
TEST(AddressBookFormat, EntityDeclarationsAreRefused) {
    std::string refs;
    for (int i = 0; i < 4000; ++i)
        refs += "&e;";
    const struct {
        const char* what;
        std::string bytes;
        bool loads;
    } cases[] = {
        {"entity in the caption",
         "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"[组]\">]><a 备注=\"&e;\"/>", false},
        {"4000 references in a group caption",
         "<!DOCTYPE a [<!ENTITY e \"" + std::string(8, 'x') +
             "\">]><a 备注=\"[b]\"><team 备注=\"[" + refs + "]\"/></a>",
         false},
        {"entity in a record",
         "<!DOCTYPE a [<!ENTITY n \"138\">]><a 备注=\"[b]\"><人员 "
         "备注=\"x\">x|&n;||||||||0</人员></a>",
         false},
        {"parameter entity", "<!DOCTYPE a [<!ENTITY % p \"\">]><a 备注=\"[b]\"/>", false},
        {"unparsed entity",
         "<!DOCTYPE a [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" NDATA n>]>"
         "<a 备注=\"[b]\"/>",
         false},
        {"external entity",
         "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a 备注=\"[&x;]\"/>", false},
        {"doctype without declarations", "<!DOCTYPE a><a 备注=\"[b]\"/>", true},
        {"character references", "<a 备注=\"[&#x7EC4;&amp;]\"/>", true},
    };
    for (const auto& c : cases) {
        ContactBook book;
        EXPECT_EQ(book.loadBytes(c.bytes), c.loads) << c.what;
        EXPECT_EQ(IsValidAddressBook(c.bytes), c.loads) << c.what;
    }
}

// A stateful or 7-bit encoding cannot be written back by the XML library: such a book is
// saved as UTF-8 with its declaration changed. Encodings that survive the trip are kept.
TEST_F(ContactBookTest, EncodingsThatCannotBeWrittenBackBecomeUtf8) {
    const struct {
        const char* encoding;
        std::string bytes;  // 张三 and the book's caption in that encoding
        const char* savedAs;
    } cases[] = {
        {"UTF-7",
         "<?xml version=\"1.0\" encoding=\"UTF-7\"?>\n<+kBqLr19V- +WQds6A-=\"[+kBqLr19V-]\">"
         "<+TrpUWA- +WQds6A-=\"+XyBOCQ-\">+XyBOCQ-|138||||||||0</+TrpUWA-></+kBqLr19V->\n",
         "UTF-8"},
        {"ISO-2022-CN", Iso2022CnBook(), "ISO-2022-CN"},
    };
    for (const auto& c : cases) {
        open(c.bytes);
        ASSERT_EQ(GbkToUtf8(book.tree().children.at(0).caption), "张三") << c.encoding;
        ASSERT_EQ(book.addContact({}, G("李四"), G("李四|139||||||||1")), BookChange::Ok);
        const std::string saved = onDisk();
        EXPECT_NE(saved.find(std::string("encoding=\"") + c.savedAs + "\""), std::string::npos)
            << c.encoding << "\n"
            << saved;
        ContactBook again;
        ASSERT_TRUE(again.load(file())) << c.encoding << "\n" << saved;
        EXPECT_EQ(GbkToUtf8(again.recordAt({0})), "张三|138||||||||0") << c.encoding;
        EXPECT_EQ(GbkToUtf8(again.recordAt({1})), "李四|139||||||||1") << c.encoding;
        // The next change goes straight to the written encoding.
        ASSERT_EQ(book.rename({0}, G("张三丰")), BookChange::Ok);
        ASSERT_TRUE(again.load(file())) << c.encoding;
        EXPECT_EQ(GbkToUtf8(again.recordAt({0})), "张三丰|138||||||||0");
    }
}

// Restore takes every file the loader reads whose book caption holds "]", and nothing else:
// comments, a "|" inside a field (shifted columns) and levels below 3 all load and list.
TEST(AddressBookFormat, RestoreAcceptsWhatTheLoaderAccepts) {
    const struct {
        const char* what;
        std::string bytes;
        bool valid;
    } cases[] = {
        {"sample", SampleBook(), true},
        {"empty book", EmptyBookXml(), true},
        {"empty file", "", false},
        {"plain text", "13800000000\r\n13900000000\r\n", false},
        {"no caption attribute", "<?xml version=\"1.0\"?><html><body>x</body></html>", false},
        {"other xml with a bracket", "<?xml version=\"1.0\"?><root a=\"[x]\"><item>1</item></root>",
         true},
        {"caption without bracket", "<a 备注=\"book\"/>", false},
        {"nine fields", "<a 备注=\"[b]\"><人员 备注=\"x\">x|1|||||||</人员></a>", true},
        {"comment", "<a 备注=\"[b]\"><!-- c --></a>", true},
        {"comment before a contact",
         "<a 备注=\"[b]\"><!-- 备份 --><人员 备注=\"x\">x|1||||||||0</人员></a>", true},
        {"bar inside a field", "<a 备注=\"[b]\"><人员 备注=\"x\">x|1|||北京|朝阳|||||0</人员></a>",
         true},
        {"too deep",
         "<a 备注=\"[b]\"><t 备注=\"[1]\"><p 备注=\"[2]\"><p 备注=\"[3]\"><p 备注=\"4\">"
         "4|1||||||||0,0,0,0</p></p></p></t></a>",
         true},
        {"control character", "<a 备注=\"[b]\"><人员 备注=\"x\">x|1|\v|||||||0</人员></a>", false},
        {"not well-formed", "<a 备注=\"[b]\"><team 备注=\"[c]\"></a>", false},
    };
    for (const auto& c : cases) {
        ContactBook book;
        const bool loads = book.loadBytes(c.bytes);
        EXPECT_EQ(IsValidAddressBook(c.bytes), c.valid) << c.what;
        EXPECT_EQ(c.valid, loads && book.tree().caption.find(']') != std::string::npos) << c.what;
    }
}

}  // namespace

namespace {

// A change parses nothing the book wrote itself; another program's change is parsed once and
// the next change applies to it. Several contacts go in one write, or none of them.
TEST_F(ContactBookTest, ChangesParseOnlyWhatAnotherProgramWrote) {
    const std::function<BookChange(ContactBook&)> changes[] = {
        [](ContactBook& b) { return b.addContact({2}, G("钱七"), G("钱七|1||||||||2,1")); },
        [](ContactBook& b) { return b.rewriteContact({0}, G("张"), G("张|2||||||||0")); },
        [](ContactBook& b) {
            return b.removeContacts({{1, 1, 0}, {0}, {0}});
        },
    };
    for (const auto& change : changes) {
        open(SampleBook());
        const int parses = book.parseCount();
        ASSERT_EQ(change(book), BookChange::Ok);
        ASSERT_TRUE(book.refresh() && book.refreshIfTouched());
        EXPECT_EQ(book.parseCount(), parses);
        std::string elsewhere = SampleBook();
        elsewhere.replace(elsewhere.find("13600000003"), 11, "13655555555");
        write(elsewhere);
        ASSERT_TRUE(book.refreshIfTouched() && book.refresh());
        EXPECT_EQ(book.parseCount(), parses + 1);
        ASSERT_EQ(change(book), BookChange::Ok);
        EXPECT_NE(onDisk().find("13655555555"), std::string::npos);
    }
    EXPECT_EQ(names({}), Names({"李四", "赵六"}));
    // A group among them refuses them all.
    EXPECT_EQ(book.removeContacts({{0}, {1}}), BookChange::Refused);
    EXPECT_EQ(book.removeContacts({}), BookChange::Refused);
    EXPECT_EQ(names({}), Names({"李四", "赵六"}));
}

// A GBK book is written without reading it back: what GBK lacks stays a character reference.
TEST_F(ContactBookTest, GbkBookKeepsWhatGbkCannotHold) {
    open(
        G("<?xml version=\"1.0\" encoding=\"gb2312\"?><a 备注=\"[&#x1F600;]\"><c 备注=\"李\">"
          "李&#x1F600;|1||||||||0</c></a>"));
    ASSERT_EQ(book.addContact({}, G("张"), G("张|1||||||||1")), BookChange::Ok);
    ContactBook again;
    ASSERT_TRUE(again.load(file()));
    EXPECT_EQ(again.childCount({}), 2);
    const std::string disk = onDisk();
    EXPECT_NE(disk.find("[&#128512;]"), std::string::npos) << disk;
    EXPECT_NE(disk.find(G("李&#128512;|1")), std::string::npos) << disk;
}

// A default value in a document type and a namespace name are written without escaping: a
// "&#60;" there would go out as a bare "<" and the saved book would no longer load.
TEST_F(ContactBookTest, ABookWithDeclarationsIsWrittenOnlyWhenItReadsBack) {
    const struct {
        const char* head;
        const char* rootAttributes;
        bool written;
    } cases[] = {{"<!DOCTYPE a [<!ATTLIST a b CDATA \"x&#60;y\">]>", "", false},
                 {"", " xmlns:p=\"x&#60;y\"", false},
                 {"<!DOCTYPE a [<!ATTLIST a b CDATA \"xy\">]>", " xmlns:p=\"urn:x\"", true}};
    for (const auto& c : cases) {
        const std::string original = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>") +
                                     c.head + "<a" + c.rootAttributes +
                                     " 备注=\"[通讯录]\"><c 备注=\"李\">李|1||||||||0</c></a>";
        open(original);
        EXPECT_TRUE(book.holdsDeclarations());
        EXPECT_EQ(book.addContact({}, G("张"), G("张|1||||||||1")),
                  c.written ? BookChange::Ok : BookChange::SaveFailed)
            << c.head << c.rootAttributes;
        ContactBook again;
        ASSERT_TRUE(again.load(file())) << onDisk();
        EXPECT_EQ(again.childCount({}), c.written ? 2 : 1);
        EXPECT_EQ(onDisk() == original, !c.written);  // refused: not a byte changed
        EXPECT_EQ(book.childCount({}), again.childCount({}));
    }
    open(SampleBook());
    EXPECT_FALSE(book.holdsDeclarations());
}

TEST_F(ContactBookTest, NamesAndCountsForTheQuestionsAndTheReceivedList) {
    open(SampleBook());
    const std::pair<BookPath, int> counts[] = {
        {{}, 4}, {{1}, 2}, {{1, 1}, 1}, {{1, 0}, 1}, {{9}, 0}};
    for (const auto& [path, count] : counts)
        EXPECT_EQ(book.contactCount(path), count) << PathText(path);
    const std::pair<const char*, const char*> named[] = {
        {"13800000000", "张三"},   {" 13700000002 ", "王五"}, {"+8613600000003", "赵六"},
        {"8613900000001", "李四"}, {"13999999999", ""},       {"", ""}};
    for (const auto& [number, name] : named)
        EXPECT_EQ(GbkToUtf8(book.nameOfNumber(number)), name) << number;
    ASSERT_EQ(book.rewriteContact({0}, G("张三丰"), G("张三丰|13800000000||||||||0")),
              BookChange::Ok);
    EXPECT_EQ(GbkToUtf8(book.nameOfNumber("13800000000")), "张三丰");
}

}  // namespace
