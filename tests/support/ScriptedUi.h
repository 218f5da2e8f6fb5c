#pragma once
// A UI seam for tests: records every message box, file dialog, desktop action, program
// start, process kill and modal dialog, answers from queues, and never blocks. Installed
// for the life of the object.

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/UiSeam.h"

namespace smsc::test {

struct RecordedMessage {
    QString text;
    QString caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

class ScriptedUi final : public UiSeam {
public:
    ScriptedUi();
    ~ScriptedUi() override;

    // --- scripting ---
    // Answers for the next OK/Cancel boxes, in order; when empty every box answers Ok.
    void answerNext(MsgAnswer answer) { m_answers.push_back(answer); }
    // Names for the next open/save file dialogs; when empty the dialog is cancelled.
    void chooseFileNext(const QString& name) { m_files.push_back(name); }
    // What happens inside the next modal dialog: the script runs while the dialog is shown
    // (fill fields, click buttons); execDialog then returns the dialog's result. Without a
    // script the dialog is shown, left open, and execDialog returns QDialog::Rejected.
    void onNextDialog(std::function<void(QDialog*)> script) { m_dialogScripts.push_back(std::move(script)); }
    void setStartProgramResult(bool ok) { m_startResult = ok; }
    void setOpenWithDesktopResult(bool ok) { m_openResult = ok; }
    // Message boxes are recorded and then shown as the program's real boxes, answered by
    // whoever clicks them (the scripted answers are not used).
    void showRealBoxes(bool real) { m_realBoxes = real; }

    // --- what happened ---
    std::vector<RecordedMessage> messages;
    std::vector<QString> fileDialogFilters;
    // Where each file dialog opened: the start folder of an open dialog, the suggested path
    // of a save dialog.
    std::vector<QString> fileDialogStarts;
    std::vector<QString> openedWithDesktop;
    std::vector<std::pair<QString, QStringList>> startedPrograms;
    std::vector<std::string> endedCopies;  // executable paths given to endOwnCopies
    std::vector<QDialog*> shownDialogs;
    int quitCount = 0;

    QStringList messageTexts() const;
    const RecordedMessage& lastMessage() const;  // a blank one when there was none
    void clear();

    // --- UiSeam ---
    MsgAnswer messageBox(QWidget* parent, const QString& text, const QString& caption,
                         MsgIcon icon, MsgButtons buttons) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& startFolder = QString()) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& suggestedName) override;
    bool openWithDesktop(const QString& fileOrUrl) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool endOwnCopies(const std::string& executablePath) override;
    int execDialog(QDialog* dialog) override;
    void quitEventLoop() override { ++quitCount; }

private:
    std::deque<MsgAnswer> m_answers;
    std::deque<QString> m_files;
    std::deque<std::function<void(QDialog*)>> m_dialogScripts;
    bool m_startResult = true;
    bool m_openResult = true;
    bool m_realBoxes = false;
};

}  // namespace smsc::test
