#include "tests/support/ScriptedUi.h"

#include <QDialog>

namespace smsc::test {

ScriptedUi::ScriptedUi() { SetUi(this); }

ScriptedUi::~ScriptedUi() { SetUi(nullptr); }

QStringList ScriptedUi::messageTexts() const {
    QStringList out;
    for (const auto& m : messages) out << m.text;
    return out;
}

const RecordedMessage& ScriptedUi::lastMessage() const {
    static const RecordedMessage blank;
    return messages.empty() ? blank : messages.back();
}

void ScriptedUi::clear() {
    messages.clear();
    fileDialogFilters.clear();
    fileDialogStarts.clear();
    openedWithDesktop.clear();
    startedPrograms.clear();
    endedCopies.clear();
    shownDialogs.clear();
    quitCount = 0;
    m_answers.clear();
    m_files.clear();
    m_dialogScripts.clear();
}

MsgAnswer ScriptedUi::messageBox(QWidget* parent, const QString& text, const QString& caption,
                                 MsgIcon icon, MsgButtons buttons) {
    messages.push_back({text, caption, icon, buttons});
    if (m_realBoxes)
        return DesktopUiSeam().messageBox(parent, text, caption, icon, buttons);
    if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
    if (m_answers.empty()) return MsgAnswer::Ok;
    const MsgAnswer a = m_answers.front();
    m_answers.pop_front();
    return a;
}

QString ScriptedUi::openFileName(QWidget*, const QString&, const QString& filter,
                                 const QString& startFolder) {
    fileDialogFilters.push_back(filter);
    fileDialogStarts.push_back(startFolder);
    if (m_files.empty()) return {};
    QString f = m_files.front();
    m_files.pop_front();
    return f;
}

QString ScriptedUi::saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& suggestedName) {
    return openFileName(parent, caption, filter, suggestedName);
}

bool ScriptedUi::openWithDesktop(const QString& fileOrUrl) {
    openedWithDesktop.push_back(fileOrUrl);
    return m_openResult;
}

bool ScriptedUi::startProgram(const QString& program, const QStringList& arguments) {
    startedPrograms.emplace_back(program, arguments);
    return m_startResult;
}

bool ScriptedUi::endOwnCopies(const std::string& executablePath) {
    endedCopies.push_back(executablePath);
    return true;
}

int ScriptedUi::execDialog(QDialog* dialog) {
    shownDialogs.push_back(dialog);
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    if (m_dialogScripts.empty()) return QDialog::Rejected;
    auto script = std::move(m_dialogScripts.front());
    m_dialogScripts.pop_front();
    script(dialog);
    const int result = dialog->result();
    dialog->hide();
    return result;
}

}  // namespace smsc::test
