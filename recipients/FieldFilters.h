#pragma once
// Small behaviours of the number fields: a key filter that lets only digits, the space and
// backspace through, and a hook for the moment the user leaves a field.

#include <QObject>

#include <functional>

class QWidget;

namespace smsc {

// Among typed characters only '0'..'9', ' ' and backspace reach the field; every other
// character, and the editing shortcuts that would paste or cut, are swallowed. Keys that type
// nothing (arrows, Delete, Home...), select all, copy, undo, redo and the dialog keys (Tab,
// Enter, Esc) pass, also where the platform attaches a control character to them.
class DigitKeyFilter final : public QObject {
    Q_OBJECT
public:
    explicit DigitKeyFilter(QObject* parent = nullptr);
    // Installs a filter owned by the field; a line edit also gets a validator, so text
    // pasted from its context menu or dropped on it obeys the same rule.
    static void installOn(QWidget* field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Runs the handler when the focus moves from the field to another control of its window
// (mouse, Tab, a shortcut or a program's setFocus), not when another window or a pop-up
// takes it, so a message box shown by the handler does not trigger it again, and not when
// the field loses the focus because it or its window is being disabled or hidden. Returns the
// watcher (owned by the field); an owner that dies before its field deletes it first, since a
// focused field being destroyed loses its focus too.
QObject* OnFieldLeft(QWidget* field, std::function<void()> handler);

}  // namespace smsc
