#include "recipients/RecipientCoordinator.h"

#include <QAction>
#include <QCursor>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/ImportTally.h"
#include "recipients/RecipientPanel.h"
#include "recipients/TForm4.h"
#include "recipients/TForm6.h"
#include "recipients/UnrecognisedLinesDialog.h"

namespace smsc {
namespace {

const QString kOverCap = QStringLiteral("本系统每次最多只能发送三万个号码，您导入的号码过多");

QString addItemCaption(RecipientCoordinator::AddItem item) {
    using Item = RecipientCoordinator::AddItem;
    switch (item) {
        case Item::TypeNumbers:
            return QStringLiteral("手工输入号码");
        case Item::TextFileImport:
            return QStringLiteral("从文本文件导入");
        case Item::AddressBook:
            return QStringLiteral("从通讯录导入");
        case Item::ExcelExtract:
            return QStringLiteral("从EXCEL文件提取");
        case Item::TextFileExtract:
            return QStringLiteral("从文本文件提取");
        case Item::ClipboardExtract:
            return QStringLiteral("从剪切板提取");
        case Item::NumberRange:
            return QStringLiteral("按号段添加");
    }
    return {};
}

}  // namespace

RecipientCoordinator::RecipientCoordinator(QWidget* mainWindow)
    : QObject(mainWindow), m_mainWindow(mainWindow) {
    setObjectName(QStringLiteral("RecipientCoordinator"));
    Timer1 = new QTimer(mainWindow);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &RecipientCoordinator::Timer1Timer);

    AddMenu = new QMenu(mainWindow);
    AddMenu->setObjectName(QStringLiteral("AddMenu"));
    for (int i = 0; i < kAddItemCount; ++i) {
        const auto item = static_cast<AddItem>(i);
        m_actions[static_cast<size_t>(i)] = AddMenu->addAction(addItemCaption(item));
        connect(m_actions[static_cast<size_t>(i)], &QAction::triggered, this,
                [this, item] { runAddItem(item); });
    }
    ListMenu = new QMenu(mainWindow);
    ListMenu->setObjectName(QStringLiteral("ListMenu"));
    connect(ListMenu->addAction(QStringLiteral("删除")), &QAction::triggered, this,
            &RecipientCoordinator::deleteFromListMenu);

    m_form4 = new TForm4(mainWindow);
    m_form6 = new TForm6(mainWindow);
    m_hooks[static_cast<size_t>(AddItem::TypeNumbers)] = [this](RecipientPanel* panel) {
        openTypeNumbers(panel);
    };
    m_hooks[static_cast<size_t>(AddItem::NumberRange)] = [this](RecipientPanel* panel) {
        openNumberRange(panel);
    };
}

RecipientCoordinator::~RecipientCoordinator() = default;

void RecipientCoordinator::setPanels(RecipientPanel* sms, RecipientPanel* mms) {
    m_sms = sms;
    m_mms = mms;
    for (RecipientPanel* panel : {sms, mms}) {
        if (!panel)
            continue;
        panel->setMainWindow(m_mainWindow);
        connect(panel, &RecipientPanel::addMenuRequested, this, &RecipientCoordinator::showAddMenu);
        connect(panel, &RecipientPanel::listMenuRequested, this,
                [this](const QPoint& pos) { ListMenu->popup(pos); });
    }
}

void RecipientCoordinator::setActivePanelSource(std::function<RecipientPanel*()> source) {
    m_activePanel = std::move(source);
}

RecipientPanel* RecipientCoordinator::ActivePanel() const {
    return m_activePanel ? m_activePanel() : nullptr;
}

void RecipientCoordinator::setAddHook(AddItem item, std::function<void(RecipientPanel*)> hook) {
    m_hooks[static_cast<size_t>(item)] = std::move(hook);
}

void RecipientCoordinator::runAddItem(AddItem item) {
    RecipientPanel* panel = ActivePanel();
    if (!panel || !panel->CheckVerificationNumber())
        return;
    // Every item interleaves the copies at the page's interval, so one that is no whole
    // number above 0 stops the item before any chooser or dialog opens.
    VerificationCopy copy;
    const VerificationState verification = panel->readVerification(&copy);
    if (verification == VerificationState::BadInterval ||
        (verification == VerificationState::On && copy.interval < 1)) {
        ShowMessage(panel->page(), QStringLiteral("验证号码间隔错误，请选择正确的间隔！"),
                    QStringLiteral("提醒"));
        return;
    }
    if (const auto& hook = m_hooks[static_cast<size_t>(item)])
        hook(panel);
}

void RecipientCoordinator::showAddMenu() {
    AddMenu->popup(QCursor::pos());
}

void RecipientCoordinator::deleteFromListMenu() {
    if (m_sms && m_sms->List->hasFocus())
        m_sms->DeleteSelectedFromContextMenu();
    else if (m_mms && m_mms->List->hasFocus())
        m_mms->DeleteSelectedFromContextMenu();
}

void RecipientCoordinator::BeginImport(RecipientPanel* panel) {
    panel->Progress->setMaximum(100);
    panel->Progress->setValue(0);
    panel->Progress->setVisible(true);
    startActivityTimer();
    m_mainWindow->setEnabled(false);
}

void RecipientCoordinator::FinishImport(RecipientPanel* panel) {
    panel->ShowRecipientCount(true);
    panel->UpdateSendButton();
    panel->SetRecipientStatus(QStringLiteral("导入号码完毕"));
    panel->Progress->setVisible(false);
    m_mainWindow->setEnabled(true);
}

void RecipientCoordinator::FinishImport(RecipientPanel* panel, const ImportTally& tally) {
    FinishImport(panel);
    panel->SetRecipientStatus(QStringLiteral("导入号码完毕，") +
                              QStringFromGbk(ImportSummary(tally)));
    ReportImportLeftOut(panel->page(), tally);
}

bool RecipientCoordinator::OfferFirstUnderCap(RecipientPanel* panel, bool clipboard,
                                              long long found, long long fit) {
    m_mainWindow->setEnabled(true);
    panel->Progress->setVisible(false);
    stopActivityTimer();
    const QString text = (clipboard ? QStringLiteral("剪切板中有%1个号码，超过每次3万个的上限。")
                                    : QStringLiteral("文件中有%1个号码，超过每次3万个的上限。"))
                             .arg(found) +
                         QStringLiteral(
                             "\r要全部发送，请用群发任务（smsclient-cli campaign start）。"
                             "\r是否只添加前%1个号码？")
                             .arg(fit);
    return ShowMessage(panel->page(), text, QStringLiteral("提醒"), MsgIcon::Question,
                       MsgButtons::OkCancel) == MsgAnswer::Ok;
}

void RecipientCoordinator::RefuseOverCap(RecipientPanel* panel) {
    m_mainWindow->setEnabled(true);
    panel->SetRecipientStatus(kOverCap);
    panel->ShowRecipientCount(false);
    panel->Progress->setVisible(false);
    stopActivityTimer();
    panel->UpdateSendButton();
    ShowMessage(panel->page(), kOverCap, QStringLiteral("提醒"));
}

void RecipientCoordinator::startActivityTimer() {
    Timer1->start();
}

void RecipientCoordinator::stopActivityTimer() {
    Timer1->stop();
}

void RecipientCoordinator::Timer1Timer() {
    RecipientPanel* panel = ActivePanel();
    if (!panel)
        return;
    QProgressBar* bar = panel->Progress;
    bar->setValue(bar->value() >= bar->maximum() ? 0 : bar->value() + 1);
}

void RecipientCoordinator::openTypeNumbers(RecipientPanel* panel) {
    m_form4->showFor(panel);
}

void RecipientCoordinator::openNumberRange(RecipientPanel* panel) {
    m_form6->showFor(panel, {m_sms, m_mms});
}

}  // namespace smsc
