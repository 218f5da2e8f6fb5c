#pragma once
// The address book page with its dialogs over a temporary data folder, beside the two
// recipient panels of the stand-in main window.

#include <QTreeWidget>

#include <string>

#include "addressbook/ContactsPage.h"
#include "addressbook/TForm10.h"
#include "addressbook/TForm8.h"
#include "addressbook/TForm9.h"
#include "platform/Gbk.h"
#include "tests/addressbook/BookFixtures.h"
#include "tests/recipients/RecipientFixtures.h"
#include "tests/support/TempDataDir.h"

namespace smsc::test {

class PageTest : public PanelHostTest {
protected:
    static constexpr const char* kBook = "LinkmanBook/Contacts.xml";

    // Writes the book (UTF-8 text unless raw) and starts the page over it.
    void startWith(const std::string& bytes) {
        data.writeFile(kBook, bytes);
        start();
    }
    void start() {
        page = new ContactsPage(host.get());
        page->createDialogs(coordinator);
        page->Treev1_Initialization();
    }
    // The book as stored (the tests' books are UTF-8 files).
    std::string book() const { return data.readFile(kBook); }
    std::string bookBytes() const { return data.readFile(kBook); }

    QTreeWidgetItem* node(const BookPath& path) const { return page->itemAt(path); }
    void select(const BookPath& path) {
        QTreeWidgetItem* item = node(path);
        ASSERT_NE(item, nullptr) << PathText(path);
        page->TreeView1->clearSelection();
        item->setSelected(true);
    }
    QString caption(const BookPath& path) const {
        const QTreeWidgetItem* item = node(path);
        return item ? item->text(0) : QStringLiteral("<none>");
    }
    // Column texts of the contact list, one "caption:name:mobile" per row.
    QStringList rows() const {
        QStringList out;
        for (int i = 0; i < page->ListView4->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = page->ListView4->topLevelItem(i);
            out << row->text(0) + QLatin1Char(':') + row->text(1) + QLatin1Char(':') + row->text(2);
        }
        return out;
    }

    TempDataDir data;
    ContactsPage* page = nullptr;
};

}  // namespace smsc::test
