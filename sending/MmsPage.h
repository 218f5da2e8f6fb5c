#pragma once
// The "彩信发送" page: the MMS recipient panel, the title editor with its 30-character rule,
// the choice of the MMS file with its size limit, the authoring tool, the red cost note, and
// the send: the checks of "发送彩信" and the tick of the progress window (TForm15::Timer2)
// that reads the file once and submits it with SendMms.

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

#include "sending/SendSteps.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace smsc {

class PlanLine;
class RecipientPanel;
class TForm15;

class MmsPage final : public QWidget {
    Q_OBJECT
public:
    explicit MmsPage(QWidget* parent = nullptr);
    ~MmsPage() override;

    RecipientPanel* panel() const { return m_panel; }
    // The send plan line under the counter; the units per number come from the cost note.
    PlanLine* plan() const { return m_plan; }

    QLabel* TitleCaption;       // "彩信标题（最长为30个字符）", red
    QLabel* LengthLabel;        // "当前长度为N字"
    QPlainTextEdit* Memo2;      // the title
    QLineEdit* FileEdit;        // after "彩信文件：", read-only
    QPushButton* BrowseButton;  // "浏览"
    QPushButton* MakeButton;    // "制作彩信"
    QLabel* CostNoteLabel;      // the red cost note
    QPushButton* BackButton;    // "返回首页"

    // Rows under the recipient area (the composition lives here).
    QVBoxLayout* compositionLayout() const { return m_composition; }

    // ---- what the main window provides ---------------------------------------------------
    void setCredentialsSource(const CredentialsSource* source) {
        m_steps.setCredentialsSource(source);
    }
    // The progress window; its Timer2 tick runs this page's send driver.
    void setProgressWindow(TForm15* window);
    // Receives "剩余短信N条" after a successful send.
    void setQuotaHandler(QuotaHandler handler) { m_steps.setQuotaHandler(std::move(handler)); }
    void setBackHomeHandler(std::function<void()> h) { m_steps.setBackHomeHandler(std::move(h)); }
    // The red note on what one MMS costs.
    void showCostNote(const QString& note);

    // ---- the title and the file ----------------------------------------------------------
    // The title as GBK with CR LF line ends.
    std::string titleText() const;
    void setTitleText(const std::string& gbk);
    // The file field as a native path for opening (UTF-8 file names).
    std::string filePath() const;

    // ---- actions -------------------------------------------------------------------------
    // "浏览": choose the MMS file (at most 51200 bytes).
    void BrowseClick();
    // "制作彩信": starts the authoring tool Velmaro/MakeEMM.exe of the data folder.
    void MakeClick();
    // "发送彩信": the send checks, then the progress window with its MMS timer armed.
    void Button35Click();
    // The MMS timer's tick: one submission, then the window closes and the answer is shown.
    void MmsTimerTick();

private:
    // The title's check before a send: false (after the report) when it blocks or the user
    // goes back to the title.
    bool titleCheckAllowsSend();
    void titleChanged();

    RecipientPanel* m_panel;
    PlanLine* m_plan;
    SendSteps m_steps;
    long long m_unitsPerMms = 5;  // the cost note's count; the service's default until told
    QVBoxLayout* m_composition;
    std::string m_lastChosen;  // the file last chosen in "浏览", native
};

}  // namespace smsc
