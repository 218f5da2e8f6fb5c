#include "phrases/TForm7.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/DialogPlacement.h"
#include "phrases/PhraseList.h"
#include "phrases/PhraseStore.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "platform/Gbk.h"

namespace smsc {
namespace {

void FillCategoryNames(QComboBox* box) {
    // The text names the listed category, also when it is none of the names.
    const QString text = box->currentText();
    box->clear();
    for (const std::string& name : EnumerateCategories(PhraseFolder()))
        box->addItem(QStringFromGbk(name));
    box->setEditText(text);
}

}  // namespace

void DropDownComboBox::showPopup() {
    if (m_dropDown)
        m_dropDown();
    QComboBox::showPopup();
}

TForm7::TForm7(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("从短信库中插入短语"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(420, 330);

    Label1 = new QLabel(QStringLiteral("选择短语类型："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 12, 100, 24);
    ComboBox1 = new DropDownComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(112, 12, 200, 24);
    // A drop-down with a text of its own that the user does not type into.
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->lineEdit()->setReadOnly(true);
    ListView1 = new PhraseListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(12, 44, 396, 232);
    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(122, 288, 80, 28);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(220, 288, 80, 28);

    ComboBox1->setDropDownHandler([this] { ComboBox1DropDown(); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Select(); });
    connect(ListView1, &PhraseListView::listDoubleClicked, this, &TForm7::ListView1DblClick);
    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm7::Button2Click);

    FillCategoryNames(ComboBox1);
    ComboBox1->setEditText(QStringFromGbk(G(kDefaultPhraseCategoryUtf8)));
    listCategory(ComboBox1->currentText());
    CentreOnScreen(this);
}

TForm7::~TForm7() = default;

int TForm7::openDialog() {
    return Ui().execDialog(this);
}

void TForm7::ComboBox1DropDown() {
    FillCategoryNames(ComboBox1);
}

void TForm7::ComboBox1Select() {
    listCategory(ComboBox1->currentText());
}

// A missing or unreadable category file lists nothing.
void TForm7::listCategory(const QString& name) {
    ListView1->clearPhrases();
    const CategoryRead read = ReadCategory(CategoryPath(PhraseFolder(), GbkFromQString(name)));
    ListView1->showPhrases(read.phrases);
}

bool TForm7::insertSelected() {
    const int row = ListView1->firstSelectedRow();
    if (row < 0)
        return false;
    QString phrase = ListView1->phraseAt(row);
    phrase.remove(QLatin1Char('\r'));
    phrase.remove(QLatin1Char('\n'));
    if (m_insert)
        m_insert(phrase);
    accept();
    return true;
}

void TForm7::Button1Click() {
    if (!insertSelected())
        ShowMessage(this, QStringLiteral("请选择要导入的常用短语条目"), QStringLiteral("提示"));
}

void TForm7::Button2Click() {
    reject();
}

void TForm7::ListView1DblClick() {
    insertSelected();
}

}  // namespace smsc
