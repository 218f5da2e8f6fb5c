#pragma once
// The main window: header, navigation column, status line with the connection picture, and
// one page per feature. Created first and destroyed last; its creation runs the start-up
// (icon, login window, home picture, received-messages range, segment database, centring,
// home page, address-book tree). It owns every other window of the program.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "lookup/Carriers.h"
#include "lookup/SegmentDatabase.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace smsc {

class ClickLabel;
class ContactsPage;
class CredentialsSource;
class ImportRunner;
class MmsPage;
class OptOutDialog;
class ReceivedOptOut;
class TForm13;
class ScheduledCampaignsDialog;
class CampaignRunner;
class PhrasesPage;
class ReceivedPage;
class RecordsPage;
class RecipientCoordinator;
class RecipientPanel;
class SearchPage;
class SmsPage;
class TForm1;
class TForm3;
class TForm7;
class TForm11;
class TForm12;
class TForm15;
class TForm16;
class TForm17;
class TForm21;
class VariableSmsDialog;

class TForm2 final : public QWidget {
    Q_OBJECT
public:
    // The pages, in the order of the page control.
    enum class Page { Home, Sms, Mms, Phrases, Contacts, Search, Received, Records };
    static constexpr int kPageCount = 8;

    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // Start-up step after the main window: the remaining windows, once each, in this order:
    // TForm3, TForm4 and TForm6 (with the recipient coordinator that owns them), TForm7,
    // TForm8, TForm9 and TForm10 (owned by the address book page), TForm11, TForm12, TForm15,
    // TForm16, TForm17. The send pages are wired to them here.
    void createRemainingWindows();

    // ---- the frame -------------------------------------------------------------------
    QWidget* HeaderPanel;
    QLabel* Label1;  // title "短信彩信群发客户端"
    QLabel* Label2;  // version label, "V 6.8" until the notice check sets it
    QWidget* NavPanel;
    QPushButton* Button1;   // 首页
    QPushButton* Button2;   // 短信发送
    QPushButton* Button3;   // 彩信发送
    QPushButton* Button4;   // 消费记录
    QPushButton* Button5;   // 收到短信
    QPushButton* Button6;   // 常用短语
    QPushButton* Button7;   // 号码查询
    QPushButton* Button8;   // 修改密码
    QPushButton* Button9;   // 通讯录
    QPushButton* Button10;  // 更换风格
    QPushButton* Button11;  // 退出
    ClickLabel* Image2;     // connection picture
    QWidget* StatusBar1;    // status line, lying over the page control's tab strip
    QLabel* Label3;         // status text
    QLabel* Label4;         // user text
    QLabel* Label5;         // quota text
    QTabWidget* PageControl1;
    QLabel* Image1;     // the home page's picture
    QMenu* PopupMenu1;  // "更换风格"
    // "定时任务" (Ctrl+T, and the navigation bar's right-click menu): the scheduled campaigns'
    // list window; exists once createRemainingWindows() has run.
    QAction* CampaignsAction = nullptr;

    // ---- navigation --------------------------------------------------------------------
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Button10Click();
    // Ticks the skin menu's entry of the skin in use (none for one the menu does not offer).
    void markCurrentSkin();
    void Button11Click();
    // Connection picture: disconnect when connected, reopen the login window when offline.
    void Image2Click();

    void showPage(Page page);
    Page currentPage() const;
    QWidget* pageWidget(Page page) const;
    // The page caption ("首页", "短信发送", ...).
    static QString pageCaption(Page page);

    // ---- status and connection ---------------------------------------------------------
    // "", "3" connected, "0" disconnected.
    const QString& connectionState() const { return m_connectionState; }
    bool isConnected() const { return m_connectionState == QStringLiteral("3"); }
    // A successful login: picture 0, "已连接服务器", quota and user texts, state "3".
    void showConnected(const QString& quotaText, const QString& userText);
    // Offline: picture 1, "未连接服务器", user and quota texts empty, state "0".
    void showOffline();
    // -1 none yet, 0 connected, 1 disconnected.
    int connectionImageIndex() const { return m_imageIndex; }

    QString statusText() const;
    QString userText() const;
    QString quotaText() const;
    // The send drivers keep "剩余短信N条" current.
    void setQuotaText(const QString& text);

    QLabel* versionLabel() const { return Label2; }
    void setVersionText(const QString& text);

    // The MMS page's cost note, set by the notice check.
    const QString& costNote() const { return m_costNote; }
    void setCostNote(const QString& note);

    // ---- start and end -----------------------------------------------------------------
    // "退出" and the close box: asks "确定退出系统吗？"; true when the program ends.
    bool requestExit();
    // Ends the program: closes the segment database, ends the event loop and every process
    // with this program's executable file name.
    void terminateProgram();

    // Address-book tree (rebuilt from the address book at start-up).
    void Treev1_Initialization();
    // Province/city tree of the number search; false when it could not be built.
    bool Treev3_Initialization();
    bool provinceTreeIsEmpty() const;
    QTreeWidget* provinceTree() const { return m_provinceTree; }
    // The search page installs the real builder; until then building succeeds without data.
    void setProvinceTreeBuilder(std::function<bool(QTreeWidget*)> builder);

    // Received-messages query range (start = creation time, end = today).
    const QDateTime& receivedStart() const { return m_receivedStart; }
    const QDate& receivedEnd() const { return m_receivedEnd; }

    SegmentDatabase& segmentDatabase() { return m_segmentDb; }
    SearchPage* searchPage() const { return m_searchPage; }

    // ---- the send pages and their recipient lists ---------------------------------------
    SmsPage* smsPage() const { return m_smsPage; }
    MmsPage* mmsPage() const { return m_mmsPage; }
    ContactsPage* contactsPage() const { return m_contactsPage; }
    ReceivedPage* receivedPage() const { return m_receivedPage; }
    RecordsPage* recordsPage() const { return m_recordsPage; }
    // The add menu, the activity timer (this window's Timer1), TForm4 and TForm6; exists once
    // createRemainingWindows() has run.
    RecipientCoordinator* recipients() const { return m_recipients; }
    ImportRunner* importRunner() const { return m_importRunner; }
    // The panel of the send page that is shown; nullptr on any other page.
    RecipientPanel* activeRecipientPanel() const;

    // ---- the other windows -------------------------------------------------------------
    TForm1* loginWindow() const { return m_form1.get(); }
    CredentialsSource& credentials() const;
    TForm3* waitWindow() const { return m_form3.get(); }
    TForm15* progressWindow() const { return m_form15.get(); }
    TForm16* passwordDialog() const { return m_form16.get(); }
    TForm17* noticeWindow() const { return m_form17.get(); }
    PhrasesPage* phrasesPage() const { return m_phrasesPage; }
    TForm7* insertPhraseDialog() const { return m_form7.get(); }
    TForm11* newCategoryDialog() const { return m_form11.get(); }
    TForm12* phraseDialog() const { return m_form12.get(); }
    TForm21* queryWaitWindow() const { return m_form21; }
    // The opt-out list window, opened from the 收到短信 and 通讯录 pages.
    OptOutDialog* optOutDialog() const { return m_optOutDialog.get(); }
    // The 收到短信 page's reply dialog, and its part of the opt-out list.
    TForm13* replyDialog() const { return m_form13; }
    ReceivedOptOut* receivedOptOut() const { return m_receivedOptOut; }
    VariableSmsDialog* variableSmsDialog() const { return m_variableSmsDialog.get(); }
    ScheduledCampaignsDialog* campaignsDialog() const { return m_campaignsDialog.get(); }
    CampaignRunner* campaignRunner() const { return m_campaignRunner; }

signals:
    void costNoteChanged(const QString& note);
    void connectionStateChanged(const QString& state);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildFrame();
    void createPages();
    QWidget* createPage(Page page, QWidget* parent);
    void buildSkinMenu();
    void chooseSkin(int index);
    void setConnectionImage(int index);
    void setConnectionState(const QString& state);
    // "请连接服务器！" when not connected; true when connected.
    bool requireConnection(const QString& caption);
    void createRecipientCoordinator();
    void createOptOutWindow();
    // The list window "定时任务", its menu entry, and the runner of due campaigns.
    void createCampaignWindows();
    void showCostNote(const QString& note);
    // The send pages' plan lines learn the quota of the status line ("剩余短信N条").
    void updateRemainingQuota();

    QWidget* m_pages[kPageCount] = {};
    SmsPage* m_smsPage = nullptr;
    MmsPage* m_mmsPage = nullptr;
    PhrasesPage* m_phrasesPage = nullptr;
    SearchPage* m_searchPage = nullptr;
    ContactsPage* m_contactsPage = nullptr;
    ReceivedPage* m_receivedPage = nullptr;
    RecordsPage* m_recordsPage = nullptr;
    TForm21* m_form21 = nullptr;  // owned as a child
    RecipientCoordinator* m_recipients = nullptr;
    ImportRunner* m_importRunner = nullptr;
    QTreeWidget* m_provinceTree = nullptr;
    std::function<bool(QTreeWidget*)> m_provinceTreeBuilder;

    QString m_connectionState;
    int m_imageIndex = -1;
    QString m_costNote;
    QDateTime m_receivedStart;
    QDate m_receivedEnd;
    SegmentDatabase m_segmentDb;
    CarrierTable m_carriers;  // the send plans' carriers, from the segment database
    bool m_exiting = false;

    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm3> m_form3;
    std::unique_ptr<TForm7> m_form7;
    std::unique_ptr<TForm11> m_form11;
    std::unique_ptr<TForm12> m_form12;
    std::unique_ptr<TForm15> m_form15;
    std::unique_ptr<TForm16> m_form16;
    std::unique_ptr<TForm17> m_form17;
    std::unique_ptr<OptOutDialog> m_optOutDialog;
    TForm13* m_form13 = nullptr;                  // a child of the 收到短信 page
    ReceivedOptOut* m_receivedOptOut = nullptr;  // a child of the 收到短信 page
    std::unique_ptr<VariableSmsDialog> m_variableSmsDialog;
    std::unique_ptr<ScheduledCampaignsDialog> m_campaignsDialog;
    CampaignRunner* m_campaignRunner = nullptr;  // owned as a child
};

}  // namespace smsc
