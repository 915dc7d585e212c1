#include "settings/Hooks.h"

#include <QApplication>
#include <QWidget>

#include "serial/ComNames.h"
#include "serialqt/QtComOwnerThread.h"

QString Latin1Text(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ShowErrorBox(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Trevalon"), message);
}

void THooks::Report(const QString& message) const {
    if (ReportError)
        ReportError(message);
    else
        ShowErrorBox(message);
}

void THooks::Report(const std::string& message) const {
    Report(ShownText(message));
}

QString THooks::ShownText(const std::string& text) const {
    return ScreenText ? ScreenText(text) : Latin1Text(text);
}

QMessageBox::StandardButton THooks::ShowMessageBox(QWidget* owner,
                                                   const TMessageBoxInfo& box) const {
    if (MessageBox) return MessageBox(owner, box);
    QString text = ShownText(box.Text);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox shown(box.Icon, ShownText(box.Caption), text, box.Buttons, owner);
    if (box.DefaultButton != QMessageBox::NoButton) shown.setDefaultButton(box.DefaultButton);
    return static_cast<QMessageBox::StandardButton>(shown.exec());
}

std::vector<std::string> THooks::ListUsbSerialDevices() const {
    return UsbSerialDevices ? UsbSerialDevices() : EnumerateUsbSerialDevices();
}

TComPortHooks THooks::ComPortHooks() const {
    TComPortHooks hooks = ComPort;
    // Deliveries run on the thread that makes the window, from its event loop.
    if (!hooks.OwnerThread) hooks.OwnerThread = NewQtComOwnerThread();
    if (!hooks.ReportError) {
        // A handler failure reaches the operator like any other.
        hooks.ReportError = [report = ReportError](const std::string& message) {
            if (report)
                report(Latin1Text(message));
            else
                ShowErrorBox(Latin1Text(message));
        };
    }
    return hooks;
}
