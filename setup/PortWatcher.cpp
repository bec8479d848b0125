#include "setup/PortWatcher.h"

#include <QSocketNotifier>

namespace tallix {

PortWatcher::PortWatcher(QObject* parent) : QObject(parent) {
    registry_.setDelegate(this);
}

PortWatcher::~PortWatcher() {
    notifier_.reset();
    registry_.stopNotification();
    registry_.setDelegate(nullptr);
}

bool PortWatcher::start() {
    if (notifier_) {
        return true;
    }
    registry_.startNotification();
    const int descriptor = registry_.notificationDescriptor();
    if (descriptor < 0) {
        registry_.stopNotification();
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this,
            [this] { registry_.dispatchNotifications(); });
    return true;
}

void PortWatcher::port(const std::string& /*name*/, bool /*added*/) {
    emit portsChanged();
}

}  // namespace tallix
