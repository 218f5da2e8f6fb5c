#pragma once
// Keys as the X11 platform delivers them: the shortcut check first, then the press and the
// release, each with the text X11 attaches (the Delete key carries "\x7f", Control+A "\x01").

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QString>
#include <QWidget>

namespace smsc::test {

inline void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers,
                    const QString& text) {
    QKeyEvent shortcut(QEvent::ShortcutOverride, key, modifiers, text);
    QApplication::sendEvent(target, &shortcut);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

// A digit-only field: Delete (also on the keypad) deletes, Control+A selects everything, and
// a Control letter with no editing meaning still types nothing.
inline void ExpectEditingKeysWork(QLineEdit* field) {
    const QString digits = QStringLiteral("1234").left(field->maxLength());
    field->setText(digits);
    field->setCursorPosition(0);
    SendKey(field, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    EXPECT_EQ(field->text(), digits.mid(1));

    field->setText(digits);
    SendKey(field, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
    EXPECT_EQ(field->selectedText(), digits);
    SendKey(field, Qt::Key_Delete, Qt::KeypadModifier, QStringLiteral("\x7f"));
    EXPECT_TRUE(field->text().isEmpty());

    field->setText(digits);
    field->setCursorPosition(0);
    SendKey(field, Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02"));
    SendKey(field, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    EXPECT_EQ(field->text(), digits);
}

}  // namespace smsc::test
