// The delegate: hot-plug notices from a udev monitor and the modem-line watcher thread.

#include <libudev.h>
#include <sys/ioctl.h>

#include <cstring>
#include <system_error>

#include "serial/PortRegistry.h"
#include "serial/SerialManager.h"

namespace tallix {

namespace {

// A removed device is gone from sysfs, so its parent cannot be looked up any more: judge it
// by its event alone. Pseudo-terminals never appear; virtual consoles live under virtual/.
bool IsRemovedSerialPort(udev_device* device) {
    const char* devpath = udev_device_get_devpath(device);
    return udev_device_get_devnode(device) != nullptr &&
           udev_device_get_sysname(device) != nullptr && devpath != nullptr &&
           std::strncmp(devpath, "/devices/virtual/", 17) != 0;
}

}  // namespace

void SerialManager::setDelegate(SerialManagerDelegate* delegate) {
    delegate_.store(delegate);
    if (delegate == nullptr) {
        stopWatcher();
        if (needsNotification) {
            needsNotification = false;
            stopNotification();
        }
        return;
    }
    if (delegate->respondsToControlFlagsChanged() && !useTermiosThread.load()) {
        if (watcher_.joinable() && watcher_.get_id() != std::this_thread::get_id()) {
            watcher_.join();  // told to stop from its own message earlier
        }
        if (!watcher_.joinable()) {
            {
                const std::lock_guard<std::mutex> lock(watcherMutex_);
                useTermiosThread.store(true);
            }
            try {
                watcher_ = std::thread(&SerialManager::termiosThread, this);
            } catch (const std::system_error&) {
                useTermiosThread.store(false);
            }
        }
    }
    if (delegate->respondsToPortAdded() && !needsNotification) {
        needsNotification = true;
        startNotification();
    }
}

void SerialManager::stopWatcher() {
    {
        const std::lock_guard<std::mutex> lock(watcherMutex_);
        useTermiosThread.store(false);
    }
    watcherWake_.notify_all();
    // From the watcher's own message the thread cannot wait for itself; it ends after the
    // message returns and is joined later.
    if (watcher_.joinable() && watcher_.get_id() != std::this_thread::get_id()) {
        watcher_.join();
    }
}

void SerialManager::termiosThread() {
    using namespace std::chrono_literals;
    std::unique_lock<std::mutex> wait(watcherMutex_);
    while (useTermiosThread.load()) {
        auto pause = std::chrono::milliseconds(1000);  // no line open: look again later
        if (inputfd.load() >= 0) {
            wait.unlock();
            // Never wait for the lock: a reader or a line-control call has the line. The
            // delegate hears of a change only after the lock is released, so it may call
            // back into this object.
            std::optional<int> changed;
            if (termioLock.try_lock()) {
                const int fd = inputfd.load();
                int bits = 0;
                if (fd >= 0 && ioctl(fd, TIOCMGET, &bits) == 0) {
                    if (bits != termiosBits.exchange(bits)) {
                        changed = bits;
                    }
                }
                termioLock.unlock();
            }
            if (changed) {
                controlFlagsChanged(*changed);
            }
            wait.lock();
            pause = 250ms;
        }
        watcherWake_.wait_for(wait, pause, [this] { return !useTermiosThread.load(); });
    }
}

void SerialManager::controlFlagsChanged(int bits) {
    SerialManagerDelegate* delegate = delegate_.load();
    if (delegate != nullptr && delegate->respondsToControlFlagsChanged()) {
        delegate->controlFlagsChanged(bits);
    }
}

void SerialManager::portAdded(const std::string& name, bool added) {
    SerialManagerDelegate* delegate = delegate_.load();
    if (delegate != nullptr && delegate->respondsToPortAdded()) {
        delegate->port(name, added);
    }
}

void SerialManager::startNotification() {
    if (monitor_ != nullptr) {
        return;
    }
    udev_ = udev_new();
    if (udev_ == nullptr) {
        return;
    }
    // Events that the udev daemon has processed, so that device nodes exist when we hear of
    // them. Without a daemon (containers) none come, and the present ports are still told.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        stopNotification();
        return;
    }
    // The ports already present arrive first, as the notice of each one's arrival.
    EnumeratePorts(udev_, "IOSerialStream", [this](const std::string& name, const std::string&) {
        portAdded(name, true);
        return true;
    });
}

void SerialManager::stopNotification() {
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
        udev_ = nullptr;
    }
}

int SerialManager::notificationDescriptor() const {
    return monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
}

void SerialManager::dispatchNotifications() {
    if (monitor_ == nullptr) {
        return;
    }
    // The monitor's socket does not block: this takes what is pending and returns.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* action = udev_device_get_action(device);
        if (action != nullptr) {
            if (std::strcmp(action, "add") == 0 && IsSerialPort(device)) {
                portAdded(udev_device_get_sysname(device), true);
            } else if (std::strcmp(action, "remove") == 0 && IsRemovedSerialPort(device)) {
                portAdded(udev_device_get_sysname(device), false);
            }
        }
        udev_device_unref(device);
    }
}

}  // namespace tallix
