// Key events for driving the editor's widgets as the window system does.
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace EditorKeys {

// A press and a release sent through the application, so the window's key
// preview sees them first.
inline void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers,
                    const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(target, &release);
}

inline void KeyClick(QWidget* target, Qt::Key key,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    SendKey(target, key, modifiers, QString());
}

// Types Text one character at a time.
inline void KeyClicks(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        const int key = c.isDigit()    ? Qt::Key_0 + (c.unicode() - u'0')
                        : c == u'.'    ? Qt::Key_Period
                        : c == u','    ? Qt::Key_Comma
                        : c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - u'A')
                                       : Qt::Key_unknown;
        SendKey(target, key, Qt::NoModifier, QString(c));
    }
}

}  // namespace EditorKeys
