// The "号码搜索" page: the two lookups with their messages and keys, the province/city tree
// from CityInfo.dat, and the same-city listing with its carrier options and count.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>

#include "lookup/SearchPage.h"
#include "lookup/SegmentDatabase.h"
#include "platform/Gbk.h"
#include "tests/lookup/SegmentFixture.h"
#include "tests/support/KeyEvents.h"
#include "tests/support/ScriptedUi.h"
#include "tests/support/TempDataDir.h"

using namespace smsc;
using namespace smsc::test;

namespace {

class SearchPageTest : public ::testing::Test {
protected:
    SearchPageTest() : data(false) {
        WriteSegmentDatabase(data.file("sjhmd.dat"));
        data.writeFile("CityInfo.dat", G("[北京]#[北京][江苏]#[常州]#[南京]"));
        db.open(data.file("sjhmd.dat"));
    }
    QStringList results() const {
        return {page.Edit3->text(), page.Edit4->text(), page.Edit5->text(), page.Edit6->text()};
    }
    QStringList listed() const {
        QStringList items;
        for (int i = 0; i < page.ListView6->count(); ++i)
            items << page.ListView6->item(i)->text();
        return items;
    }
    void select(QTreeWidgetItem* node) {
        page.TreeView3->clearSelection();
        node->setSelected(true);
    }

    ScriptedUi ui;
    TempDataDir data;
    SegmentDatabase db;
    SearchPage page{db};
};

TEST_F(SearchPageTest, NumberAndAreaCodeLookups) {
    // Only digits, the space and backspace reach the fields; Enter runs the lookup.
    QTest::keyClicks(page.Edit1, QStringLiteral("1380a'0000"));
    EXPECT_EQ(page.Edit1->text(), QStringLiteral("13800000"));
    QTest::keyClick(page.Edit1, Qt::Key_Return);
    EXPECT_EQ(results(), QStringList({QStringLiteral("北京"), QStringLiteral("北京"),
                                      QStringLiteral("中国移动"), QStringLiteral("010")}));
    EXPECT_TRUE(ui.messages.empty());

    // A failed lookup empties the results first.
    page.Edit1->setText(QStringLiteral("13999990000"));
    page.Button1->click();
    EXPECT_EQ(results(), QStringList(4, QString()));
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("对不起，没有查到该手机号的归属地"));
    EXPECT_EQ(ui.lastMessage().caption, QStringLiteral("提醒"));
    page.Edit1->clear();
    page.Button1Click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("要查询的手机号码为空！请输入手机号码"));

    EXPECT_EQ(page.Edit2->maxLength(), 4);
    QTest::keyClicks(page.Edit2, QStringLiteral("0x519"));
    QTest::keyClick(page.Edit2, Qt::Key_Enter);
    EXPECT_EQ(results(), QStringList({QStringLiteral("江苏"), QStringLiteral("常州"), QString(),
                                      QStringLiteral("0519")}));
    page.Edit2->setText(QStringLiteral("0'"));
    page.Button2->click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("对不起，没有查到该区号的归属地"));
    page.Edit2->clear();
    page.Button2Click();
    EXPECT_EQ(ui.lastMessage().text, QStringLiteral("要查询的区号为空！请输入区号"));
    EXPECT_EQ(ui.messages.size(), 4u);
}

// Deliberately changed: a segment the data places nowhere shows "归属地未知" and its card type
// instead of blank fields.
TEST_F(SearchPageTest, ChangedPlacelessNumberShowsThePlaceIsUnknown) {
    page.Edit1->setText(QStringLiteral("19912345678"));
    page.Button1->click();
    EXPECT_EQ(results(), QStringList({QStringLiteral("归属地未知"), QString(),
                                      QStringLiteral("中国电信"), QString()}));
    EXPECT_TRUE(ui.messages.empty());
    if (const char* folder = std::getenv("SMSC_SCREENSHOT_DIR"); folder && *folder) {
        page.resize(610, 410);
        EXPECT_TRUE(page.grab().save(QString::fromLocal8Bit(folder) +
                                     QStringLiteral("/search-page-placeless.png")));
    }
}

// Deliberately changed: Delete and Control+A work in the lookup fields as X11 sends them.
TEST_F(SearchPageTest, ChangedLookupFieldsTakeDeleteAndSelectAll) {
    for (QLineEdit* field : {page.Edit1, page.Edit2}) {
        SCOPED_TRACE(field->objectName().toStdString());
        ExpectEditingKeysWork(field);
    }
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SearchPageTest, SameCityListingByCarrier) {
    EXPECT_EQ(page.CountLabel->text(), QStringLiteral("0个号码段    0个号码"));
    EXPECT_TRUE(page.RadioButton1->isChecked());
    ASSERT_TRUE(SearchPage::Treev3_Initialization(page.TreeView3));
    ASSERT_EQ(page.TreeView3->topLevelItemCount(), 2);
    QTreeWidgetItem* beijing = page.TreeView3->topLevelItem(0);
    QTreeWidgetItem* jiangsu = page.TreeView3->topLevelItem(1);
    EXPECT_EQ(jiangsu->text(0), QStringLiteral("江苏"));
    ASSERT_EQ(jiangsu->childCount(), 2);

    select(beijing->child(0));
    EXPECT_EQ(listed().size(), 7);
    EXPECT_EQ(listed().front(), QStringLiteral("1349000****"));
    EXPECT_EQ(page.CountLabel->text(), QStringLiteral("7个号码段    70000个号码"));

    page.RadioButton3->click();  // 联通号码
    EXPECT_EQ(listed(), QStringList({QStringLiteral("1300001****")}));
    EXPECT_EQ(page.CountLabel->text(), QStringLiteral("1个号码段    10000个号码"));

    // A province empties the list and keeps the count, also when the option changes.
    select(beijing);
    EXPECT_TRUE(listed().isEmpty());
    page.RadioButton4->click();
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(page.CountLabel->text(), QStringLiteral("1个号码段    10000个号码"));

    select(jiangsu->child(1));  // 南京: no rows
    EXPECT_EQ(page.CountLabel->text(), QStringLiteral("0个号码段    00000个号码"));

    // Without the connection picking a city does nothing.
    select(jiangsu->child(0));
    ASSERT_EQ(listed().size(), 0);  // 常州 has no 电信 segment
    page.RadioButton2->click();
    ASSERT_EQ(listed(), QStringList({QStringLiteral("1391234****")}));
    db.close();
    select(beijing->child(0));
    EXPECT_EQ(listed(), QStringList({QStringLiteral("1391234****")}));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SearchPageTest, TreeFromCityInfo) {
    data.writeFile("CityInfo.dat", G("[A]#a1]#a2][B]#b1][C]"));
    ASSERT_TRUE(SearchPage::Treev3_Initialization(page.TreeView3));
    ASSERT_EQ(page.TreeView3->topLevelItemCount(), 3);
    EXPECT_EQ(page.TreeView3->topLevelItem(0)->child(1)->text(0), QStringLiteral("a2"));
    EXPECT_EQ(page.TreeView3->topLevelItem(1)->child(0)->text(0), QStringLiteral("b1"));
    EXPECT_EQ(page.TreeView3->topLevelItem(2)->childCount(), 0);

    std::remove(data.file("CityInfo.dat").c_str());
    EXPECT_FALSE(SearchPage::Treev3_Initialization(page.TreeView3));
    EXPECT_EQ(page.TreeView3->topLevelItemCount(), 0);
}

}  // namespace
