// Contacts in and out of the book: vCard files as phones and mail programs export them,
// tables with Chinese and English column names, the import into a group (saved once,
// duplicates skipped), and an export read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "addressbook/ContactBook.h"
#include "addressbook/ContactTransfer.h"
#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "recipients/SpreadsheetReader.h"
#include "tests/addressbook/BookFixtures.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/TempDataDir.h"
#include "tests/support/TextEncodings.h"

using namespace smsc;
using smsc::test::TempFolder;
using Strings = std::vector<std::string>;

namespace {

// Each contact as "name|mobile|称呼|email|address|company|company phone|fax|postal", UTF-8.
Strings joined(const std::vector<ContactFields>& contacts) {
    Strings out;
    for (const ContactFields& f : contacts) {
        std::string line;
        for (size_t i = 0; i < f.size(); ++i)
            line += (i ? "|" : "") + GbkToUtf8(f[i]);
        out.push_back(line);
    }
    return out;
}

// The contacts listed for a node of the book, joined the same way.
Strings listing(const ContactBook& book, const BookPath& node) {
    std::vector<ContactFields> contacts;
    for (const ContactRow& row : book.listContacts(node))
        contacts.push_back(row.cells);
    return joined(contacts);
}

std::string crlf(const std::string& lines) {
    std::string out;
    for (char c : lines)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

}  // namespace

TEST(ContactFiles, VCardsAsExported) {
    const struct {
        const char* name;
        std::string text;
        Strings contacts;
    } cases[] = {
        {"2.1 quoted-printable (Android)",
         crlf("BEGIN:VCARD\nVERSION:2.1\n"
              "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0;=E4=B8=89;;;\n"
              "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=BC=A0=E4=B8=89\n"
              "TEL;WORK:010-62345678\nTEL;CELL:138-0013-8000\nEMAIL;HOME:zhangsan@example.com\n"
              "ORG;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E5=8C=97=E4=BA=AC=E5=8D=8E=E4=BF=A1=\n"
              "=E7=A7=91=E6=8A=80\n"
              "ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;;=E6=B5=B7=E6=B7=80=E5=8C=BA;"
              "=E5=8C=97=E4=BA=AC;;100080;\n"
              "PHOTO;ENCODING=BASE64;JPEG:/9j/4AAQSkZJRgABAQ\n"
              " AAAQABAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYIDAoMDAsKCwsNDhIQDQ4RDgsL\n"
              "\nEND:VCARD\n"),
         {"张三|13800138000||zhangsan@example.com|北京 海淀区|北京华信科技|010-62345678||100080"}},
        {"3.0 folded (inside a character too), escaped",
         crlf("BEGIN:VCARD\nVERSION:3.0\nFN:\xE6\x9D\n \x8E\xE5\x9B\x9B\nN:李;四;;;\n"
              "TEL;TYPE=WORK,VOICE:+86 10 6234 5678\nTEL;TYPE=CELL,VOICE:+86 139 0013 9001\n"
              "TITLE:经理\\, 销售部\nORG:上海东方\n 贸易有限公司;销售部\nNOTE:老客户\\n周末勿扰\n"
              "END:VCARD\n"),
         {"李四|13900139001|经理, 销售部|||上海东方贸易有限公司|+86 10 6234 5678||"}},
        {"4.0",
         "BEGIN:VCARD\nVERSION:4.0\nFN:Wang Wu\nN:Wang;Wu;;;\n"
         "TEL;VALUE=uri;TYPE=\"voice,cell\";PREF=1:tel:+86-137-0013-7002\n"
         "EMAIL;TYPE=work:wangwu@example.com\nEND:VCARD\n",
         {"Wang Wu|13700137002||wangwu@example.com|||||"}},
        {"contacts without a mobile number among others",
         crlf("BEGIN:VCARD\nVERSION:3.0\nFN:前台\nTEL;TYPE=WORK:010-62345678\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:3.0\nFN:赵六\nTEL:159 0015 9003\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:3.0\nN:Smith;John;;;\nTEL;TYPE=FAX:13800000009\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:3.0\nORG:华信科技\nEND:VCARD\n"),
         {"前台||||||010-62345678||", "赵六|15900159003|||||||", "John Smith|||||||13800000009|",
          "华信科技|||||华信科技|||"}},
        {"GBK, a character whose second byte is a backslash, a nested card",
         crlf("BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=GBK:" + G("乗三") +
              "\nAGENT:\nBEGIN:VCARD\nFN:秘书\nTEL;CELL:13900000000\nEND:VCARD\n"
              "TEL;CELL;VOICE:13600136003\nEND:VCARD\n"),
         {"乗三|13600136003|||||||"}},
        {"mobile numbers written with dots or in full-width digits",
         crlf("BEGIN:VCARD\nVERSION:3.0\nFN:孙八\nTEL;TYPE=CELL:135.0013.5008\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:3.0\nFN:周九\nTEL:１３３００１３３００５\nEND:VCARD\n"),
         {"孙八|13500135008|||||||", "周九|13300133005|||||||"}},
        {"UTF-16 behind its mark (Windows' contacts export)",
         test::Utf16File(crlf("BEGIN:VCARD\nVERSION:3.0\nFN:钱七\nTEL;TYPE=CELL:186 0018 6004\n"
                              "END:VCARD\n")),
         {"钱七|18600186004|||||||"}},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        const ContactsRead read = ParseVCards(c.text);
        EXPECT_EQ(read.error, ContactReadError::None) << c.name;
        EXPECT_EQ(joined(read.contacts), c.contacts) << c.name;
        // Read from a file, each is told apart from a table by its content.
        folder.writeFile("card.vcf", c.text);
        EXPECT_EQ(joined(ReadContactsFile(folder.file("card.vcf")).contacts), c.contacts) << c.name;
    }
}

TEST(ContactFiles, TablesWithChineseOrEnglishColumnNames) {
    TempFolder folder;
    folder.writeFile("cn.csv",
                     "\xEF\xBB\xBF"
                     "客户名单\r\n姓名,手机号码（必填）,单位,职务,电子邮件,地址,邮编,备注\r\n"
                     "张三,138 0013 8000,北京华信,经理,zs@example.com,海淀区,100080,老客户\r\n"
                     "李四,,上海东方,,,,,没有手机\r\n");
    folder.writeFile("crm.csv",
                     "First Name,Last Name,Mobile Phone,Business Phone,Business Fax,E-mail Address,"
                     "Company,Job Title,Business Street,Business Postal Code,Notes\r\n"
                     "John,Smith,+86 139-0013-9001,010-1234,010-5678,js@example.com,"
                     "'=ACME,CEO,\"1 Main St, Suite 2\",100000,vip\r\n");
    folder.writeFile("none.csv", "a,b\r\n1,2\r\n");
    test::WriteXlsx(
        folder.file("phones.xlsx"),
        {{test::FixtureCell::str(1, 1, "Name"), test::FixtureCell::str(1, 2, "电话"),
          test::FixtureCell::str(2, 1, "王五"), test::FixtureCell::num(2, 2, 13700137002.0),
          test::FixtureCell::str(3, 1, "赵六"), test::FixtureCell::str(3, 2, "010-62345678")}});
    const struct {
        const char* file;
        ContactReadError error;
        Strings contacts;
    } cases[] = {
        {"cn.csv",
         ContactReadError::None,
         {"张三|13800138000|经理|zs@example.com|海淀区|北京华信|||100080", "李四|||||上海东方|||"}},
        {"crm.csv",
         ContactReadError::None,
         {"John Smith|13900139001|CEO|js@example.com|1 Main St, Suite 2|=ACME|010-1234|010-5678|"
          "100000"}},
        {"phones.xlsx", ContactReadError::None, {"王五|13700137002|||||||", "赵六||||||||"}},
        {"none.csv", ContactReadError::NoColumns, {}},
        {"missing.vcf", ContactReadError::Unreadable, {}},
    };
    for (const auto& c : cases) {
        const ContactsRead read = ReadContactsFile(folder.file(c.file));
        EXPECT_EQ(read.error, c.error) << c.file;
        EXPECT_EQ(joined(read.contacts), c.contacts) << c.file;
    }
    // Saved by LibreOffice: a number cell, a number kept as text, 1.5, duplicate rows.
    const ContactsRead ods =
        ReadContactsFile(std::string(SMSC_TEST_FILES) + "/contacts-libreoffice.ods");
    ASSERT_EQ(ods.contacts.size(), 9u);
    EXPECT_EQ(joined(ods.contacts)[0],
              "张三|13800138000|销售  经理|zhangsan@example.com||北京华信科技有限公司|||");
    EXPECT_EQ(joined(ods.contacts)[1], "李四|13900139001||||上海东方贸易有限公司|||");
    EXPECT_EQ(joined(ods.contacts)[4], "赵六|||||深圳市腾达电子有限公司|||");
}

TEST(ContactFiles, ImportIntoAGroup) {
    TempFolder folder;
    const std::string path = folder.file("Contacts.xml");
    folder.writeFile("Contacts.xml", test::SampleBook());
    const auto contact = [](const std::string& name, const std::string& mobile,
                            const std::string& company = {}) {
        ContactFields f;
        f[kFieldName] = G(name);
        f[kFieldMobile] = mobile;
        f[kFieldCompany] = G(company);
        return f;
    };
    const std::vector<ContactFields> read = {
        contact("[VIP]孙八", "13500135004", "A|B\r\n公司"),
        contact("李四", "13900000001"),  // already in [客户]
        contact("王五", "13700000002"),  // in its subgroup [北京]: listed in [客户] too
        contact("", "13500135005"),      // named by its number
        contact("孙八", "13500135004"),  // twice in the file
        contact("没有号码", ""),
    };
    ContactBook book;
    ASSERT_TRUE(book.load(path));
    const ContactImportResult result = ImportContacts(book, {1}, read);
    EXPECT_EQ(result.change, BookChange::Ok);
    EXPECT_EQ(GbkToUtf8(ImportResultText(result)), "导入2个联系人，跳过4个（号码重复或无效）");

    ContactBook saved;
    ASSERT_TRUE(saved.load(path));
    EXPECT_EQ(listing(saved, {1}),
              (Strings{"李四|13900000001|||||||", "王五|13700000002|||||||",
                       "VIP孙八|13500135004||||A｜B  公司|||", "13500135005|13500135005|||||||"}));
    EXPECT_EQ(saved.recordAt({1, 2}), G("VIP孙八|13500135004||||A｜B  公司||||1,2"));
    EXPECT_EQ(saved.tree().children[1].children[2].caption, G("VIP孙八"));

    // Into the book itself and into a subgroup; never into a contact.
    EXPECT_EQ(ImportContacts(saved, {}, {contact("周九", "13300133009")}).added, 1);
    EXPECT_EQ(ImportContacts(saved, {1, 1}, {contact("吴十", "13200132010")}).added, 1);
    EXPECT_EQ(ImportContacts(saved, {0}, {contact("郑十一", "13100131011")}).change,
              BookChange::Refused);
    ASSERT_TRUE(book.load(path));
    EXPECT_EQ(book.recordAt({3}), G("周九|13300133009||||||||3"));
    EXPECT_EQ(book.recordAt({1, 1, 1}), G("吴十|13200132010||||||||1,1,1"));

    // A write that fails adds nothing, and the file stays as it was.
    const std::string before = *ReadWholeFile(path);
    std::filesystem::rename(path, path + ".kept");
    std::filesystem::create_directory(path);
    const ContactImportResult failed =
        ImportContacts(book, {2}, {contact("冯十二", "13000130012")});
    EXPECT_EQ(failed.change, BookChange::SaveFailed);
    EXPECT_EQ(failed.added, 0);
    std::filesystem::remove(path);
    std::filesystem::rename(path + ".kept", path);
    EXPECT_EQ(*ReadWholeFile(path), before);
}

// A book the import would grow past what can be read again is not written.
TEST(ContactFiles, ImportThatWouldOverfillTheBookIsRefused) {
    TempFolder folder;
    const std::string path = folder.file("Contacts.xml");
    folder.writeFile("Contacts.xml", test::SampleBook());
    std::vector<ContactFields> many(4000);
    for (size_t i = 0; i < many.size(); ++i) {
        for (std::string& field : many[i])
            field = std::string(kMaxContactFieldBytes, 'x');
        many[i][kFieldMobile] = std::to_string(13000000000LL + static_cast<long long>(i));
    }
    ContactBook book;
    ASSERT_TRUE(book.load(path));
    const ContactImportResult result = ImportContacts(book, {2}, many);
    EXPECT_EQ(result.change, BookChange::Refused);
    EXPECT_EQ(result.added, 0);
    EXPECT_EQ(*ReadWholeFile(path), test::SampleBook());
    EXPECT_EQ(book.childCount({2}), 1);
}

TEST(ContactFiles, ExportThenImportGivesTheSameContacts) {
    TempFolder folder;
    const std::string path = folder.file("Contacts.xml");
    folder.writeFile("Contacts.xml", test::SampleBook());
    ContactBook book;
    ASSERT_TRUE(book.load(path));
    ContactFields tricky;
    const char* const values[] = {
        "王,小\"五\"",
        "13800000005",
        "经理;总监",
        "w@example.com",
        "北京市海淀区中关村大街一号院二号楼三单元四层五百零六室（靠近地铁站）",
        "=HYPERLINK(\"x\")",
        "+86 10 1234",
        "-010-5678",
        "100080"};
    for (size_t i = 0; i < tricky.size(); ++i)
        tricky[i] = G(values[i]);
    ASSERT_EQ(ImportContacts(book, {1, 1}, {tricky}).added, 1);
    const Strings exported = listing(book, {1});

    for (const char* name : {"out.vcf", "out.CSV"}) {
        int count = 0;
        ASSERT_TRUE(ExportContacts(book, {1}, folder.file(name), &count)) << name;
        EXPECT_EQ(count, 3) << name;
        ASSERT_EQ(book.addGroup({}, G(name)), BookChange::Ok);
        const ContactsRead read = ReadContactsFile(folder.file(name));
        ASSERT_EQ(read.error, ContactReadError::None) << name;
        const ContactImportResult result =
            ImportContacts(book, {book.childCount({}) - 1}, read.contacts);
        EXPECT_EQ(result.added, 3) << name;
        EXPECT_EQ(listing(book, {book.childCount({}) - 1}), exported) << name;
    }

    const std::string vcf = *ReadWholeFile(folder.file("out.vcf"));
    EXPECT_EQ(vcf.substr(0, 26), "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    size_t cards = 0, longest = 0, start = 0;
    for (size_t end; (end = vcf.find("\r\n", start)) != std::string::npos; start = end + 2) {
        longest = std::max(longest, end - start);
        cards += vcf.compare(start, end - start, "BEGIN:VCARD") == 0;
        EXPECT_EQ(vcf.substr(start, end - start).find('\n'), std::string::npos);
    }
    EXPECT_EQ(start, vcf.size());  // CR LF after every line
    EXPECT_EQ(cards, 3u);
    EXPECT_LE(longest, 75u);
    EXPECT_NE(vcf.find("CATEGORIES:客户,北京\r\n"), std::string::npos);
    const std::string csv = *ReadWholeFile(folder.file("out.CSV"));
    EXPECT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(csv.substr(3, csv.find("\r\n") - 3),
              "姓名,手机号码,称呼,邮箱,地址,公司名称,公司电话,传真,邮编,分组");
    EXPECT_NE(csv.find(",\"'=HYPERLINK"), std::string::npos);  // not read as a formula
}
