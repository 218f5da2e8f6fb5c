// The address book page with a book of 10000 contacts in 50 groups and 200 subgroups:
// building the tree, listing the whole book, selecting one contact, deleting a group
// (renumbering and saving), adding and deleting one contact, and TForm10's "全选" + "导入"
// into an empty recipient list. Beside the page's changes stand their floors: a change
// cannot cost less than one parse of the book and one atomic write of it, a selection less
// than listing the contact from the book in memory into the table. Also "通讯录导入" of 10000
// contacts into a new group of that book (read, checked against the group, saved once) from a
// phone's vCard export and from a CSV and an .xlsx name list, and "通讯录导出" of the book.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>
#include <string>

#include "addressbook/ContactTransfer.h"
#include "addressbook/ContactsPage.h"
#include "addressbook/TForm10.h"
#include "platform/AtomicFile.h"
#include "platform/Gbk.h"
#include "platform/QtText.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientListModel.h"
#include "recipients/RecipientPanel.h"
#include "tests/recipients/SpreadsheetFixtures.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

namespace {

using namespace smsc;

// 50 groups, each with 40 contacts of its own and 4 subgroups of 40 contacts.
std::string bigBook() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<通讯录 备注=\"[通讯录]\">\n";
    long long mobile = 13800000000LL;
    const auto contact = [&](const std::string& path) {
        const std::string name = "联系人" + std::to_string(mobile % 100000);
        xml += "<人员 备注=\"" + name + "\">" + name + "|" + std::to_string(mobile++) +
               "|先生|a@b.cn|北京市|某公司|010-1|010-2|100000|" + path + "</人员>\n";
    };
    for (int g = 0; g < 50; ++g) {
        const std::string gp = std::to_string(g);
        xml += "<team 备注=\"[分组" + gp + "]\">\n";
        for (int s = 0; s < 4; ++s) {
            xml += "<人员 备注=\"[子组" + std::to_string(s) + "]\">\n";
            for (int c = 0; c < 40; ++c)
                contact(gp + "," + std::to_string(s) + "," + std::to_string(c));
            xml += "</人员>\n";
        }
        for (int c = 0; c < 40; ++c)
            contact(gp + "," + std::to_string(4 + c));
        xml += "</team>\n";
    }
    return xml + "</通讯录>\n";
}

// The same book as an older installation keeps it: declared gb2312, stored in GBK.
std::string bigGbkBook() {
    std::string xml = bigBook();
    xml.replace(xml.find("UTF-8"), 5, "gb2312");
    return Utf8ToGbk(xml);
}

struct BigBookPage {
    explicit BigBookPage(const std::string& book = bigBook()) {
        data.writeFile("LinkmanBook/Contacts.xml", book);
        page.createDialogs(nullptr);
        page.Treev1_Initialization();
    }
    void select(const BookPath& path) {
        page.TreeView1->clearSelection();
        page.itemAt(path)->setSelected(true);
    }
    test::TempDataDir data;
    test::ScriptedUi ui;
    ContactsPage page;
};

void BM_BuildTree(benchmark::State& state) {
    BigBookPage fixture;
    for (auto _ : state)
        fixture.page.Treev1_Initialization();
    state.counters["nodes"] = 1 + 50 + 200 + 10000;
}
BENCHMARK(BM_BuildTree)->Unit(benchmark::kMillisecond);

void BM_ListWholeBook(benchmark::State& state) {
    BigBookPage fixture;
    for (auto _ : state) {
        fixture.select({});
        benchmark::DoNotOptimize(fixture.page.ListView4->topLevelItemCount());
        state.PauseTiming();
        fixture.page.TreeView1->clearSelection();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ListWholeBook)->Unit(benchmark::kMillisecond);

void BM_SelectOneContact(benchmark::State& state) {
    BigBookPage fixture;
    int i = 0;
    for (auto _ : state)
        fixture.select({25, 1, (i++) % 40});
}
BENCHMARK(BM_SelectOneContact)->Unit(benchmark::kMicrosecond);

// The floor of a selection: the tree's own selection change (the page not told), and the
// contact's row from the book in memory into the table, selected there.
void BM_FloorSelect(benchmark::State& state) {
    BigBookPage fixture;
    ContactBook& book = fixture.page.book();
    QTreeWidget* list = fixture.page.ListView4;
    fixture.page.TreeView1->blockSignals(true);
    int i = 0;
    for (auto _ : state) {
        const BookPath path{25, 1, (i++) % 40};
        fixture.select(path);
        list->clear();
        QList<QTreeWidgetItem*> rows;
        for (const ContactRow& row : book.listContacts(path)) {
            QStringList texts{QString::fromStdString(row.caption)};
            for (const std::string& cell : row.cells)
                texts.append(QStringFromGbk(cell));
            rows.append(new QTreeWidgetItem(texts));
        }
        list->addTopLevelItems(rows);
        list->setCurrentItem(rows.first(), 0,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}
BENCHMARK(BM_FloorSelect)->Unit(benchmark::kMicrosecond);

// The floor of a change: one parse of the book and one atomic write of it.
void floorParseAndWrite(benchmark::State& state, const std::string& book) {
    test::TempDataDir data;
    const std::string path = data.file("LinkmanBook/Contacts.xml");
    data.writeFile("LinkmanBook/Contacts.xml", book);
    for (auto _ : state) {
        ContactBook parsed;
        benchmark::DoNotOptimize(parsed.loadBytes(book));
        benchmark::DoNotOptimize(WriteFileAtomically(path, book));
    }
    state.counters["bytes"] = static_cast<double>(book.size());
}
void BM_FloorParseAndWrite(benchmark::State& state) {
    floorParseAndWrite(state, bigBook());
}
void BM_FloorParseAndWriteGbkBook(benchmark::State& state) {
    floorParseAndWrite(state, bigGbkBook());
}
BENCHMARK(BM_FloorParseAndWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorParseAndWriteGbkBook)->Unit(benchmark::kMillisecond);

// "删除联系人" on one contact of a subgroup, after the question (answered OK).
void BM_DeleteContact(benchmark::State& state) {
    BigBookPage fixture;
    const std::string book = bigBook();
    for (auto _ : state) {
        state.PauseTiming();
        fixture.data.writeFile("LinkmanBook/Contacts.xml", book);
        fixture.page.Treev1_Initialization();
        fixture.select({25, 1, 5});
        state.ResumeTiming();
        fixture.page.deleteNode();
    }
}
BENCHMARK(BM_DeleteContact)->Unit(benchmark::kMillisecond);

void BM_DeleteGroup(benchmark::State& state) {
    BigBookPage fixture;
    const std::string book = bigBook();
    for (auto _ : state) {
        state.PauseTiming();
        fixture.data.writeFile("LinkmanBook/Contacts.xml", book);
        fixture.page.Treev1_Initialization();
        fixture.select({0});
        state.ResumeTiming();
        fixture.page.deleteNode();  // the scripted seam answers OK
    }
}
BENCHMARK(BM_DeleteGroup)->Unit(benchmark::kMillisecond);

void BM_AddContact(benchmark::State& state) {
    BigBookPage fixture;
    fixture.select({10, 2});
    std::array<std::string, 9> fields{G("新联系人"), "13912345678"};
    for (auto _ : state)
        fixture.page.storeContact(true, fields, "10,2,40");
}
BENCHMARK(BM_AddContact)->Unit(benchmark::kMillisecond);

// A gb2312 book is read back before it is written: what GBK cannot hold must not be lost.
void BM_AddContactGbkBook(benchmark::State& state) {
    BigBookPage fixture(bigGbkBook());
    fixture.select({10, 2});
    std::array<std::string, 9> fields{G("新联系人"), "13912345678"};
    for (auto _ : state)
        fixture.page.storeContact(true, fields, "10,2,40");
}
BENCHMARK(BM_AddContactGbkBook)->Unit(benchmark::kMillisecond);

void BM_ImportWholeBook(benchmark::State& state) {
    BigBookPage fixture;
    QWidget host;
    auto* smsPage = new QWidget(&host);
    auto* mmsPage = new QWidget(&host);
    auto* sms = new RecipientPanel(PanelKind::Sms, smsPage);
    auto* mms = new RecipientPanel(PanelKind::Mms, mmsPage);
    smsPage->setLayout(sms->createListLayout());
    mmsPage->setLayout(mms->createListLayout());
    auto* coordinator = new RecipientCoordinator(&host);
    coordinator->setPanels(sms, mms);
    coordinator->setActivePanelSource([sms] { return sms; });
    host.show();
    TForm10 form;
    form.install(coordinator);
    for (auto _ : state) {
        state.PauseTiming();
        sms->model()->clear();
        form.rebuildTree();
        form.TreeView1->topLevelItem(0)->setSelected(true);
        state.ResumeTiming();
        form.Button1Click();
        form.Button3Click();
        QApplication::processEvents();
    }
    state.counters["entries"] = sms->RecipientCount();
}
BENCHMARK(BM_ImportWholeBook)->Unit(benchmark::kMillisecond);

constexpr int kImported = 10000;

// 10000 cards as a phone exports them (vCard 3.0: name, two numbers, e-mail, company, title,
// address), a CSV with the same and an .xlsx name list.
const std::string& contactFile(const std::string& name) {
    static test::TempFolder folder;
    static const bool written = [] {
        std::string vcf, csv = "\xEF\xBB\xBF姓名,手机号码,公司电话,邮箱,公司,职务,地址,邮编\r\n";
        const auto list = test::OfficeNameList(kImported);
        for (int i = 0; i < kImported; ++i) {
            const std::string mobile = std::to_string(15000000000LL + 3LL * i);
            const std::string& n = list[static_cast<size_t>(i)].name;
            const std::string& company = list[static_cast<size_t>(i)].company;
            vcf += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + n + ";;;;\r\nFN:" + n +
                   "\r\nTEL;TYPE=CELL:+86 " + mobile + "\r\nTEL;TYPE=WORK,VOICE:010-6234" +
                   std::to_string(1000 + i % 9000) + "\r\nEMAIL;TYPE=INTERNET:user" +
                   std::to_string(i) + "@example.com\r\nORG:" + company +
                   "\r\nTITLE:经理\r\nADR;TYPE=WORK:;;海淀区中关村大街" + std::to_string(i) +
                   "号;北京;;100080;中国\r\nEND:VCARD\r\n";
            csv += n + "," + mobile + ",010-62341000,user" + std::to_string(i) + "@example.com," +
                   company + ",经理,海淀区中关村大街" + std::to_string(i) + "号,100080\r\n";
        }
        folder.writeFile("contacts.vcf", vcf);
        folder.writeFile("contacts.csv", csv);
        std::vector<test::NameListRow> rows = list;
        for (int i = 0; i < kImported; ++i)
            rows[static_cast<size_t>(i)].mobile = 15000000000LL + 3LL * i;
        test::WriteOfficeXlsx(folder.file("contacts.xlsx"), rows);
        return true;
    }();
    (void)written;
    static std::string path;
    path = folder.file(name);
    return path;
}

void importContacts(benchmark::State& state, const std::string& name) {
    test::TempDataDir data;
    const std::string book = bigBook();
    const std::string file = contactFile(name);
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        data.writeFile("LinkmanBook/Contacts.xml", book);
        ContactBook contacts;
        contacts.load(data.file("LinkmanBook/Contacts.xml"));
        contacts.addGroup({}, G("导入"));
        state.ResumeTiming();
        const ContactsRead read = ReadContactsFile(file);
        const ContactImportResult result = ImportContacts(contacts, {50}, read.contacts);
        added = result.added;
        if (result.change != BookChange::Ok || added != kImported) {
            state.SkipWithError("the import did not add every contact");
            break;
        }
    }
    state.counters["added"] = added;
}
void BM_ContactsImportVcf(benchmark::State& state) {
    importContacts(state, "contacts.vcf");
}
void BM_ContactsImportCsv(benchmark::State& state) {
    importContacts(state, "contacts.csv");
}
void BM_ContactsImportXlsx(benchmark::State& state) {
    importContacts(state, "contacts.xlsx");
}
BENCHMARK(BM_ContactsImportVcf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContactsImportCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContactsImportXlsx)->Unit(benchmark::kMillisecond);

void BM_ContactsExportVcf(benchmark::State& state) {
    test::TempDataDir data;
    data.writeFile("LinkmanBook/Contacts.xml", bigBook());
    ContactBook contacts;
    contacts.load(data.file("LinkmanBook/Contacts.xml"));
    int count = 0;
    for (auto _ : state)
        ExportContacts(contacts, {}, data.file("out.vcf"), &count);
    state.counters["contacts"] = count;
}
BENCHMARK(BM_ContactsExportVcf)->Unit(benchmark::kMillisecond);

}  // namespace
