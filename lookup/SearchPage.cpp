#include "lookup/SearchPage.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "lookup/CityInfo.h"
#include "lookup/SegmentDatabase.h"
#include "lookup/SegmentLookup.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/FieldFilters.h"

namespace smsc {
namespace {

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit* resultField(QWidget* parent, const QString& caption, int x, int y, const char* name) {
    auto* label = new QLabel(caption, parent);
    label->setGeometry(x, y, 70, 22);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* field = named(new QLineEdit(parent), name);
    field->setReadOnly(true);
    field->setGeometry(x + 72, y, 150, 22);
    return field;
}

}  // namespace

SearchPage::SearchPage(SegmentDatabase& db, QWidget* parent) : QWidget(parent), m_db(db) {
    setObjectName(QStringLiteral("TabSheet6"));

    GroupBox1 =
        named(new QGroupBox(QStringLiteral("手机号码或长途区号归属地查询"), this), "GroupBox1");
    GroupBox1->setGeometry(8, 4, 590, 118);
    auto* numberLabel = new QLabel(QStringLiteral("手机号码："), GroupBox1);
    numberLabel->setGeometry(10, 24, 70, 22);
    Edit1 = named(new QLineEdit(GroupBox1), "Edit1");
    Edit1->setGeometry(82, 24, 120, 22);
    Edit1->setMaxLength(11);
    Button1 = named(new QPushButton(QStringLiteral("查询"), GroupBox1), "Button1");
    Button1->setGeometry(206, 23, 50, 24);
    auto* areaLabel = new QLabel(QStringLiteral("长途区号："), GroupBox1);
    areaLabel->setGeometry(300, 24, 70, 22);
    Edit2 = named(new QLineEdit(GroupBox1), "Edit2");
    Edit2->setGeometry(372, 24, 80, 22);
    Edit2->setMaxLength(4);
    Button2 = named(new QPushButton(QStringLiteral("查询"), GroupBox1), "Button2");
    Button2->setGeometry(456, 23, 50, 24);
    for (QLineEdit* field : {Edit1, Edit2}) {
        DigitKeyFilter::installOn(field);
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    Edit3 = resultField(GroupBox1, QStringLiteral("省份："), 10, 56, "Edit3");
    Edit4 = resultField(GroupBox1, QStringLiteral("城市："), 300, 56, "Edit4");
    Edit5 = resultField(GroupBox1, QStringLiteral("卡型："), 10, 86, "Edit5");
    Edit6 = resultField(GroupBox1, QStringLiteral("长途区号："), 300, 86, "Edit6");

    GroupBox2 = named(new QGroupBox(QStringLiteral("搜索同城号码"), this), "GroupBox2");
    GroupBox2->setGeometry(8, 126, 590, 280);
    TreeView3 = named(new QTreeWidget(GroupBox2), "TreeView3");
    TreeView3->setHeaderHidden(true);
    TreeView3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView3->setGeometry(10, 20, 180, 250);
    const char* options[] = {"所有号码", "移动号码", "联通号码", "电信号码"};
    QRadioButton** buttons[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4};
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = new QRadioButton(QString::fromUtf8(options[i]), GroupBox2);
        (*buttons[i])->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        (*buttons[i])->setGeometry(200 + i * 95, 20, 90, 22);
        connect(*buttons[i], &QRadioButton::clicked, this, [this] { listSelectedCity(false); });
    }
    RadioButton1->setChecked(true);
    ListView6 = named(new QListWidget(GroupBox2), "ListView6");
    ListView6->setViewMode(QListView::ListMode);
    ListView6->setFlow(QListView::TopToBottom);
    ListView6->setWrapping(true);
    ListView6->setUniformItemSizes(true);  // a big city lists thousands of segments
    ListView6->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView6->setGeometry(200, 48, 380, 192);
    auto* totalLabel = new QLabel(QStringLiteral("总计："), GroupBox2);
    totalLabel->setGeometry(200, 246, 44, 22);
    CountLabel = named(new QLabel(QStringLiteral("0个号码段    0个号码"), GroupBox2), "CountLabel");
    CountLabel->setGeometry(246, 246, 330, 22);

    connect(Button1, &QPushButton::clicked, this, &SearchPage::Button1Click);
    connect(Edit1, &QLineEdit::returnPressed, this, &SearchPage::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &SearchPage::Button2Click);
    connect(Edit2, &QLineEdit::returnPressed, this, &SearchPage::Button2Click);
    connect(TreeView3, &QTreeWidget::itemSelectionChanged, this, [this] { listSelectedCity(); });
}

void SearchPage::clearResults() {
    for (QLineEdit* field : {Edit3, Edit4, Edit5, Edit6})
        field->clear();
}

void SearchPage::showResult(const LookupAnswer& answer) {
    if (!answer.found()) {
        ShowMessage(this, QStringFromGbk(answer.message), QStringLiteral("提醒"));
        return;
    }
    QLineEdit* fields[] = {Edit3, Edit4, Edit5, Edit6};
    for (size_t i = 0; i < answer.fields.size(); ++i)
        fields[i]->setText(QStringFromGbk(answer.fields[i]));
}

void SearchPage::Button1Click() {
    clearResults();
    showResult(LookupNumber(m_db, GbkFromQString(Edit1->text())));
}

void SearchPage::Button2Click() {
    clearResults();
    showResult(LookupAreaCode(m_db, GbkFromQString(Edit2->text())));
}

void SearchPage::listSelectedCity(bool reportFailure) {
    const QList<QTreeWidgetItem*> selected = TreeView3->selectedItems();
    if (selected.isEmpty())
        return;
    const QTreeWidgetItem* node = selected.front();
    if (!node->parent()) {  // a province
        ListView6->clear();
        return;
    }
    if (!m_db.isOpen())
        return;
    ListView6->clear();
    CarrierFilter filter = CarrierFilter::All;
    if (RadioButton2->isChecked())
        filter = CarrierFilter::Mobile;
    else if (RadioButton3->isChecked())
        filter = CarrierFilter::Unicom;
    else if (RadioButton4->isChecked())
        filter = CarrierFilter::Telecom;
    const auto entries = CitySegmentEntries(m_db, GbkFromQString(node->text(0)), filter);
    if (!entries) {
        if (reportFailure)
            ShowMessage(this, QStringLiteral("号码库连接失败！不能查询"), QStringLiteral("提示"));
        return;
    }
    QStringList items;
    items.reserve(static_cast<qsizetype>(entries->size()));
    for (const std::string& entry : *entries)
        items.append(QString::fromLatin1(entry));  // digits and "*"
    ListView6->addItems(items);
    CountLabel->setText(QStringFromGbk(SegmentCountText(static_cast<size_t>(ListView6->count()))));
}

bool SearchPage::Treev3_Initialization(QTreeWidget* tree) {
    tree->clear();
    const auto provinces = ReadCityInfo(DataPath("CityInfo.dat"));
    if (!provinces)
        return false;
    for (const CityInfoProvince& province : *provinces) {
        auto* node = new QTreeWidgetItem(QStringList(QStringFromGbk(province.name)));
        for (const std::string& city : province.cities)
            node->addChild(new QTreeWidgetItem(QStringList(QStringFromGbk(city))));
        tree->addTopLevelItem(node);
    }
    return true;
}

}  // namespace smsc
