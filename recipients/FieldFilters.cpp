#include "recipients/FieldFilters.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QWidget>

namespace smsc {
namespace {

bool isDialogKey(int key) {
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
           key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// Keys that type no character, whatever text the platform attaches to them (X11 gives the
// Delete key the text "\x7f" and Control+A "\x01"): deleting forward, selecting all,
// copying, undo and redo.
bool isEditingKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Delete || key->matches(QKeySequence::SelectAll) ||
           key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Undo) ||
           key->matches(QKeySequence::Redo);
}

bool isAcceptedCharacter(const QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace)
        return true;
    const QString text = event->text();
    if (text.size() != 1)
        return false;
    const QChar c = text.at(0);
    return c == QLatin1Char(' ') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

class LeaveWatcher final : public QObject {
public:
    LeaveWatcher(QObject* parent, std::function<void()> handler)
        : QObject(parent), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusOut && userCanLeave(watched)) {
            switch (static_cast<QFocusEvent*>(event)->reason()) {
                case Qt::MouseFocusReason:
                case Qt::TabFocusReason:
                case Qt::BacktabFocusReason:
                case Qt::ShortcutFocusReason:
                case Qt::OtherFocusReason:
                    if (m_handler)
                        m_handler();
                    break;
                default:
                    break;
            }
        }
        return false;
    }

private:
    // A field that is being disabled or hidden (its window disabled for an import, say)
    // loses the focus too; the user did not leave it.
    static bool userCanLeave(QObject* watched) {
        const auto* field = qobject_cast<QWidget*>(watched);
        return field && field->isEnabled() && field->isVisible() && field->window()->isEnabled();
    }

    std::function<void()> m_handler;
};

}  // namespace

DigitKeyFilter::DigitKeyFilter(QObject* parent) : QObject(parent) {}

void DigitKeyFilter::installOn(QWidget* field) {
    field->installEventFilter(new DigitKeyFilter(field));
    // Text dropped or pasted from the field's own menu obeys the same rule.
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9 ]*")), edit));
    }
}

bool DigitKeyFilter::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut)) {
            // Claim the shortcut so no action sees it, then drop the key press.
            if (event->type() == QEvent::ShortcutOverride)
                event->accept();
            return event->type() == QEvent::KeyPress;
        }
        if (event->type() == QEvent::ShortcutOverride || isDialogKey(key->key()) ||
            isEditingKey(key))
            return false;
        // Control with a letter types a control character, whatever the platform reports.
        const bool controlLetter = (key->modifiers() & Qt::ControlModifier) != 0 &&
                                   key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z;
        const bool typesSomething = !key->text().isEmpty() || controlLetter;
        if (typesSomething && !isAcceptedCharacter(key))
            return true;
    }
    return false;
}

QObject* OnFieldLeft(QWidget* field, std::function<void()> handler) {
    auto* watcher = new LeaveWatcher(field, std::move(handler));
    field->installEventFilter(watcher);
    return watcher;
}

}  // namespace smsc
