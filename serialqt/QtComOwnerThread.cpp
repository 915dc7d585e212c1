#include "serialqt/QtComOwnerThread.h"

#include <QMetaObject>
#include <QObject>

namespace {

class TQtComOwnerThread : public TComOwnerThread {
public:
    void Post(std::function<void()> task) override {
        // A queued call to an object that lives on the owner's thread runs
        // there; Qt drops it when the object goes first.
        QMetaObject::invokeMethod(&FContext, std::move(task), Qt::QueuedConnection);
    }

private:
    QObject FContext;  // created on, and so living on, the owner's thread
};

}  // namespace

std::shared_ptr<TComOwnerThread> NewQtComOwnerThread() {
    return std::make_shared<TQtComOwnerThread>();
}
