// The "通讯录" page driven as the user does: the tree, the menus, the group dialog and the
// contact editor, with the book on disk checked after every change.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItemIterator>

#include <filesystem>

#include "platform/AtomicFile.h"
#include "tests/addressbook/PageFixture.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class ContactsPageTest : public PageTest {
protected:
    // The editor opened by `open`, the rows filled (row index, UTF-8 text), then "确定".
    void editor(const std::function<void()>& open, std::vector<std::pair<int, std::string>> cells,
                bool* closed = nullptr) {
        ui.onNextDialog([&](QDialog* dialog) {
            auto* form = static_cast<TForm9*>(dialog);
            for (const auto& [row, text] : cells)
                form->setValue(row, QString::fromStdString(text));
            form->Button1->click();
            if (closed)
                *closed = !form->isVisible() || form->result() == QDialog::Accepted;
        });
        open();
    }
    void newGroup(const QString& name) {
        ui.onNextDialog([name](QDialog* dialog) {
            auto* form = static_cast<TForm8*>(dialog);
            form->Edit1->setText(name);
            form->Button1->click();
        });
        page->AddGroupItem->trigger();
    }
    void rename(const BookPath& path, const QString& typed) {
        node(path)->setText(0, typed);      // what an accepted in-place edit does
        QCoreApplication::processEvents();  // what follows the edit once it is done
    }
};

TEST_F(ContactsPageTest, TreeListingAndMenusFollowTheSelectedNode) {
    startWith(SampleBook());
    EXPECT_EQ(caption({}), QStringLiteral("[通讯录]"));
    EXPECT_EQ(caption({1, 1, 0}), QStringLiteral("王五"));
    select({});
    EXPECT_EQ(rows().size(), 4);
    select({1});
    EXPECT_EQ(rows(), QStringList({QStringLiteral("1,0:李四:13900000001"),
                                   QStringLiteral("1,1,0:王五:13700000002")}));
    // A contact node lists itself and selects its row.
    select({1, 0});
    ASSERT_EQ(page->ListView4->selectedItems().size(), 1);
    EXPECT_EQ(page->ListView4->selectedItems()[0]->text(1), QStringLiteral("李四"));

    EXPECT_EQ(page->prepareTreeMenu(), page->PopupMenu4);
    select({});
    EXPECT_EQ(page->prepareTreeMenu(), page->PopupMenu3);
    EXPECT_FALSE(page->DeleteGroupItem->isEnabled());
    EXPECT_TRUE(page->AddGroupItem->isEnabled());
    select({1, 1});
    page->prepareTreeMenu();
    EXPECT_TRUE(page->DeleteGroupItem->isEnabled());
    EXPECT_FALSE(page->AddGroupItem->isEnabled());
    EXPECT_TRUE(page->DeleteContactButton->isHidden());
    EXPECT_FALSE(page->DeleteContactButton->isEnabled());
    EXPECT_TRUE(ui.messages.empty());
}

// Deliberately changed: a right click selects the node under the pointer first and opens that
// node's menu, also over an in-place edit (never the editor's own menu) and right after a
// click that would start one.
TEST_F(ContactsPageTest, ChangedRightClickSelectsTheNodeUnderThePointer) {
    startWith(SampleBook());
    page->resize(600, 420);
    page->show();
    QTreeWidget* tree = page->TreeView1;
    tree->expandAll();
    QApplication::processEvents();
    // A right click as X11 delivers it: the press, then the menu request.
    const auto rightClick = [&](QWidget* target, const QPoint& pos) {
        QTest::mousePress(target, Qt::RightButton, {}, pos);
        QContextMenuEvent request(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &request);
        QTest::mouseRelease(target, Qt::RightButton, {}, pos);
    };
    const auto centre = [&](const BookPath& path) {
        return tree->visualItemRect(node(path)).center();
    };
    const auto shownMenu = [&]() -> QMenu* {
        QMenu* shown = page->PopupMenu3->isVisible()   ? page->PopupMenu3
                       : page->PopupMenu4->isVisible() ? page->PopupMenu4
                                                       : nullptr;
        page->PopupMenu3->hide();
        page->PopupMenu4->hide();
        return shown;
    };
    struct Case {
        BookPath selected, clicked;
        QMenu* menu;
        bool addGroup, deleteGroup;
    };
    const Case cases[] = {
        {{1, 0}, {1, 1}, page->PopupMenu3, false, true},  // a subgroup, not the contact's menu
        {{1, 1}, {2}, page->PopupMenu3, true, true},      // a top-level group
        {{2}, {0}, page->PopupMenu4, true, true},         // a contact
        {{0}, {}, page->PopupMenu3, true, false},         // the book
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(PathText(c.clicked));
        select(c.selected);
        rightClick(tree->viewport(), centre(c.clicked));
        EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{node(c.clicked)});
        EXPECT_EQ(tree->currentItem(), node(c.clicked));
        EXPECT_EQ(shownMenu(), c.menu);
        if (c.menu == page->PopupMenu3) {
            EXPECT_EQ(page->AddGroupItem->isEnabled(), c.addGroup);
            EXPECT_EQ(page->DeleteGroupItem->isEnabled(), c.deleteGroup);
        }
    }

    // A click on the selected node arms its rename; a right click drops it and opens the menu.
    select({2});
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centre({2}));
    EXPECT_TRUE(page->RenameTimer->isActive());
    rightClick(tree->viewport(), centre({1}));
    EXPECT_FALSE(page->RenameTimer->isActive());
    page->RenameTimerTimer();  // even if it fired now
    EXPECT_EQ(tree->viewport()->findChild<QLineEdit*>(), nullptr);
    EXPECT_EQ(shownMenu(), page->PopupMenu3);

    // Left alone, the armed rename opens the editor; a right click on it ends the edit,
    // keeping what was typed, and shows the node's menu, not the editor's.
    select({2});
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, centre({2}));
    page->RenameTimerTimer();
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("同事们"));
    rightClick(editor, editor->rect().center());
    QApplication::processEvents();
    EXPECT_EQ(caption({2}), QStringLiteral("[同事们]"));
    EXPECT_NE(book().find("备注=\"[同事们]\""), std::string::npos);
    EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{node({2})});
    EXPECT_EQ(shownMenu(), page->PopupMenu3);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);  // no other menu is open
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ContactsPageTest, GroupsAndContactsAreAddedWithTheirPaths) {
    startWith(EmptyBookXml());
    select({});
    newGroup(QStringLiteral("  客户 "));
    newGroup(QStringLiteral("x"));  // shorter than two bytes: nothing
    EXPECT_EQ(caption({0}), QStringLiteral("[客户]"));
    EXPECT_EQ(node({})->childCount(), 1);
    select({0});
    newGroup(QStringLiteral("北"));  // one Chinese character is two bytes
    EXPECT_TRUE(node({0, 0})->isSelected());

    // Two contacts in the empty subgroup get 0,0,0 and 0,0,1; one in the book gets 1.
    editor([&] { page->NewContactButton->click(); }, {{0, " 王五 "}, {1, "13700000002"}});
    select({0, 0});
    editor([&] { page->AddContactItem->trigger(); }, {{0, "赵[六]"}, {1, "0"}});
    select({});
    editor([&] { page->NewContactButton->click(); }, {{0, "张三"}, {1, "138"}, {8, "100000"}});
    EXPECT_EQ(rows().last(), QStringLiteral("1:张三:138"));
    EXPECT_NE(book().find("<人员 备注=\"王五\">王五|13700000002||||||||0,0,0</人员>"),
              std::string::npos)
        << book();
    EXPECT_NE(book().find("<人员 备注=\"赵六\">赵六|0||||||||0,0,1</人员>"), std::string::npos);
    EXPECT_NE(book().find("张三|138|||||||100000|1"), std::string::npos);
    EXPECT_EQ(caption({0, 0, 1}), QStringLiteral("赵六"));

    // A contact node takes no contacts; a level-3 contact gets the depth message.
    select({1});
    page->NewContactButton->click();
    select({0, 0, 0});
    page->NewContactButton->click();
    page->TreeView1->clearSelection();
    page->NewContactButton->click();
    EXPECT_EQ(ui.messageTexts(), QStringList({QStringLiteral("该分组不能添加联系人"),
                                              QStringLiteral("通讯录最多只能添加3个级别的分组！"),
                                              QStringLiteral("请指定要增加联系人的分组")}));
}

TEST_F(ContactsPageTest, EditorRefusesBadInputAndStaysOpen) {
    startWith(SampleBook());
    select({1});
    const std::string before = bookBytes();
    const struct {
        std::vector<std::pair<int, std::string>> cells;
        QString message;
    } cases[] = {
        {{{0, "  "}, {1, "138"}}, QStringLiteral("姓名不能为空")},
        {{{0, "[]"}, {1, "138"}}, QStringLiteral("姓名不能为空")},
        {{{0, "甲"}, {1, "1380000000000"}}, QStringLiteral("请输入正确的手机号")},
        {{{0, "甲"}, {1, "+8613800000000"}}, QStringLiteral("请输入正确的手机号")},
        {{{0, "甲"}, {1, "138"}, {4, "北京|朝阳"}}, QStringLiteral("联系人信息中不能包含“|”字符")},
    };
    for (const auto& c : cases) {
        ui.clear();
        bool closed = true;
        editor([&] { page->NewContactButton->click(); }, c.cells, &closed);
        EXPECT_FALSE(closed) << c.message.toStdString();
        EXPECT_EQ(ui.lastMessage().text, c.message);
    }
    EXPECT_EQ(bookBytes(), before);
}

TEST_F(ContactsPageTest, RenameInPlace) {
    startWith(SampleBook());
    rename({1}, QStringLiteral("a[b]c"));
    EXPECT_EQ(caption({1}), QStringLiteral("[abc]"));
    EXPECT_NE(book().find("<team 备注=\"[abc]\">"), std::string::npos);
    rename({}, QStringLiteral("我的通讯录"));
    EXPECT_EQ(caption({}), QStringLiteral("[我的通讯录]"));
    EXPECT_NE(book().find("备注=\"[我的通讯录]\""), std::string::npos);
    // A contact's new name goes into its record too, at every level.
    rename({1, 1, 0}, QStringLiteral("王小五"));
    EXPECT_NE(book().find("<人员 备注=\"王小五\">王小五|13700000002|"), std::string::npos)
        << book();

    const std::string before = bookBytes();
    rename({0}, QStringLiteral(" [] "));
    EXPECT_EQ(caption({0}), QStringLiteral("张三"));
    EXPECT_TRUE(ui.messages.empty());
    rename({0}, QStringLiteral("张|三"));
    EXPECT_EQ(caption({0}), QStringLiteral("张三"));
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("联系人信息中不能包含“|”字符"));
    EXPECT_EQ(bookBytes(), before);
}

TEST_F(ContactsPageTest, DeleteAndEditAfterwardsHitTheRightContact) {
    startWith(SampleBook());
    select({});
    page->DeleteGroupItem->trigger();  // the book itself is never deleted
    EXPECT_TRUE(ui.messages.empty());

    select({1});
    ui.answerNext(MsgAnswer::Cancel);
    page->DeleteGroupItem->trigger();
    EXPECT_EQ(node({})->childCount(), 3);
    select({1});
    page->DeleteGroupItem->trigger();
    // Deliberate change: the question names the group and the contacts that go with it.
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("删除分组“客户”及其2个联系人？"));
    EXPECT_EQ(node({})->childCount(), 2);
    EXPECT_EQ(book().find("王五"), std::string::npos);
    EXPECT_EQ(book().find("北京"), std::string::npos);

    // 赵六 moved from 2,0 to 1,0: the list shows it there and an edit changes it.
    select({});
    ASSERT_EQ(rows(), QStringList({QStringLiteral("0:张三:13800000000"),
                                   QStringLiteral("1,0:赵六:13600000003")}));
    page->ListView4->topLevelItem(1)->setSelected(true);
    editor([&] { page->EditContactButton->click(); }, {{1, "13611111111"}});
    EXPECT_NE(book().find("<人员 备注=\"赵六\">赵六|13611111111||||||||1,0<"), std::string::npos)
        << book();
    EXPECT_NE(book().find("张三|13800000000||||||||0<"), std::string::npos);
    // From the tree the same contact opens with its fields and its position.
    select({1, 0});
    ui.onNextDialog([](QDialog* dialog) {
        auto* form = static_cast<TForm9*>(dialog);
        EXPECT_EQ(form->windowTitle(), QStringLiteral("修改联系人信息"));
        EXPECT_EQ(form->value(1), QStringLiteral("13611111111"));
        EXPECT_EQ(form->Label2->text(), QStringLiteral("1,0"));
    });
    page->EditContactItem->trigger();
    // Deliberate change: with no row selected the button edits the contact selected in the
    // tree; only with neither is the user asked to choose.
    page->ListView4->clearSelection();
    ui.clear();
    ui.onNextDialog([](QDialog* dialog) {
        EXPECT_EQ(static_cast<TForm9*>(dialog)->value(0), QStringLiteral("赵六"));
    });
    page->EditContactButton->click();
    EXPECT_TRUE(ui.messages.empty());
    select({1});
    page->ListView4->clearSelection();
    page->EditContactButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("请选择通讯录联系信息表中的要修改的项"));
}

// Deliberate change: the editor is a form. It opens on "姓名"; Tab and Shift+Tab (^) move
// through the rows and buttons, Enter (>) moves on and confirms from the last row, Esc (!)
// cancels.
TEST_F(ContactsPageTest, EditorIsAFormEnterMovesOnAndConfirmsFromTheLastRow) {
    const struct {
        const char* keys;
        const char* stored;  // empty: nothing stored
        int overlayRow;      // where the overlay is when the editor stayed open
    } cases[] = {
        {"孙七\t13800000000>>>>>>>>", "孙七|13800000000||||||||0", -1},
        {"孙七>13800000000\t先生^^孙八\t\t女士\t\t\t\t\t\t\t>", "孙八|13800000000|女士|||||||0",
         -1},
        {"孙七>", "", 1},
        {"孙七\t138!", "", -1},
        {"孙七^>", "", -1},  // Shift+Tab from the first row reaches "取消"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        startWith(EmptyBookXml());
        select({});
        int overlayRow = -2;
        ui.onNextDialog([&](QDialog* dialog) {
            auto* form = static_cast<TForm9*>(dialog);
            QApplication::setActiveWindow(form);  // keys go where the focus is
            for (const QChar key : QString::fromUtf8(c.keys)) {
                QWidget* target = QApplication::focusWidget();
                if (key == u'\t' || key == u'^' || key == u'>' || key == u'!')
                    QTest::keyClick(target, key == u'\t'  ? Qt::Key_Tab
                                            : key == u'^' ? Qt::Key_Backtab
                                            : key == u'>' ? Qt::Key_Return
                                                          : Qt::Key_Escape);
                else {  // typed text, Chinese too (the test library's key tables are ASCII)
                    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
                    QApplication::sendEvent(target, &typed);
                }
            }
            overlayRow = form->isVisible() ? form->overlayRow() : -1;
        });
        page->NewContactButton->click();
        EXPECT_EQ(ui.messageTexts(), QStringList());
        EXPECT_EQ(overlayRow, c.overlayRow);
        if (*c.stored)
            EXPECT_NE(book().find(c.stored), std::string::npos) << book();
        else
            EXPECT_EQ(book(), EmptyBookXml());
    }
}

TEST_F(ContactsPageTest, UnreadableBookIsKeptMissingBookCreated) {
    const std::string broken = "<?xml version=\"1.0\"?>\n<通讯录 备注=\"[通讯录]\"><team";
    startWith(broken);
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("通讯录文件无法读取，请检查LinkmanBook\\Contacts.xml"));
    EXPECT_EQ(page->TreeView1->topLevelItemCount(), 0);
    page->book().addGroup({}, "x");
    EXPECT_EQ(bookBytes(), broken);

    std::filesystem::remove_all(data.file("LinkmanBook"));
    ui.clear();
    page->Treev1_Initialization();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(bookBytes(), EmptyBookXml());
    EXPECT_EQ(caption({}), QStringLiteral("[通讯录]"));
}

TEST_F(ContactsPageTest, FailedSaveLeavesFileTreeAndListConsistent) {
    startWith(SampleBook());
    select({2});
    // The book's path becomes a folder: nothing can be written over it.
    const std::string saved = bookBytes();
    std::filesystem::remove(data.file(kBook));
    std::filesystem::create_directory(data.file(kBook));
    bool closed = true;
    editor([&] { page->AddContactItem->trigger(); }, {{0, "孙七"}, {1, "139"}}, &closed);
    EXPECT_FALSE(closed);  // nothing typed is lost
    // The change reloads the book first, and a folder is no book.
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("通讯录文件无法读取，请检查LinkmanBook\\Contacts.xml"));
    EXPECT_EQ(node({2})->childCount(), 1);
    EXPECT_EQ(rows().size(), 1);
    rename({0}, QStringLiteral("张三丰"));
    EXPECT_EQ(caption({0}), QStringLiteral("张三"));

    // Once the file is back, the page carries on from what is on disk.
    std::filesystem::remove(data.file(kBook));
    data.writeFile(kBook, saved);
    select({});
    EXPECT_EQ(rows().size(), 4);

    // A declaration the library would write back unreadable: the change is refused and the
    // message says why, not that another program holds the file.
    const std::string declared =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE a [<!ATTLIST a b CDATA "
        "\"x&#60;y\">]><a 备注=\"[通讯录]\"><team 备注=\"[同事]\"/></a>";
    startWith(declared);
    rename({0}, QStringLiteral("朋友"));
    EXPECT_EQ(ui.lastMessage().text,
              QStringLiteral("通讯录保存失败：文件中的文档类型或命名空间声明无法原样写回，"
                             "修改未保存，文件保持原样"));
    EXPECT_EQ(bookBytes(), declared);
    EXPECT_EQ(caption({0}), QStringLiteral("[同事]"));
}

// "通讯录导入" fills the selected group from a file and tells the result; "通讯录导出" writes
// the selected node's contacts; what cannot be done is said, and a cancelled dialog says
// nothing.
TEST_F(ContactsPageTest, ImportAndExportContacts) {
    startWith(SampleBook());
    TempFolder files;
    files.writeFile(
        "in.vcf",
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:孙八\r\nTEL;TYPE=CELL:13500135004\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:李四\r\nTEL;TYPE=CELL:13900000001\r\nEND:VCARD\r\n");
    files.writeFile("none.csv", "a,b\r\n1,2\r\n");
    const QString in = QString::fromStdString(files.file("in.vcf"));
    select({1});
    ui.chooseFileNext(in);
    page->ImportButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("导入1个联系人，跳过1个（号码重复或无效）"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提示"));
    EXPECT_EQ(caption({1, 2}), QStringLiteral("孙八"));
    EXPECT_TRUE(node({1})->isSelected());
    EXPECT_EQ(rows().last(), QStringLiteral("1,2:孙八:13500135004"));
    EXPECT_NE(book().find("孙八|13500135004||||||||1,2"), std::string::npos);

    // A name without an extension of its own becomes a vCard file.
    ui.chooseFileNext(QString::fromStdString(files.file("out")));
    page->ExportButton->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("通讯录导出成功，共导出3个联系人"));
    EXPECT_NE(ReadWholeFile(files.file("out.vcf")).value_or("").find("FN:孙八\r\n"),
              std::string::npos);

    select({});
    newGroup(QStringLiteral("空组"));
    const struct {
        BookPath selected;
        QPushButton* button;
        QString file;
        QString message;  // empty: none
    } cases[] = {
        {{0}, page->ImportButton, in, QStringLiteral("该分组不能添加联系人")},
        {{2},
         page->ImportButton,
         QString::fromStdString(files.file("none.csv")),
         QStringLiteral("文件第一行没有可识别的列名，请用“姓名”“手机号码”等作为列名")},
        {{2}, page->ImportButton, QString(), QString()},
        {{3},
         page->ExportButton,
         QStringLiteral("/tmp/never.vcf"),
         QStringLiteral("没有可导出的联系人")},
        {{1}, page->ExportButton, QString(), QString()},
    };
    for (const auto& c : cases) {
        select(c.selected);
        ui.clear();
        if (!c.file.isEmpty())
            ui.chooseFileNext(c.file);
        c.button->click();
        EXPECT_EQ(ui.messageTexts(), c.message.isEmpty() ? QStringList() : QStringList{c.message})
            << c.message.toStdString();
    }
    EXPECT_EQ(node({2})->childCount(), 1);
}

// Pasted text may hold control characters XML cannot carry (U+000B from a word processor):
// they are dropped, the book stays readable and shows what was stored.
TEST_F(ContactsPageTest, ControlCharactersTypedAreDropped) {
    startWith(SampleBook());
    select({2});
    editor([&] { page->AddContactItem->trigger(); },
           {{0, "孙\x01七"}, {1, "139\x1b"}, {4, "北京\v朝阳"}, {7, "\f"}});
    rename({1}, QStringLiteral("客\u000B户"));
    rename({0}, QStringLiteral("张\u001F三"));
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
    ContactBook again;
    ASSERT_TRUE(again.load(data.file(kBook))) << book();
    EXPECT_EQ(GbkToUtf8(again.recordAt({2, 1})), "孙七|139|||北京朝阳|||||2,1");
    EXPECT_EQ(GbkToUtf8(again.tree().children.at(1).caption), "[客户]");
    EXPECT_EQ(GbkToUtf8(again.recordAt({0})), "张三|13800000000||||||||0");
    EXPECT_EQ(caption({2, 1}), QStringLiteral("孙七"));
    EXPECT_EQ(caption({1}), QStringLiteral("[客户]"));
    EXPECT_EQ(caption({0}), QStringLiteral("张三"));
    // A name of nothing but control characters is an empty name.
    select({2});
    bool closed = true;
    editor([&] { page->AddContactItem->trigger(); }, {{0, "\v\x01"}, {1, "139"}}, &closed);
    EXPECT_FALSE(closed);
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("姓名不能为空"));
}

// 東, 億, 質 and 115 other characters end in the byte of "|" in GBK; they are no
// "|" and are stored as typed.
TEST_F(ContactsPageTest, CharactersWhoseSecondByteIsABarAreStored) {
    startWith(SampleBook());
    select({2});
    editor([&] { page->AddContactItem->trigger(); }, {{0, "東方明"}, {1, "139"}, {5, "億質公司"}});
    rename({0}, QStringLiteral("張東"));
    EXPECT_TRUE(ui.messages.empty()) << ui.lastMessage().text.toStdString();
    ContactBook again;
    ASSERT_TRUE(again.load(data.file(kBook))) << book();
    EXPECT_EQ(GbkToUtf8(again.recordAt({2, 1})), "東方明|139||||億質公司||||2,1");
    EXPECT_EQ(GbkToUtf8(again.recordAt({0})), "張東|13800000000||||||||0");
    EXPECT_EQ(caption({2, 1}), QStringLiteral("東方明"));
}

// Another program (a second copy, a restore, a sync tool) changed the book since the tree
// was built. Every change reloads the book and acts only when the node still names an
// element with the same caption and kind; otherwise the tree is rebuilt and the user told.
TEST_F(ContactsPageTest, ChangesByAnotherProgramAreNoticed) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<通讯录 备注=\"[通讯录]\">";
    const std::string group = "<team 备注=\"[组]\">" + Contact("丙", "3", "2,0") + "</team>";
    const std::string ours =
        head + Contact("甲", "1", "0") + Contact("乙", "2", "1") + group + "</通讯录>";
    // 甲 deleted elsewhere: 乙 is now at 0 and the group at 1.
    const std::string moved = head + Contact("乙", "2", "0") + group + "</通讯录>";
    // 丁 added elsewhere at the end: every node still names its element.
    const std::string added = head + Contact("甲", "1", "0") + Contact("乙", "2", "1") + group +
                              Contact("丁", "4", "3") + "</通讯录>";
    const auto editSecondRow = [this] {
        page->ListView4->clearSelection();
        page->ListView4->topLevelItem(1)->setSelected(true);
        page->EditContactButton->click();
    };
    const struct {
        const char* what;
        std::string other;  // what the other program wrote after the tree was built
        BookPath selected;
        std::function<void()> act;
        const char* expected;  // a text the book then holds; nullptr: refused
    } cases[] = {
        {"delete", moved, {1}, [this] { page->DeleteContactItem->trigger(); }, nullptr},
        {"rename", moved, {1}, [this] { rename({1}, QStringLiteral("乙乙")); }, nullptr},
        {"edit from the tree", moved, {1}, [this] { page->EditContactItem->trigger(); }, nullptr},
        {"edit from the list", moved, {}, editSecondRow, nullptr},
        {"delete a group", moved, {2}, [this] { page->DeleteGroupItem->trigger(); }, nullptr},
        {"rename kept the other's contact",
         added,
         {0},
         [this] { rename({0}, QStringLiteral("甲甲")); },
         "甲甲|1||||||||0"},
        {"delete kept the other's contact",
         added,
         {1},
         [this] { page->DeleteContactItem->trigger(); },
         "丁|4||||||||2"},
        {"add kept the other's contact",
         added,
         {2},
         [this] {
             editor([this] { page->AddContactItem->trigger(); }, {{0, "戊"}, {1, "5"}});
         },
         "戊|5||||||||2,1"},
        {"group added kept the other's contact",
         added,
         {},
         [this] { newGroup(QStringLiteral("新组")); },
         "<team 备注=\"[新组]\"/>"},
    };
    for (const auto& c : cases) {
        startWith(ours);
        select(c.selected);
        data.writeFile(kBook, c.other);
        ui.clear();
        c.act();
        if (!c.expected) {
            EXPECT_EQ(ui.messageTexts(),
                      QStringList({QStringLiteral("通讯录已被其他程序修改，请重新选择")}))
                << c.what;
            EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒")) << c.what;
            EXPECT_EQ(book(), c.other) << c.what;
            // The tree shows the book as it now is.
            EXPECT_EQ(caption({0}), QStringLiteral("乙")) << c.what;
            EXPECT_EQ(caption({1}), QStringLiteral("[组]")) << c.what;
            EXPECT_EQ(node({})->childCount(), 2) << c.what;
            EXPECT_TRUE(ui.shownDialogs.empty()) << c.what;
        } else {
            EXPECT_NE(book().find(c.expected), std::string::npos) << c.what << "\n" << book();
            EXPECT_NE(book().find("<人员 备注=\"丁\">"), std::string::npos) << c.what << "\n"
                                                                            << book();
        }
    }

    // The book changes while the editor is open: the rewrite is refused, not misplaced.
    startWith(ours);
    select({1});
    ui.clear();
    ui.onNextDialog([&](QDialog* dialog) {
        auto* form = static_cast<TForm9*>(dialog);
        data.writeFile(kBook, moved);
        form->setValue(1, QStringLiteral("22"));
        form->Button1->click();
        EXPECT_FALSE(form->isVisible());
    });
    page->EditContactItem->trigger();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("通讯录已被其他程序修改，请重新选择"));
    EXPECT_EQ(book(), moved);
}

}  // namespace

namespace {

// The contact list's Delete key and menu: one question naming what goes, one write, and no
// parse of the book the page wrote itself. "发送短信" hands on the selected numbers.
TEST_F(ContactsPageTest, TableDeletesAndSendsTheSelectedRows) {
    const QString all[] = {
        QStringLiteral("0:张三:13800000000"), QStringLiteral("1,0:李四:13900000001"),
        QStringLiteral("1,1,0:王五:13700000002"), QStringLiteral("2,0:赵六:13600000003")};
    const struct {
        BookPath node;
        std::vector<int> rows;  // selected in the list
        bool byMenu;
        MsgAnswer answer;
        QString question;  // empty: none asked
        QStringList left;  // the book's listing afterwards
    } cases[] = {
        {{},
         {0, 2},
         false,
         MsgAnswer::Ok,
         QStringLiteral("删除选中的2个联系人？"),
         {QStringLiteral("0,0:李四:13900000001"), QStringLiteral("1,0:赵六:13600000003")}},
        {{1},
         {1},
         true,
         MsgAnswer::Ok,
         QStringLiteral("删除联系人“王五”？"),
         {all[0], all[1], QStringLiteral("2,0:赵六:13600000003")}},
        {{},
         {0, 3},
         true,
         MsgAnswer::Cancel,
         QStringLiteral("删除选中的2个联系人？"),
         {all[0], all[1], all[2], all[3]}},
        {{1, 1}, {}, false, MsgAnswer::Ok, QString(), {all[0], all[1], all[2], all[3]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question.toStdString());
        startWith(SampleBook());
        const int parses = page->book().parseCount();
        select(c.node);
        page->ListView4->clearSelection();
        for (int row : c.rows)
            page->ListView4->topLevelItem(row)->setSelected(true);
        std::vector<std::string> sent, numbers;
        for (int row : c.rows)
            numbers.push_back(page->ListView4->topLevelItem(row)->text(2).toStdString());
        QObject::connect(page, &ContactsPage::sendSmsRequested,
                         [&](const std::vector<std::string>& numbers) { sent = numbers; });
        page->SendSmsItem->trigger();
        EXPECT_EQ(sent, numbers);
        ui.clear();
        ui.answerNext(c.answer);
        if (c.byMenu) {
            ASSERT_EQ(page->prepareListMenu(), page->ListMenu);
            EXPECT_EQ(page->EditRowItem->isEnabled(), c.rows.size() == 1);
            page->DeleteRowItem->trigger();
        } else {
            QTest::keyClick(page->ListView4, Qt::Key_Delete);
        }
        EXPECT_EQ(ui.messageTexts(),
                  c.question.isEmpty() ? QStringList() : QStringList{c.question});
        select({});
        EXPECT_EQ(rows(), c.left);
        EXPECT_EQ(page->book().parseCount(), parses);
        int contacts = 0;  // the tree lost the same nodes
        for (QTreeWidgetItemIterator it(page->TreeView1); *it; ++it)
            contacts += (*it)->data(0, Qt::UserRole + 1).toBool();
        EXPECT_EQ(contacts, c.left.size());
    }
    // A right click on a row outside the selection selects it alone; inside it keeps it.
    host->show();
    const auto at = [this](int row) {
        return page->ListView4->visualItemRect(page->ListView4->topLevelItem(row)).center();
    };
    page->ListView4->topLevelItem(0)->setSelected(true);
    page->ListView4->topLevelItem(3)->setSelected(true);
    page->selectRowForMenu(at(3));
    EXPECT_EQ(page->selectedRows().size(), 2);
    page->selectRowForMenu(at(1));
    EXPECT_EQ(page->selectedRows(), QList<QTreeWidgetItem*>{page->ListView4->topLevelItem(1)});
}

// The real question box: its own event loop runs while it is open. A Delete that reaches the
// list meanwhile asks nothing more and deletes nothing twice; OK clicked deletes once.
TEST_F(ContactsPageTest, RealQuestionBoxDeletesTheRowsOnce) {
    startWith(SampleBook());
    host->show();
    select({});
    page->ListView4->topLevelItem(0)->setSelected(true);
    page->ListView4->topLevelItem(2)->setSelected(true);
    SetUi(nullptr);
    QMessageBox* first = nullptr;
    int others = 0;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (!first) {
            first = box;
            EXPECT_EQ(box->text(), QStringLiteral("删除选中的2个联系人？"));
            QMetaObject::invokeMethod(
                page, [this] { QTest::keyClick(page->ListView4, Qt::Key_Delete); },
                Qt::QueuedConnection);
            return;
        }
        // A second box is cancelled: the test fails rather than waits.
        others += box != first;
        QTest::mouseClick(box->button(box == first ? QMessageBox::Ok : QMessageBox::Cancel),
                          Qt::LeftButton);
    });
    driver.start();
    QTest::keyClick(page->ListView4, Qt::Key_Delete);
    driver.stop();
    SetUi(&ui);
    EXPECT_EQ(others, 0);
    select({});
    EXPECT_EQ(rows(), QStringList({QStringLiteral("0,0:李四:13900000001"),
                                   QStringLiteral("1,0:赵六:13600000003")}));
}

}  // namespace
