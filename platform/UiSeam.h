#pragma once
// Everything modal or outside the program goes through this seam: message boxes, file
// dialogs, the desktop "open" action, starting a program, ending the program's copies,
// showing a dialog modally and ending the event loop. The program installs the desktop
// implementation; tests install a scripted one that records and answers without blocking.

#include <QString>
#include <QStringList>

#include <string>

class QDialog;
class QWidget;

namespace smsc {

enum class MsgIcon { None, Question, Information, Warning, Critical };
enum class MsgButtons { Ok, OkCancel };
enum class MsgAnswer { Ok, Cancel };

class UiSeam {
public:
    virtual ~UiSeam() = default;

    virtual MsgAnswer messageBox(QWidget* parent, const QString& text, const QString& caption,
                                 MsgIcon icon, MsgButtons buttons) = 0;
    // Empty result: the user cancelled. filter uses Qt's "Name (*.ext);;Other (*)" form.
    // startFolder: where the dialog opens (empty: the working folder).
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& startFolder = QString()) = 0;
    // suggestedName: a file name, or a path whose folder the dialog opens in.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& suggestedName) = 0;
    // The desktop's "open" action on a file or an address.
    virtual bool openWithDesktop(const QString& fileOrUrl) = 0;
    // Starts a program detached, without waiting for it.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Ends this user's processes of the executable at that path, the program itself last
    // (see EndOwnCopies).
    virtual bool endOwnCopies(const std::string& executablePath) = 0;
    // Shows the dialog modally and returns its result code.
    virtual int execDialog(QDialog* dialog) = 0;
    // Ends the event loop.
    virtual void quitEventLoop() = 0;
};

// The installed seam; the desktop implementation until another is installed.
UiSeam& Ui();
// Installs a seam (not owned); nullptr restores the desktop implementation.
void SetUi(UiSeam* seam);
// The desktop implementation, whichever seam is installed.
UiSeam& DesktopUiSeam();

// Convenience wrappers for the common message boxes of the program.
MsgAnswer ShowMessage(QWidget* parent, const QString& text, const QString& caption,
                      MsgIcon icon = MsgIcon::Question, MsgButtons buttons = MsgButtons::Ok);
bool Confirm(QWidget* parent, const QString& text, const QString& caption);

}  // namespace smsc
