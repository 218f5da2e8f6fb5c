#include "app/TForm2.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "app/AppCommon.h"
#include "app/AppSettings.h"
#include "app/Labels.h"
#include "app/Skins.h"
#include "app/StatusImages.h"
#include "app/TForm1.h"
#include "app/TForm16.h"
#include "app/TForm17.h"
#include "app/TForm3.h"
#include "addressbook/ContactsPage.h"
#include "addressbook/TForm10.h"
#include "phrases/PhrasesPage.h"
#include "phrases/TForm11.h"
#include "phrases/TForm12.h"
#include "phrases/TForm7.h"
#include "lookup/SearchPage.h"
#include "platform/DataDir.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "recipients/ImportRun.h"
#include "recipients/RecipientCoordinator.h"
#include "recipients/RecipientPanel.h"
#include "optout/OptOutDialog.h"
#include "variable/VariableSmsDialog.h"
#include "campaign/CampaignRunner.h"
#include "campaign/NewScheduledCampaignDialog.h"
#include "campaign/ScheduledCampaignsDialog.h"
#include "optout/ReceivedOptOut.h"
#include "records/ReceivedPage.h"
#include "records/RecordsPage.h"
#include "records/TForm21.h"
#include "sending/MmsPage.h"
#include "sending/MmsSend.h"
#include "sending/PlanLine.h"
#include "sending/SmsPage.h"
#include "sending/TForm13.h"
#include "sending/TForm15.h"

namespace smsc {
namespace {

constexpr int kClientWidth = 717;
constexpr int kClientHeight = 500;
constexpr int kHeaderHeight = 64;
constexpr int kNavWidth = 110;
constexpr int kStatusHeight = 24;

template <typename T>
T* named(T* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QString q(const std::string& localPath) {
    return QString::fromStdString(localPath);
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(DefaultMainCaption());
    setFixedSize(kClientWidth, kClientHeight);
    buildFrame();

    // Start-up, in this order. Missing pictures are ignored.
    const QString iconPath = q(DataPath("ico/Sms.ico"));
    if (QFileInfo(iconPath).isFile()) {
        const QIcon icon(iconPath);
        if (!icon.availableSizes().isEmpty()) {
            QApplication::setWindowIcon(icon);
            setWindowIcon(icon);
        }
    }

    m_form1 = std::make_unique<TForm1>(this);
    m_smsPage->setCredentialsSource(&credentials());
    m_mmsPage->setCredentialsSource(&credentials());
    m_form1->showOnTop();

    QPixmap home;
    if (home.load(q(DataPath("picture/m4.jpg"))))
        Image1->setPixmap(home);

    m_receivedStart = QDateTime::currentDateTime();
    m_receivedEnd = QDate::currentDate();
    m_receivedPage->setDateRange(m_receivedStart.date(), m_receivedEnd);
    m_receivedPage->setCredentialsSource(&credentials());
    m_form13->setCredentialsSource(&credentials());
    m_recordsPage->setCredentialsSource(&credentials());

    // A database that cannot be opened only means every lookup finds nothing.
    m_segmentDb.open(DataPath("sjhmd.dat"));

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + qRound((area.width() - width()) / 2.0),
             area.y() + qRound((area.height() - height()) / 2.0));
    }

    showPage(Page::Home);
    Treev1_Initialization();
}

TForm2::~TForm2() = default;

void TForm2::createRemainingWindows() {
    if (m_form3)
        return;
    m_form3 = std::make_unique<TForm3>(this);
    // The coordinator creates TForm4 and TForm6, which it shows and hides from then on.
    createRecipientCoordinator();
    m_form7 = std::make_unique<TForm7>(this);
    m_form7->setInsertHandler([this](const QString& line) { m_smsPage->appendMessageLine(line); });
    m_smsPage->setInsertPhraseHandler([this] { m_form7->openDialog(); });
    // TForm8, TForm9 and TForm10 of the address book.
    m_contactsPage->createDialogs(m_recipients);
    // "发送短信" on the contact list: the numbers join the SMS list, which is then shown.
    connect(m_contactsPage, &ContactsPage::sendSmsRequested, this,
            [this](const std::vector<std::string>& numbers) {
                if (AppendContactNumbers(this, m_smsPage->panel(), numbers))
                    Button2Click();
            });
    m_receivedPage->setNameLookup(
        [this](const std::string& number) { return m_contactsPage->nameOfNumber(number); });
    m_form11 = std::make_unique<TForm11>(this);
    m_form12 = std::make_unique<TForm12>(this);
    m_phrasesPage->setDialogs(m_form11.get(), m_form12.get());
    m_form15 = std::make_unique<TForm15>();
    m_smsPage->setProgressWindow(m_form15.get());
    m_mmsPage->setProgressWindow(m_form15.get());
    m_form13->setProgressWindow(m_form15.get());
    m_form16 = std::make_unique<TForm16>(this);
    m_form17 = std::make_unique<TForm17>();
    m_form21 = new TForm21(this);
    m_receivedPage->setWaitWindow(m_form21);
    m_recordsPage->setWaitWindow(m_form21);
    createOptOutWindow();
    m_variableSmsDialog = std::make_unique<VariableSmsDialog>(this);
    m_variableSmsDialog->setCredentialsSource(&credentials());
    updateRemainingQuota();
    m_smsPage->setVariableSmsHandler([this] { m_variableSmsDialog->openDialog(); });
}

void TForm2::createOptOutWindow() {
    m_optOutDialog = std::make_unique<OptOutDialog>(this);
    m_receivedOptOut->setListWindow(m_optOutDialog.get());
    m_contactsPage->setOptOutHandler([this] { m_optOutDialog->openDialog(); });
    createCampaignWindows();
}

void TForm2::createCampaignWindows() {
    m_campaignsDialog = std::make_unique<ScheduledCampaignsDialog>(this);
    m_smsPage->setScheduledCampaignsHandler([this] { m_campaignsDialog->openDialog(); });
    CampaignsAction = new QAction(QStringLiteral("定时任务"), this);
    CampaignsAction->setObjectName(QStringLiteral("CampaignsAction"));
    CampaignsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(CampaignsAction, &QAction::triggered, this,
            [this] { m_campaignsDialog->openDialog(); });
    addAction(CampaignsAction);  // its shortcut works on every page, the MMS page's too
    // The menu of the navigation bar (a right click beside the page buttons).
    NavPanel->addAction(CampaignsAction);
    NavPanel->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Due campaigns go out with the account the user logged in with, while the client runs.
    m_campaignRunner = new CampaignRunner(this);
    m_campaignRunner->setAccountSource([this]() -> std::optional<campaign::RunAccount> {
        if (!isConnected())
            return std::nullopt;
        const Credentials c = credentials().currentCredentials();
        return campaign::RunAccount{c.context, c.userName, c.password};
    });
    m_campaignsDialog->setRunner(m_campaignRunner);
    NewCampaignSource source;
    source.entries = [this] { return m_smsPage->panel()->entries(); };
    source.text = [this] { return m_smsPage->outgoingText(); };
    source.marketing = [this] { return m_smsPage->KindBox->currentIndex() == 1; };
    source.blocked = [this] {
        m_smsPage->reloadCompliance();
        return m_smsPage->checkMessage().blocks();
    };
    source.user = [this]() -> std::optional<std::string> {
        if (!isConnected())
            return std::nullopt;
        return credentials().currentCredentials().userName;
    };
    m_campaignsDialog->newDialog()->setSource(std::move(source));
    m_campaignRunner->Timer->start();
}

void TForm2::createRecipientCoordinator() {
    // Its activity timer is this window's Timer1 (100 ms).
    m_recipients = new RecipientCoordinator(this);
    m_recipients->setPanels(m_smsPage->panel(), m_mmsPage->panel());
    m_recipients->setActivePanelSource([this] { return activeRecipientPanel(); });
    m_importRunner = InstallImportHooks(m_recipients);
}

RecipientPanel* TForm2::activeRecipientPanel() const {
    switch (currentPage()) {
        case Page::Sms:
            return m_smsPage->panel();
        case Page::Mms:
            return m_mmsPage->panel();
        default:
            return nullptr;
    }
}

void TForm2::buildFrame() {
    HeaderPanel = named(new QWidget(this), QStringLiteral("HeaderPanel"));
    HeaderPanel->setAttribute(Qt::WA_StyledBackground);
    HeaderPanel->setGeometry(0, 0, kClientWidth, kHeaderHeight);
    Label1 = named(new QLabel(QStringLiteral("短信彩信群发客户端"), HeaderPanel),
                   QStringLiteral("Label1"));
    QFont titleFont = Label1->font();
    titleFont.setPixelSize(26);
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label1->setGeometry(24, 8, 420, 48);
    Label2 = named(new QLabel(QStringLiteral("V 6.8"), HeaderPanel), QStringLiteral("Label2"));
    QFont versionFont = Label2->font();
    versionFont.setPixelSize(14);
    versionFont.setBold(true);
    Label2->setFont(versionFont);
    Label2->setGeometry(600, 36, 100, 20);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    NavPanel = named(new QWidget(this), QStringLiteral("NavPanel"));
    NavPanel->setAttribute(Qt::WA_StyledBackground);
    NavPanel->setGeometry(0, kHeaderHeight, kNavWidth, kClientHeight - kHeaderHeight);
    const QString captions[] = {
        QStringLiteral("首页"),     QStringLiteral("短信发送"), QStringLiteral("彩信发送"),
        QStringLiteral("消费记录"), QStringLiteral("收到短信"), QStringLiteral("常用短语"),
        QStringLiteral("号码查询"), QStringLiteral("修改密码"), QStringLiteral("通讯录"),
        QStringLiteral("更换风格"), QStringLiteral("退出")};
    QPushButton** buttons[] = {&Button1, &Button2, &Button3, &Button4,  &Button5, &Button6,
                               &Button7, &Button8, &Button9, &Button10, &Button11};
    void (TForm2::*handlers[])() = {
        &TForm2::Button1Click, &TForm2::Button2Click,  &TForm2::Button3Click, &TForm2::Button4Click,
        &TForm2::Button5Click, &TForm2::Button6Click,  &TForm2::Button7Click, &TForm2::Button8Click,
        &TForm2::Button9Click, &TForm2::Button10Click, &TForm2::Button11Click};
    for (int i = 0; i < 11; ++i) {
        auto* button =
            named(new QPushButton(captions[i], NavPanel), QStringLiteral("Button%1").arg(i + 1));
        button->setGeometry(8, 8 + i * 34, kNavWidth - 16, 30);
        button->setFocusPolicy(Qt::TabFocus);
        connect(button, &QPushButton::clicked, this, handlers[i]);
        *buttons[i] = button;
    }
    Image2 = named(new ClickLabel(NavPanel), QStringLiteral("Image2"));
    Image2->setGeometry((kNavWidth - 32) / 2, 8 + 11 * 34 + 12, 32, 32);
    Image2->setCursor(Qt::PointingHandCursor);
    connect(Image2, &ClickLabel::clicked, this, &TForm2::Image2Click);

    const int right = kClientWidth - kNavWidth;
    PageControl1 = named(new QTabWidget(this), QStringLiteral("PageControl1"));
    PageControl1->setGeometry(kNavWidth, kHeaderHeight + kStatusHeight, right,
                              kClientHeight - kHeaderHeight - kStatusHeight);
    // The status line lies over the tab strip: the navigation column is the only way
    // to change pages.
    PageControl1->tabBar()->hide();
    createPages();

    StatusBar1 = named(new QWidget(this), QStringLiteral("StatusBar1"));
    StatusBar1->setAttribute(Qt::WA_StyledBackground);
    StatusBar1->setGeometry(kNavWidth, kHeaderHeight, right, kStatusHeight);
    Label3 = named(new QLabel(StatusBar1), QStringLiteral("Label3"));
    Label3->setGeometry(10, 0, 130, kStatusHeight);
    Label4 = named(new QLabel(StatusBar1), QStringLiteral("Label4"));
    Label4->setGeometry(150, 0, 220, kStatusHeight);
    Label5 = named(new QLabel(StatusBar1), QStringLiteral("Label5"));
    Label5->setGeometry(380, 0, right - 390, kStatusHeight);

    buildSkinMenu();
}

QString TForm2::pageCaption(Page page) {
    switch (page) {
        case Page::Home:
            return QStringLiteral("首页");
        case Page::Sms:
            return QStringLiteral("短信发送");
        case Page::Mms:
            return QStringLiteral("彩信发送");
        case Page::Phrases:
            return QStringLiteral("常用短语");
        case Page::Contacts:
            return QStringLiteral("通讯录");
        case Page::Search:
            return QStringLiteral("号码搜索");
        case Page::Received:
            return QStringLiteral("收到短信");
        case Page::Records:
            return QStringLiteral("发送记录");
    }
    return {};
}

void TForm2::createPages() {
    // Each page is made inside the page stack, where adding it as a tab leaves it: moved there
    // afterwards, every widget already styled would be styled again under the skin.
    QWidget* const stack =
        PageControl1->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = 0; i < kPageCount; ++i) {
        const Page page = static_cast<Page>(i);
        m_pages[i] = createPage(page, stack);
        // Pages of their own class keep their names.
        if (m_pages[i]->objectName().isEmpty())
            m_pages[i]->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        PageControl1->addTab(m_pages[i], pageCaption(page));
    }

    m_smsPage->setBackHomeHandler([this] { showPage(Page::Home); });
    m_smsPage->setQuotaHandler([this](const QString& text) { setQuotaText(text); });
    m_mmsPage->setBackHomeHandler([this] { showPage(Page::Home); });
    m_mmsPage->setQuotaHandler([this](const QString& text) { setQuotaText(text); });
    // Until the notice check runs, the note tells the cost last known locally.
    m_mmsPage->showCostNote(QStringFromGbk(LocalCostNote(DataPath("Notice_info.ini"))));
    // The 收到短信 page's reply dialog and its opt-out marks, note and buttons.
    m_form13 = new TForm13(m_receivedPage);
    m_form13->setQuotaHandler([this](const QString& text) { setQuotaText(text); });
    m_receivedPage->setReplyHandler([this](const ReceivedRecord& record, bool clearReply) {
        m_form13->openReply(record.text, record.number, clearReply);
    });
    m_receivedOptOut = ReceivedOptOut::attachTo(m_receivedPage);
    connect(this, &TForm2::costNoteChanged, this, &TForm2::showCostNote);
    if (m_segmentDb.isOpen())
        m_carriers.setDatabasePath(m_segmentDb.path());
    m_smsPage->plan()->setCarriers(&m_carriers);
    m_mmsPage->plan()->setCarriers(&m_carriers);
}

// The one place where the pages are made; each subsystem's page class replaces its
// placeholder here.
QWidget* TForm2::createPage(Page page, QWidget* parent) {
    if (page == Page::Sms)
        return m_smsPage = new SmsPage(parent);
    if (page == Page::Mms)
        return m_mmsPage = new MmsPage(parent);
    if (page == Page::Phrases)
        return m_phrasesPage = new PhrasesPage(parent);
    if (page == Page::Search) {
        m_searchPage = new SearchPage(m_segmentDb, parent);
        m_provinceTree = m_searchPage->TreeView3;
        m_provinceTreeBuilder = &SearchPage::Treev3_Initialization;
        return m_searchPage;
    }
    if (page == Page::Contacts)
        return m_contactsPage = new ContactsPage(parent);
    if (page == Page::Received)
        return m_receivedPage = new ReceivedPage(parent);
    if (page == Page::Records)
        return m_recordsPage = new RecordsPage(parent);
    auto* widget = new QWidget(parent);
    switch (page) {
        case Page::Home:
            Image1 = named(new QLabel(widget), QStringLiteral("Image1"));
            Image1->setGeometry(0, 0, kClientWidth - kNavWidth,
                                kClientHeight - kHeaderHeight - kStatusHeight);
            Image1->setScaledContents(true);
            break;
        default:
            break;
    }
    return widget;
}

void TForm2::buildSkinMenu() {
    PopupMenu1 = named(new QMenu(this), QStringLiteral("PopupMenu1"));
    for (int index : SkinMenuIndexes()) {
        QAction* action = PopupMenu1->addAction(SkinName(index));
        action->setData(index);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, index] { chooseSkin(index); });
    }
    // The skin in use is marked, whoever applied it (the menu, the settings at start).
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TForm2::markCurrentSkin);
}

void TForm2::markCurrentSkin() {
    for (QAction* action : PopupMenu1->actions())
        action->setChecked(action->data().toInt() == CurrentSkin());
}

void TForm2::chooseSkin(int index) {
    const std::string path = DataPath(kCompanyInfoFile);
    if (!StoreSkinChoice(path, index))
        ReportSaveFailure(this, path);
    ApplySkin(index);
}

void TForm2::showPage(Page page) {
    PageControl1->setCurrentIndex(static_cast<int>(page));
}

TForm2::Page TForm2::currentPage() const {
    return static_cast<Page>(PageControl1->currentIndex());
}

QWidget* TForm2::pageWidget(Page page) const {
    return m_pages[static_cast<int>(page)];
}

bool TForm2::requireConnection(const QString& caption) {
    if (isConnected())
        return true;
    ShowMessage(this, QStringLiteral("请连接服务器！"), caption);
    return false;
}

void TForm2::Button1Click() {
    showPage(Page::Home);
}

void TForm2::Button2Click() {
    if (requireConnection(QStringLiteral("提醒")))
        showPage(Page::Sms);
}

void TForm2::Button3Click() {
    if (requireConnection(QStringLiteral("提醒")))
        showPage(Page::Mms);
}

void TForm2::Button4Click() {
    if (requireConnection(QStringLiteral("提示")))
        showPage(Page::Records);
}

void TForm2::Button5Click() {
    if (requireConnection(QStringLiteral("提醒")))
        showPage(Page::Received);
}

void TForm2::Button6Click() {
    showPage(Page::Phrases);
    m_phrasesPage->TabSheetShow();
}

void TForm2::Button7Click() {
    showPage(Page::Search);
}

void TForm2::Button8Click() {
    if (requireConnection(QStringLiteral("提醒")) && m_form16)
        m_form16->openDialog();
}

void TForm2::Button9Click() {
    if (!requireConnection(QStringLiteral("提示")))
        return;
    showPage(Page::Contacts);
    pageWidget(Page::Contacts)->setFocus();
}

void TForm2::Button10Click() {
    PopupMenu1->popup(QCursor::pos());
}

void TForm2::Button11Click() {
    requestExit();
}

void TForm2::Image2Click() {
    if (m_connectionState == QStringLiteral("3")) {
        if (!Confirm(this, QStringLiteral("确定要断开服务器连接吗？"), QStringLiteral("提醒")))
            return;
        showPage(Page::Home);
        showOffline();
        ShowMessage(this, QStringLiteral("已与服务器断开连接"), QStringLiteral("提示"));
    } else if (m_connectionState == QStringLiteral("0")) {
        m_form1->showOnTop();
    }
}

void TForm2::setConnectionImage(int index) {
    m_imageIndex = index;
    Image2->setPixmap(StatusImage(index));
}

void TForm2::setConnectionState(const QString& state) {
    m_connectionState = state;
    emit connectionStateChanged(state);
}

void TForm2::showConnected(const QString& quotaText, const QString& userText) {
    setConnectionImage(kImageConnected);
    Label3->setText(QStringLiteral("已连接服务器"));
    Label5->setText(quotaText);
    Label4->setText(userText);
    setConnectionState(QStringLiteral("3"));
    updateRemainingQuota();
}

void TForm2::showOffline() {
    setConnectionImage(kImageDisconnected);
    Label3->setText(QStringLiteral("未连接服务器"));
    Label4->clear();
    Label5->clear();
    setConnectionState(QStringLiteral("0"));
    updateRemainingQuota();
}

QString TForm2::statusText() const {
    return Label3->text();
}
QString TForm2::userText() const {
    return Label4->text();
}
QString TForm2::quotaText() const {
    return Label5->text();
}
void TForm2::setQuotaText(const QString& text) {
    Label5->setText(text);
    updateRemainingQuota();
}

void TForm2::updateRemainingQuota() {
    if (!m_smsPage || !m_mmsPage)
        return;
    std::optional<long long> remaining;
    if (isConnected())
        remaining = QuotaOfStatusText(GbkFromQString(Label5->text()));
    m_smsPage->plan()->setRemainingQuota(remaining);
    m_mmsPage->plan()->setRemainingQuota(remaining);
    if (m_variableSmsDialog)
        m_variableSmsDialog->setRemainingQuota(remaining);
}
void TForm2::setVersionText(const QString& text) {
    Label2->setText(text);
}

void TForm2::setCostNote(const QString& note) {
    m_costNote = note;
    emit costNoteChanged(note);
}

void TForm2::showCostNote(const QString& note) {
    m_mmsPage->showCostNote(note);
}

bool TForm2::requestExit() {
    if (!Confirm(this, QStringLiteral("确定退出系统吗？"), QStringLiteral("提醒")))
        return false;
    terminateProgram();
    return true;
}

void TForm2::terminateProgram() {
    m_exiting = true;
    m_segmentDb.close();
    Ui().quitEventLoop();
    // Also ends this user's other running copies of this executable (what an update needs);
    // colleagues' clients on a shared machine and copies in other folders keep running.
    Ui().endOwnCopies(ExecutablePath());
}

void TForm2::closeEvent(QCloseEvent* event) {
    if (m_exiting || requestExit())
        event->accept();
    else
        event->ignore();
}

void TForm2::Treev1_Initialization() {
    m_contactsPage->Treev1_Initialization();
}

bool TForm2::Treev3_Initialization() {
    if (!m_provinceTree)
        return false;
    m_provinceTree->clear();
    return m_provinceTreeBuilder ? m_provinceTreeBuilder(m_provinceTree) : true;
}

bool TForm2::provinceTreeIsEmpty() const {
    return !m_provinceTree || m_provinceTree->topLevelItemCount() == 0;
}

void TForm2::setProvinceTreeBuilder(std::function<bool(QTreeWidget*)> builder) {
    m_provinceTreeBuilder = std::move(builder);
}

CredentialsSource& TForm2::credentials() const {
    return *m_form1;
}

}  // namespace smsc
