// Key events for driving the editor's widgets as the window system does.
#pragma once

#include <QCoreApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

namespace EditorKeys {

// A press and a release sent through the application, so the window's key
// preview sees them first.
inline void SendKey(QWidget* Target, int Key, Qt::KeyboardModifiers Modifiers,
                    const QString& Text) {
    QKeyEvent Press(QEvent::KeyPress, Key, Modifiers, Text);
    QCoreApplication::sendEvent(Target, &Press);
    QKeyEvent Release(QEvent::KeyRelease, Key, Modifiers, Text);
    QCoreApplication::sendEvent(Target, &Release);
}

inline void KeyClick(QWidget* Target, Qt::Key Key,
                     Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
    SendKey(Target, Key, Modifiers, QString());
}

// Types Text one character at a time.
inline void KeyClicks(QWidget* Target, const QString& Text) {
    for (const QChar C : Text) {
        const int Key = C.isDigit()    ? Qt::Key_0 + (C.unicode() - u'0')
                        : C == u'.'    ? Qt::Key_Period
                        : C == u','    ? Qt::Key_Comma
                        : C.isLetter() ? Qt::Key_A + (C.toUpper().unicode() - u'A')
                                       : Qt::Key_unknown;
        SendKey(Target, Key, Qt::NoModifier, QString(C));
    }
}

}  // namespace EditorKeys
