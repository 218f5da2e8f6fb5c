#include "recipients/RecipientPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/AppTitle.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/Duplicates.h"
#include "recipients/FieldFilters.h"
#include "recipients/PhoneRules.h"
#include "recipients/RecipientListModel.h"

namespace smsc {
namespace {

constexpr int kColumns = 5;

// Entries flow top to bottom in columns of a fifth of the visible width, like a list box
// with five columns.
class ColumnListView final : public QListView {
public:
    explicit ColumnListView(QWidget* parent) : QListView(parent) {
        setFlow(QListView::TopToBottom);
        setWrapping(true);
        setResizeMode(QListView::Adjust);
        setUniformItemSizes(true);
        setSelectionMode(QAbstractItemView::ExtendedSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setContextMenuPolicy(Qt::CustomContextMenu);
        updateGrid();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        updateGrid();
        QListView::resizeEvent(event);
    }

private:
    void updateGrid() {
        const int width = std::max(1, viewport()->width() / kColumns);
        setGridSize(QSize(width, fontMetrics().height() + 2));
    }
};

template <typename T>
T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

}  // namespace

QString PlainMessageCaption() {
    return ApplicationTitle();
}

RecipientPanel::RecipientPanel(PanelKind kind, QWidget* page)
    : QObject(page), m_kind(kind), m_page(page), m_model(new RecipientListModel(this)) {
    const bool sms = kind == PanelKind::Sms;
    setObjectName(sms ? QStringLiteral("SmsRecipients") : QStringLiteral("MmsRecipients"));

    List = named(new ColumnListView(page),
                 sms ? QStringLiteral("ListBox1") : QStringLiteral("ListBox2"));
    List->setModel(m_model);
    Status = named(new QLabel(page), sms ? QStringLiteral("Label30") : QStringLiteral("Label32"));
    Counter = named(new QLabel(QStringLiteral("当前发送0个对象；"), page),
                    sms ? QStringLiteral("Label8") : QStringLiteral("Label27"));
    Progress = named(new QProgressBar(page),
                     sms ? QStringLiteral("ProgressBar1") : QStringLiteral("ProgressBar2"));
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    Progress->setVisible(false);
    SendButton =
        named(new QPushButton(sms ? QStringLiteral("发送短信") : QStringLiteral("发送彩信"), page),
              sms ? QStringLiteral("Button15") : QStringLiteral("Button35"));
    SendButton->setEnabled(false);

    VerifyBox = named(new QCheckBox(QStringLiteral("插入验证号码"), page),
                      sms ? QStringLiteral("VerifyBox1") : QStringLiteral("VerifyBox2"));
    VerifyEdit =
        named(new QLineEdit(page), sms ? QStringLiteral("Edit1") : QStringLiteral("Edit8"));
    VerifyEdit->setMaxLength(12);
    // Room for all twelve digits however crowded the button row gets.
    VerifyEdit->setMinimumWidth(
        VerifyEdit->fontMetrics().horizontalAdvance(QStringLiteral("0").repeated(12)) + 16);
    VerifyEdit->setEnabled(false);
    DigitKeyFilter::installOn(VerifyEdit);
    m_leaveWatcher = OnFieldLeft(VerifyEdit, [this] { verifyFieldLeft(); });
    IntervalLabel =
        named(new QLabel(QStringLiteral("验证号码间隔："), page),
              sms ? QStringLiteral("IntervalLabel1") : QStringLiteral("IntervalLabel2"));
    IntervalBox =
        named(new QComboBox(page), sms ? QStringLiteral("ComboBox2") : QStringLiteral("ComboBox3"));
    IntervalBox->setEditable(true);
    IntervalBox->setInsertPolicy(QComboBox::NoInsert);
    IntervalBox->addItems(intervalChoices());
    IntervalBox->setCurrentIndex(0);
    IntervalBox->setEditText(QStringLiteral("100"));
    IntervalBox->setEnabled(false);
    connect(VerifyBox, &QCheckBox::toggled, this, &RecipientPanel::verifyBoxToggled);

    const QString suffix = sms ? QStringLiteral("1") : QStringLiteral("2");
    AddButton = named(new QPushButton(QStringLiteral("添加接收者"), page),
                      QStringLiteral("AddButton") + suffix);
    DeleteButton = named(new QPushButton(QStringLiteral("删除"), page),
                         QStringLiteral("DeleteButton") + suffix);
    ClearButton = named(new QPushButton(QStringLiteral("全部清空"), page),
                        QStringLiteral("ClearButton") + suffix);
    DedupButton = named(new QPushButton(QStringLiteral("去除重复"), page),
                        QStringLiteral("DedupButton") + suffix);
    PlanLabel = named(new QLabel(page), QStringLiteral("PlanLabel") + suffix);
    PlanQuotaLabel = named(new QLabel(page), QStringLiteral("PlanQuotaLabel") + suffix);
    connect(AddButton, &QPushButton::clicked, this, &RecipientPanel::addMenuRequested);
    connect(DedupButton, &QPushButton::clicked, this, &RecipientPanel::RemoveDuplicates);
    connect(DeleteButton, &QPushButton::clicked, this, &RecipientPanel::DeleteSelectedRecipients);
    connect(ClearButton, &QPushButton::clicked, this, &RecipientPanel::ClearRecipients);
    connect(List, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        emit listMenuRequested(List->viewport()->mapToGlobal(pos));
    });
    List->installEventFilter(this);
}

bool RecipientPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            // A held key repeats; one press asks once.
            if (!key->isAutoRepeat())
                DeleteSelectedRecipients();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// The panel goes before the page's controls; a focused number field losing its focus as it
// is destroyed must not reach the panel.
RecipientPanel::~RecipientPanel() {
    delete m_leaveWatcher;
}

QWidget* RecipientPanel::mainWindow() const {
    return m_mainWindow ? m_mainWindow : m_page->window();
}

QVBoxLayout* RecipientPanel::createListLayout() {
    auto* layout = new QVBoxLayout;
    layout->addWidget(Progress);
    layout->addWidget(List, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(Status, 1);
    statusRow->addWidget(Counter);
    layout->addLayout(statusRow);
    auto* planRow = new QHBoxLayout;
    planRow->addStretch(1);
    planRow->addWidget(PlanLabel);
    planRow->addWidget(PlanQuotaLabel);
    layout->addLayout(planRow);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(AddButton);
    buttonRow->addWidget(DeleteButton);
    buttonRow->addWidget(ClearButton);
    buttonRow->addWidget(DedupButton);
    buttonRow->addStretch(1);
    // Beside "去除重复" the verification controls would no longer fit: a row of their own.
    auto* verificationRow = new QHBoxLayout;
    verificationRow->addWidget(VerifyBox);
    verificationRow->addWidget(VerifyEdit);
    verificationRow->addWidget(IntervalLabel);
    verificationRow->addWidget(IntervalBox);
    verificationRow->addStretch(1);
    layout->addLayout(buttonRow);
    layout->addLayout(verificationRow);
    return layout;
}

const std::vector<std::string>& RecipientPanel::entries() const {
    return m_model->entries();
}

void RecipientPanel::AddRecipient(const std::string& entry) {
    m_model->append(entry);
}

void RecipientPanel::AddRecipients(std::vector<std::string> entries) {
    m_model->append(std::move(entries));
}

int RecipientPanel::RecipientCount() const {
    return m_model->count();
}

void RecipientPanel::ShowRecipientCount(bool duplicateNote) {
    QString text = QStringLiteral("当前发送%1个对象").arg(RecipientCount());
    if (duplicateNote)
        text += QStringLiteral(",已经过滤重复号码");
    Counter->setText(text);
}

void RecipientPanel::UpdateSendButton() {
    SendButton->setEnabled(RecipientCount() > 0);
}

void RecipientPanel::SetRecipientStatus(const QString& text) {
    Status->setText(text);
}

bool RecipientPanel::CheckVerificationNumber() {
    if (!verificationOn())
        return true;
    const std::string number = verificationNumber();
    if (number.empty()) {
        ShowMessage(m_page, QStringLiteral("请输入验证号码！"), QStringLiteral("提醒"));
        return false;
    }
    if (!IsDigits1To12(number)) {
        ShowMessage(m_page, QStringLiteral("验证号码错误，请输入正确的号码！"),
                    QStringLiteral("提醒"));
        return false;
    }
    return true;
}

void RecipientPanel::StepProgress(long long steps) {
    const long long value = std::min<long long>(Progress->value() + steps, Progress->maximum());
    Progress->setValue(static_cast<int>(std::max<long long>(value, Progress->minimum())));
}

void RecipientPanel::ClearRecipients() {
    if (!Confirm(m_page, QStringLiteral("确定要全部清空么？"), QStringLiteral("提醒")))
        return;
    SetRecipientStatus(m_kind == PanelKind::Sms ? QStringLiteral("正在清空号码，请稍候.....")
                                                : QStringLiteral("正在清空数据，请稍候....."));
    QWidget* window = mainWindow();
    window->setEnabled(false);
    m_model->clear();
    window->setEnabled(true);
    ShowRecipientCount(false);
    UpdateSendButton();
    SetRecipientStatus(QStringLiteral("号码清空完毕"));
}

bool RecipientPanel::hasSelection() const {
    const QItemSelectionModel* selection = List->selectionModel();
    return selection && selection->hasSelection();
}

void RecipientPanel::deleteSelection() {
    std::vector<bool> flags(static_cast<size_t>(RecipientCount()), false);
    for (const QItemSelectionRange& range : List->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (row >= 0 && static_cast<size_t>(row) < flags.size())
                flags[static_cast<size_t>(row)] = true;
        }
    }
    m_model->removeFlagged(flags);
    ShowRecipientCount(false);
    // An emptied list has nothing to send.
    UpdateSendButton();
}

void RecipientPanel::DeleteSelectedRecipients() {
    if (RecipientCount() == 0)
        return;
    if (!hasSelection()) {
        ShowMessage(m_page, QStringLiteral("请选择要删除的号码"), QStringLiteral("提示"));
        return;
    }
    if (!Confirm(m_page, QStringLiteral("确定要删除号码么？"), QStringLiteral("提醒")))
        return;
    deleteSelection();
}

void RecipientPanel::DeleteSelectedFromContextMenu() {
    if (!Confirm(m_page, QStringLiteral("确定要删除的号码么？"), QStringLiteral("提醒")))
        return;
    if (RecipientCount() == 0 || !hasSelection())
        return;
    deleteSelection();
}

void RecipientPanel::RemoveDuplicates() {
    const std::string number = verificationNumber();
    const std::vector<bool> flags =
        FlagLaterDuplicates(entries(), verificationOn() ? &number : nullptr);
    const int removed = m_model->removeFlagged(flags);
    ShowRecipientCount(false);
    UpdateSendButton();
    SetRecipientStatus(removed > 0 ? QStringLiteral("已去除重复号码%1个").arg(removed)
                                   : QStringLiteral("没有重复号码"));
}

bool RecipientPanel::verificationOn() const {
    return VerifyBox->isChecked();
}

std::string RecipientPanel::verificationNumber() const {
    return TrimBlanks(GbkFromQString(VerifyEdit->text()));
}

QString RecipientPanel::intervalText() const {
    return IntervalBox->currentText();
}

VerificationState RecipientPanel::readVerification(VerificationCopy* copy) const {
    if (!verificationOn())
        return VerificationState::Off;
    const std::optional<long long> interval = ParseWholeNumber(GbkFromQString(intervalText()));
    if (!interval)
        return VerificationState::BadInterval;
    if (copy) {
        copy->number = verificationNumber();
        copy->interval = *interval;
    }
    return VerificationState::On;
}

QStringList RecipientPanel::intervalChoices() {
    QStringList items;
    for (int i = 1; i <= 10; ++i)
        items << QString::number(i * 100);
    for (int i = 2; i <= 10; ++i)
        items << QString::number(i * 1000);
    return items;
}

void RecipientPanel::verifyBoxToggled(bool on) {
    VerifyEdit->setEnabled(on);
    IntervalBox->setEnabled(on);
    if (!on)
        return;
    VerifyEdit->setFocus();
    if (RecipientCount() > 0) {
        ShowMessage(m_page,
                    QStringLiteral("请在导入号码前，输入验证号码，否则验证号码将不起作用！"),
                    QStringLiteral("提醒"));
    }
}

void RecipientPanel::verifyFieldLeft() {
    const std::string number = verificationNumber();
    if (number.empty()) {
        ShowMessage(m_page, QStringLiteral("请输入验证号码！"), QStringLiteral("提醒"));
    } else if (!IsDigits1To12(number)) {
        ShowMessage(m_page, QStringLiteral("验证号码错误，请输入正确的号码！"),
                    QStringLiteral("提醒"));
    }
}

}  // namespace smsc
