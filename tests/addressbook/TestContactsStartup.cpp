// The main window builds the address book tree at start-up and wires "从通讯录导入".
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTreeWidget>

#include "addressbook/ContactsPage.h"
#include "addressbook/TForm10.h"
#include "recipients/RecipientCoordinator.h"
#include "tests/app/AppFixture.h"

namespace smsc::test {
namespace {

class ContactsStartupTest : public AppFixture {};

TEST_F(ContactsStartupTest, TreeBuiltAndImportWired) {
    data.writeFile(
        "LinkmanBook/Contacts.xml",
        "<?xml version=\"1.0\"?><通讯录 备注=\"[通讯录]\"><team 备注=\"[客户]\"/></通讯录>");
    start();
    ContactsPage* page = main->contactsPage();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->TreeView1->topLevelItemCount(), 1);
    EXPECT_EQ(page->TreeView1->topLevelItem(0)->text(0), QStringLiteral("[通讯录]"));
    EXPECT_EQ(page->TreeView1->topLevelItem(0)->childCount(), 1);
    ASSERT_NE(page->form8(), nullptr);
    ASSERT_NE(page->form9(), nullptr);

    // Entering the page gives the tree the keyboard focus.
    main->showConnected(QStringLiteral("剩余短信10条"), QStringLiteral("u"));
    QApplication::setActiveWindow(main.get());
    main->Button9Click();
    EXPECT_EQ(QApplication::focusWidget(), page->TreeView1);

    main->showPage(TForm2::Page::Sms);
    main->recipients()->addAction(RecipientCoordinator::AddItem::AddressBook)->trigger();
    ASSERT_FALSE(ui.shownDialogs.empty());
    EXPECT_EQ(ui.shownDialogs.back(), page->form10());
}

}  // namespace
}  // namespace smsc::test
