#pragma once

// The application object: a failure that no window's handler takes care of
// still reaches an error report instead of leaving through the event loop.

#include <QApplication>

#include "settings/Hooks.h"

class TApplication : public QApplication {
public:
    // Report shows those failures; empty: a message box.
    TApplication(int& argc, char** argv, std::function<void(const QString&)> report = {});
    bool notify(QObject* receiver, QEvent* event) override;

private:
    THooks FHooks;
};
