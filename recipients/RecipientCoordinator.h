#pragma once
// What the two recipient panels share, owned by the main window: the add menu "添加接收者"
// with its seven items, the lists' pop-up menu "删除", the 100 ms activity timer (Timer1 of
// the main window) that walks the progress bar of the shown send page while an import reads
// its source, the import steps that disable and enable the main window, and the two number
// dialogs TForm4 and TForm6.

#include <QObject>
#include <QPoint>

#include <array>
#include <functional>

class QAction;
class QMenu;
class QTimer;
class QWidget;

namespace smsc {

struct ImportTally;
class RecipientPanel;
class TForm4;
class TForm6;

class RecipientCoordinator final : public QObject {
    Q_OBJECT
public:
    // The items of the add menu, in menu order.
    enum class AddItem {
        TypeNumbers,       // "手工输入号码"
        TextFileImport,    // "从文本文件导入"
        AddressBook,       // "从通讯录导入"
        ExcelExtract,      // "从EXCEL文件提取"
        TextFileExtract,   // "从文本文件提取"
        ClipboardExtract,  // "从剪切板提取"
        NumberRange,       // "按号段添加"
    };
    static constexpr int kAddItemCount = 7;

    // mainWindow: the window that an import or a clear disables; it also parents the
    // activity timer and the menus.
    explicit RecipientCoordinator(QWidget* mainWindow);
    ~RecipientCoordinator() override;

    // The two panels; their "添加接收者" buttons and list menus are connected here.
    void setPanels(RecipientPanel* sms, RecipientPanel* mms);
    RecipientPanel* smsPanel() const { return m_sms; }
    RecipientPanel* mmsPanel() const { return m_mms; }
    // Tells which panel belongs to the page that is shown (nullptr on any other page).
    void setActivePanelSource(std::function<RecipientPanel*()> source);
    RecipientPanel* ActivePanel() const;

    QWidget* mainWindow() const { return m_mainWindow; }
    QTimer* Timer1;   // activity timer, 100 ms, stopped at start
    QMenu* AddMenu;   // the seven items
    QMenu* ListMenu;  // "删除"

    QAction* addAction(AddItem item) const { return m_actions[static_cast<int>(item)]; }
    // What an item does after CheckVerificationNumber has passed on the active panel. The
    // two dialogs are built in; the imports and the address book install theirs.
    void setAddHook(AddItem item, std::function<void(RecipientPanel*)> hook);
    // Runs an item on the active panel (what choosing it in the menu does).
    void runAddItem(AddItem item);
    // Pops the add menu up at the mouse cursor.
    void showAddMenu();

    // The list menu's "删除": acts on the list that holds the keyboard focus (SMS first).
    void deleteFromListMenu();

    // ---- import steps (GUI thread) -------------------------------------------------------
    // Progress bar shown at 0 of 100, activity timer on, main window disabled.
    void BeginImport(RecipientPanel* panel);
    // Counter with the duplicate note, send button, "导入号码完毕", progress hidden, main
    // window enabled. The run then releases its pool and lock itself.
    void FinishImport(RecipientPanel* panel);
    // The same, the status saying what the run took and left ("导入号码完毕，读取N行：..."), and
    // a message when anything was left out.
    void FinishImport(RecipientPanel* panel, const ImportTally& tally);
    // Over the cap: window enabled, progress hidden, activity timer stopped, then the question
    // "文件中有N个号码，超过每次3万个的上限" (or "剪切板中有..."), offering the first `fit` of
    // them or nothing and naming the campaign as the way to send them all. True: add them.
    bool OfferFirstUnderCap(RecipientPanel* panel, bool clipboard, long long found, long long fit);
    // The refusal at the recipient cap: window enabled, status and message
    // "本系统每次最多只能发送三万个号码，您导入的号码过多", counter without the note, progress
    // hidden, activity timer stopped, send button.
    void RefuseOverCap(RecipientPanel* panel);
    void startActivityTimer();
    void stopActivityTimer();
    // One tick of the activity timer.
    void Timer1Timer();

    TForm4* form4() const { return m_form4; }
    TForm6* form6() const { return m_form6; }

private:
    void openTypeNumbers(RecipientPanel* panel);
    void openNumberRange(RecipientPanel* panel);

    QWidget* m_mainWindow;
    RecipientPanel* m_sms = nullptr;
    RecipientPanel* m_mms = nullptr;
    std::function<RecipientPanel*()> m_activePanel;
    std::array<QAction*, kAddItemCount> m_actions{};
    std::array<std::function<void(RecipientPanel*)>, kAddItemCount> m_hooks;
    TForm4* m_form4;
    TForm6* m_form6;
};

}  // namespace smsc
