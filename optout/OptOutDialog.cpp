#include "optout/OptOutDialog.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/AtomicFile.h"
#include "platform/FileDialogs.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/NumberReader.h"
#include "recipients/PhoneRules.h"
#include "records/RecordAnswers.h"

namespace smsc {
namespace {

// The import and export of the list share one remembered folder.
constexpr const char* kOptOutFolderKind = "OptOut_File";

QString Latin(std::string_view ascii) {
    return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size()));
}

void Remind(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提醒"));
}

void Tell(QWidget* parent, const QString& text) {
    ShowMessage(parent, text, QStringLiteral("提示"));
}

}  // namespace

// The entries of the list, or those whose number holds the searched digits; texts are made
// only for the rows on screen, so 100000 entries show at once.
class OptOutDialog::Model final : public QAbstractTableModel {
public:
    explicit Model(QObject* parent) : QAbstractTableModel(parent) {}

    void reset(std::vector<OptOutList::Entry> entries, const QString& search) {
        beginResetModel();
        m_entries = std::move(entries);
        m_rows.clear();
        const std::string digits = search.trimmed().toStdString();
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (digits.empty() || m_entries[i].number.find(digits) != std::string_view::npos)
                m_rows.push_back(i);
        endResetModel();
    }
    const OptOutList::Entry& entry(int row) const {
        return m_entries[m_rows[static_cast<size_t>(row)]];
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const OptOutList::Entry& e = entry(index.row());
        switch (index.column()) {
            case 0:
                return Latin(e.number);
            case 1:
                return QStringFromGbk(e.date);
            default:
                return QStringFromGbk(e.source);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        const QString captions[] = {QStringLiteral("号码"), QStringLiteral("加入日期"),
                                    QStringLiteral("来源")};
        return section >= 0 && section < 3 ? captions[section] : QVariant();
    }

private:
    std::vector<OptOutList::Entry> m_entries;
    std::vector<size_t> m_rows;
};

OptOutDialog::OptOutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptOutDialog"));
    setWindowTitle(QStringLiteral("退订名单"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(480, 440);

    const auto button = [this](const QString& caption, const QString& name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    SearchEdit = new QLineEdit(this);
    SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
    SearchEdit->setMaxLength(12);
    SearchEdit->setClearButtonEnabled(true);
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));

    m_model = new Model(this);
    ListView = new QTreeView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setModel(m_model);
    ListView->setRootIsDecorated(false);
    ListView->setUniformRowHeights(true);
    ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setColumnWidth(0, 150);
    ListView->setColumnWidth(1, 120);

    ErrorLabel = new QLabel(this);
    ErrorLabel->setObjectName(QStringLiteral("ErrorLabel"));
    ErrorLabel->setStyleSheet(QStringLiteral("color: red;"));
    ErrorLabel->setWordWrap(true);
    ErrorLabel->hide();

    NumberEdit = new QLineEdit(this);
    NumberEdit->setObjectName(QStringLiteral("NumberEdit"));
    NumberEdit->setMaxLength(12);
    NumberEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9 ]{0,12}")), NumberEdit));
    AddButton = button(QStringLiteral("添加"), QStringLiteral("AddButton"));
    DeleteButton = button(QStringLiteral("删除"), QStringLiteral("DeleteButton"));
    ImportButton = button(QStringLiteral("导入"), QStringLiteral("ImportButton"));
    ExportButton = button(QStringLiteral("导出"), QStringLiteral("ExportButton"));
    CloseButton = button(QStringLiteral("关闭"), QStringLiteral("CloseButton"));

    auto* layout = new QVBoxLayout(this);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("查找号码："), this));
    searchRow->addWidget(SearchEdit, 1);
    searchRow->addWidget(CountLabel);
    layout->addLayout(searchRow);
    layout->addWidget(ListView, 1);
    layout->addWidget(ErrorLabel);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(new QLabel(QStringLiteral("号码："), this));
    addRow->addWidget(NumberEdit, 1);
    addRow->addWidget(AddButton);
    addRow->addWidget(DeleteButton);
    layout->addLayout(addRow);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(
        new QLabel(QStringLiteral("回复退订短信的号码，发送短信和彩信时不再发送。"), this), 1);
    fileRow->addWidget(ImportButton);
    fileRow->addWidget(ExportButton);
    fileRow->addWidget(CloseButton);
    layout->addLayout(fileRow);

    connect(SearchEdit, &QLineEdit::textChanged, this, &OptOutDialog::applySearch);
    connect(NumberEdit, &QLineEdit::returnPressed, this, &OptOutDialog::AddClick);
    connect(AddButton, &QPushButton::clicked, this, &OptOutDialog::AddClick);
    connect(DeleteButton, &QPushButton::clicked, this, &OptOutDialog::DeleteClick);
    connect(ImportButton, &QPushButton::clicked, this, &OptOutDialog::ImportClick);
    connect(ExportButton, &QPushButton::clicked, this, &OptOutDialog::ExportClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

OptOutDialog::~OptOutDialog() {
    // The model reads the list, a member that goes before the dialog's base hides the view
    // (which asks the model again).
    ListView->setModel(nullptr);
}

void OptOutDialog::openDialog() {
    reload();
    NumberEdit->setFocus();
    Ui().execDialog(this);
}

void OptOutDialog::reload() {
    m_model->reset({}, QString());  // the rows look into the list about to be replaced
    m_list = OptOutList::Load(OptOutPath());
    applySearch();
    showState();
}

void OptOutDialog::applySearch() {
    m_model->reset(m_list.entries(), SearchEdit->text());
    QString total = QStringLiteral("共有%1个退订号码").arg(m_list.size());
    if (m_list.unreadableLines() > 0)
        total +=
            QStringLiteral("，") + QStringFromGbk(OptOutUnreadableText(m_list.unreadableLines()));
    CountLabel->setText(SearchEdit->text().trimmed().isEmpty()
                            ? total
                            : total + QStringLiteral("，找到%1个").arg(m_model->rowCount()));
}

void OptOutDialog::showState() {
    const bool ok = m_list.ok();
    ErrorLabel->setText(ok ? QString() : QStringFromGbk(m_list.errorMessage()));
    ErrorLabel->setVisible(!ok);
    for (QPushButton* b : {AddButton, DeleteButton, ImportButton, ExportButton})
        b->setEnabled(ok);
}

int OptOutDialog::rowCount() const {
    return m_model->rowCount();
}

QString OptOutDialog::rowNumber(int row) const {
    return Latin(m_model->entry(row).number);
}

void OptOutDialog::AddClick() {
    const std::string typed = GbkFromQString(NumberEdit->text().trimmed());
    if (typed.empty()) {
        Remind(this, QStringLiteral("请输入要加入退订名单的号码！"));
        return;
    }
    // 1 to 12 digits, or a mobile number written with +86, blanks or dashes.
    const std::optional<std::string> read = ReadTypedNumber(typed);
    if (!read) {
        Remind(this, QStringLiteral("号码错误，请输入正确的号码！"));
        return;
    }
    const std::string& number = *read;
    const OptOutChange change = AddToOptOutFile(OptOutPath(), {number}, OptOutSource::Manual);
    reload();
    if (change.failed()) {
        Remind(this, QStringFromGbk(change.error));
        return;
    }
    if (change.changed == 0) {
        Tell(this, QStringLiteral("该号码已在退订名单中"));
        return;
    }
    NumberEdit->clear();
    SearchEdit->clear();
    ListView->scrollToBottom();
}

void OptOutDialog::DeleteClick() {
    std::vector<std::string> numbers;
    for (const QModelIndex& index : ListView->selectionModel()->selectedRows())
        numbers.emplace_back(m_model->entry(index.row()).number);
    if (numbers.empty()) {
        Remind(this, QStringLiteral("请选择要删除的号码"));
        return;
    }
    if (!Confirm(this, QStringLiteral("确定将选中的%1个号码移出退订名单么？").arg(numbers.size()),
                 QStringLiteral("提醒")))
        return;
    const OptOutChange change = RemoveFromOptOutFile(OptOutPath(), numbers);
    reload();
    if (change.failed())
        Remind(this, QStringFromGbk(change.error));
}

void OptOutDialog::ImportClick() {
    const QString chosen = ChooseFileToOpen(this, kOptOutFolderKind, QStringLiteral("导入退订号码"),
                                            QStringLiteral("文本文件(*.txt);;所有文件(*)"));
    if (chosen.isEmpty())
        return;
    const OptOutImport import =
        ImportIntoOptOutFile(OptOutPath(), QFile::encodeName(chosen).toStdString());
    reload();
    if (!import.error.empty()) {
        Remind(this, QStringFromGbk(import.error));
        return;
    }
    if (import.found == 0) {
        Remind(this, QStringLiteral("文件中没有找到手机号码"));
        return;
    }
    QString text = QStringLiteral("新增%1个退订号码").arg(import.change.changed);
    if (import.change.unchanged > 0)
        text += QStringLiteral("，%1个号码已在退订名单中").arg(import.change.unchanged);
    Tell(this, text);
}

void OptOutDialog::ExportClick() {
    reload();
    if (m_list.size() == 0) {
        Remind(this, QStringLiteral("退订名单为空，没有可导出的号码"));
        return;
    }
    const QString chosen = ChooseFileToSave(
        this, kOptOutFolderKind, QStringLiteral("导出退订号码"), QStringLiteral("文本文件(*.txt)"),
        QStringLiteral("退订名单_%1")
            .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
    if (chosen.isEmpty())
        return;
    const std::string path = ExportFileName(QFile::encodeName(chosen).toStdString());
    if (!WriteFileAtomically(path, OptOutExportBytes(m_list)))
        Remind(this, QStringLiteral("导出失败，请检查文件是否被其他程序使用"));
}

}  // namespace smsc
