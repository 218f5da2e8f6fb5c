#include "app/TForm1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include "app/AppCommon.h"
#include "app/AppSettings.h"
#include "app/Labels.h"
#include "app/Skins.h"
#include "app/TForm17.h"
#include "app/TForm2.h"
#include "app/TForm3.h"
#include "platform/DataDir.h"
#include "platform/IniFile.h"
#include "platform/LoginStore.h"
#include "platform/QtText.h"
#include "platform/UiSeam.h"
#include "service/ExchangeWait.h"
#include "service/NoticeCheck.h"

namespace smsc {
namespace {

// Layout with the line drop-down shown; the drop-down is the panel's last row, so hiding
// it shrinks the panel and moves everything below it up.
constexpr int kClientWidth = 324;
constexpr int kClientHeight = 330;
constexpr int kPanelHeight = 180;
constexpr int kLineTop = 156;
constexpr int kLineHeight = 22;
constexpr int kMemoGap = 2;
constexpr int kLinkGap = 4;
constexpr int kLinkHeight = 18;

const QString kUserName = QStringLiteral("User_Name");
const QString kUserPass = QStringLiteral("User_Pass");
const QString kUserBoo = QStringLiteral("User_Boo");

// The notice check's view of the windows.
class NoticeHost final : public NoticeCheckHost {
public:
    NoticeHost(TForm1& login, TForm2& main) : m_login(login), m_main(main) {}

    void networkFailure() override {
        ShowMessage(parent(), QStringLiteral("网络异常，请检查网络！"), QStringLiteral("提示"));
    }
    bool askUpdate() override {
        return Confirm(parent(), QStringLiteral("发现有新版软件,是否现在需要升级?"),
                       QStringLiteral("提醒"));
    }
    void startUpdaterAndExit() override {
        // Opened with the desktop "open" action when it is there; a missing updater, or one
        // that fails to open, does not keep the program alive.
        const QString updater =
            QFile::decodeName(QByteArray::fromStdString(DataPath("UpData.exe")));
        if (QFileInfo(updater).isFile())
            Ui().openWithDesktop(updater);
        m_main.terminateProgram();
    }
    void setVersionLabel(const std::string& text) override {
        m_main.setVersionText(QStringFromGbk(text));
    }
    bool noticeSuppressed() override {
        const TForm17* notice = m_main.noticeWindow();
        return notice && notice->CheckBox1->isChecked();
    }
    void showNotice(const std::vector<std::string>& lines) override {
        TForm17* notice = m_main.noticeWindow();
        if (!notice)
            return;
        QStringList shown;
        for (const auto& line : lines)
            shown << QStringFromGbk(line);
        // The login window stays above all other windows while it is shown; the notice has
        // to open above it, not hidden behind it.
        notice->showNotice(shown, m_login.isVisible());
    }
    void setCostNote(const std::string& text) override { m_main.setCostNote(QStringFromGbk(text)); }
    void saveFailed(const std::string& path) override { ReportSaveFailure(parent(), path); }

private:
    QWidget* parent() const {
        return m_login.isVisible() ? static_cast<QWidget*>(&m_login)
                                   : static_cast<QWidget*>(&m_main);
    }

    TForm1& m_login;
    TForm2& m_main;
};

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

TForm1::TForm1(TForm2* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      m_main(mainWindow) {
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(DefaultMainCaption());
    buildControls();

    m_companyInfo = std::make_unique<IniFile>(DataPath(kCompanyInfoFile));
    m_noticeInfo = std::make_unique<IniFile>(DataPath(kNoticeInfoFile));

    // The line drop-down starts hidden.
    m_lineShown = false;
    m_contactShift = 0;
    relayout();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

    if (const auto caption = ReadFormCaption(*m_companyInfo)) {
        const QString text = QStringFromGbk(*caption);
        setWindowTitle(text);
        if (m_main)
            m_main->setWindowTitle(text);
        SetApplicationTitle(text);
    }

    const ContactBlock contact = LayoutContactBlock(m_companyInfo->values("Contact"));
    QTextBlockFormat lineFormat;
    lineFormat.setLineHeight(kContactLineHeight, QTextBlockFormat::FixedHeight);
    QTextCursor cursor(Memo1->document());
    for (size_t i = 0; i < contact.lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.setBlockFormat(lineFormat);
        cursor.insertText(QStringFromGbk(contact.lines[i]));
    }
    Memo1->moveCursor(QTextCursor::Start);
    // A scroll bar only when there is something to scroll (five or more values); an empty one
    // looks like a stray box.
    const bool overflows =
        static_cast<int>(contact.lines.size()) * kContactLineHeight > contact.height;
    Memo1->setVerticalScrollBarPolicy(overflows ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    m_contactShift = contact.shift;
    relayout();

    Timer1->start();
}

TForm1::~TForm1() = default;

void TForm1::buildControls() {
    // White whatever the skin, so its texts are dark whatever the skin (the banner keeps the
    // skin's colours).
    // The contact memo's look is here too: a sheet of its own would restyle it and its parts
    // once more after they are made.
    setStyleSheet(
        QStringLiteral("#TForm1, #Panel1 { background-color: white; }\n"
                       "#Label1, #Label2, #Label3, #CheckBox1 { color: #222222; }\n"
                       "QTextEdit#Memo1 { background: white; color: #333333; border: none; }"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    Panel1 = named(new QWidget(this), "Panel1");
    Banner = named(new QLabel(QStringLiteral("用户登录"), Panel1), "Banner");
    Banner->setGeometry(0, 0, kClientWidth, 34);
    Banner->setAlignment(Qt::AlignCenter);
    QFont bannerFont = Banner->font();
    bannerFont.setPixelSize(16);
    bannerFont.setBold(true);
    Banner->setFont(bannerFont);

    Label1 = named(new QLabel(QStringLiteral("用户名："), Panel1), "Label1");
    Label1->setGeometry(36, 46, 70, 22);
    Edit1 = named(new QLineEdit(Panel1), "Edit1");
    Edit1->setGeometry(110, 46, 172, 22);

    Label2 = named(new QLabel(QStringLiteral("密    码："), Panel1), "Label2");
    Label2->setGeometry(36, 76, 70, 22);
    Edit2 = named(new QLineEdit(Panel1), "Edit2");
    Edit2->setGeometry(110, 76, 172, 22);
    ShowAsPassword(Edit2);

    CheckBox1 = named(new QCheckBox(QStringLiteral("是否记住用户名和密码"), Panel1), "CheckBox1");
    CheckBox1->setGeometry(110, 104, 190, 20);

    Button1 = named(new QPushButton(QStringLiteral("登录"), Panel1), "Button1");
    Button1->setGeometry(30, 130, 82, 26);
    Button1->setDefault(true);
    Button2 = named(new QPushButton(QStringLiteral("网络选择"), Panel1), "Button2");
    Button2->setGeometry(121, 130, 82, 26);
    Button3 = named(new QPushButton(QStringLiteral("关于"), Panel1), "Button3");
    Button3->setGeometry(212, 130, 82, 26);

    ComboBox1 = named(new QComboBox(Panel1), "ComboBox1");
    ComboBox1->addItem(QStringLiteral("电信用户===>请选择"));
    ComboBox1->addItem(QStringLiteral("网通用户===>请选择"));
    // Editable so that line_name shows whatever it says; the user only picks from the list.
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->lineEdit()->setReadOnly(true);
    ComboBox1->setCurrentIndex(-1);

    Memo1 = named(new QTextEdit(this), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->document()->setDocumentMargin(0);
    QFont memoFont = Memo1->font();
    memoFont.setPixelSize(12);
    Memo1->setFont(memoFont);

    Label3 = named(new QLabel(QStringLiteral("网址："), this), "Label3");
    Label4 = named(new LinkLabel(this), "Label4");

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);
    HoldWhileExchanging(Timer1);

    // A plain window has no default button: Enter in a field presses "登录" here.
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Select);
    connect(Label4, &ClickLabel::clicked, this, &TForm1::Label4Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
}

void TForm1::relayout() {
    const int lineGap = m_lineShown ? 0 : kLineHeight;
    const int panelHeight = kPanelHeight - lineGap;
    Panel1->setGeometry(0, 0, kClientWidth, panelHeight);
    ComboBox1->setGeometry(110, kLineTop, 172, kLineHeight);
    ComboBox1->setVisible(m_lineShown);

    const int memoTop = panelHeight + kMemoGap;
    const int memoHeight = kContactMaxHeight - m_contactShift;
    Memo1->setGeometry(20, memoTop, kClientWidth - 40, memoHeight);
    const int linkTop = memoTop + memoHeight + kLinkGap;
    Label3->setGeometry(20, linkTop, 44, kLinkHeight);
    Label4->setGeometry(64, linkTop, kClientWidth - 84, kLinkHeight);

    setFixedSize(kClientWidth, kClientHeight - lineGap - m_contactShift);
}

void TForm1::Button2Click() {
    m_lineShown = !m_lineShown;
    relayout();
}

void TForm1::showLoginMessage(const QString& text) {
    ShowMessage(this, text, ApplicationTitle(), MsgIcon::None, MsgButtons::Ok);
}

void TForm1::Button1Click() {
    if (Edit2->text().isEmpty() || Edit1->text().isEmpty()) {
        showLoginMessage(QStringLiteral("密码不能为空！"));
        return;
    }
    setStaysOnTop(false);
    TForm3* wait = m_main ? m_main->waitWindow() : nullptr;
    if (!wait || !wait->startLoginCheck()) {
        showLoginMessage(QStringLiteral("系统文件丢失，请重新安装"));
        return;
    }
}

void TForm1::Button3Click() {
    const QString page = QString::fromStdString(DataPath("index.html"));
    if (!QFileInfo(page).isFile()) {
        showLoginMessage(QStringLiteral("关于文档文件丢失"));
        return;
    }
    // The document is there: say what really failed.
    if (!Ui().openWithDesktop(page))
        showLoginMessage(QStringLiteral("无法打开关于文档：没有可用的浏览器"));
}

void TForm1::CheckBox1Click() {
    // Only what the fields hold at this moment is stored; failures are ignored.
    LoginStore store;
    if (CheckBox1->isChecked())
        store.write({{kUserName, Edit1->text()},
                     {kUserPass, Edit2->text()},
                     {kUserBoo, QStringLiteral("yes")}});
    else
        store.write(
            {{kUserName, QString()}, {kUserPass, QString()}, {kUserBoo, QStringLiteral("no")}});
}

void TForm1::forgetLogin() {
    {
        const QSignalBlocker blocker(CheckBox1);
        CheckBox1->setChecked(false);
    }
    CheckBox1Click();
}

void TForm1::ComboBox1Select(int index) {
    if (!StoreLineChoice(*m_companyInfo, index, GbkFromQString(ComboBox1->currentText())))
        ReportSaveFailure(this, m_companyInfo->path());
}

void TForm1::Label4Click() {
    Ui().openWithDesktop(Label4->text().trimmed());
}

void TForm1::FormShow() {
    m_companyInfo->reload();
    const ShowSettings settings = ReadShowSettings(*m_companyInfo);
    Label3->setVisible(settings.showLinkLabel);
    Label4->setVisible(settings.showLinkLabel);
    if (settings.showLinkLabel)
        Label4->setText(QStringFromGbk(settings.linkText));
    if (settings.skinIndex)
        ApplySkin(*settings.skinIndex);
    if (settings.lineIndex) {
        const int index = *settings.lineIndex;
        ComboBox1->setCurrentIndex(index >= 0 && index < ComboBox1->count() ? index : -1);
        if (settings.lineName)
            ComboBox1->setEditText(QStringFromGbk(*settings.lineName));
    }

    LoginStore store;
    if (store.exists()) {
        if (store.value(kUserBoo) == QStringLiteral("yes")) {
            Edit1->setText(store.value(kUserName).value_or(QString()));
            Edit2->setText(store.value(kUserPass).value_or(QString()));
            CheckBox1->setChecked(true);
        } else {
            Edit1->clear();
            Edit2->clear();
            CheckBox1->setChecked(false);
        }
    }
}

void TForm1::setStaysOnTop(bool onTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    // A window not yet made on screen (the first show at start-up) takes its flags when it is
    // made; noting the flag spares the reparenting that would restyle every field again.
    if (!testAttribute(Qt::WA_WState_Created)) {
        overrideWindowFlags(onTop ? windowFlags() | Qt::WindowStaysOnTopHint
                                  : windowFlags() & ~Qt::WindowStaysOnTopHint);
        return;
    }
    // Changing the flags hides the window; showing it again is not a new show.
    m_changingFlags = true;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible)
        show();
    m_changingFlags = false;
}

void TForm1::showOnTop() {
    setStaysOnTop(true);
    show();
    raise();
    activateWindow();
}

void TForm1::closeToOffline() {
    hide();
    if (!m_main)
        return;
    m_main->showOffline();
    m_main->show();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Edit1 || watched == Edit2) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            // A held key repeats; one press logs in once.
            if (!key->isAutoRepeat())
                Button1->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && !m_changingFlags)
        FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The login window is never destroyed: closing it means working offline.
    event->ignore();
    closeToOffline();
}

void TForm1::Timer1Timer() {
    Timer1->stop();
    if (!m_main)
        return;
    const HttpResult fetched = FetchNotice(currentCredentials().context);
    NoticeHost host(*this, *m_main);
    RunNoticeCheck(fetched, *m_noticeInfo, host);
}

Credentials TForm1::currentCredentials() const {
    Credentials out;
    out.userName = GbkFromQString(Edit1->text());
    out.password = GbkFromQString(Edit2->text());
    out.context.endpoints = LoadServiceEndpoints(DataPath(kCompanyInfoFile));
    out.context.lineIndex = ComboBox1->currentIndex();
    out.context.readTimeoutOverride = m_timeoutOverride;
    return out;
}

}  // namespace smsc
