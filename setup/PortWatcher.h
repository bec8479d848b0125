#pragma once

// Watches the machine's serial ports coming and going and says so with portsChanged(), on
// the main thread: the port registry's notices are read when their descriptor turns
// readable in the Qt event loop.

#include <QObject>
#include <memory>
#include <string>

#include "serial/SerialManager.h"

class QSocketNotifier;

namespace tallix {

class PortWatcher : public QObject, private SerialManagerDelegate {
    Q_OBJECT

  public:
    explicit PortWatcher(QObject* parent = nullptr);
    ~PortWatcher() override;

    // Starts listening. False when the machine gives no notices (no device monitor, as in
    // many containers); nothing is watched then.
    bool start();
    bool watching() const { return notifier_ != nullptr; }

  signals:
    void portsChanged();

  private:
    bool respondsToPortAdded() const override { return true; }
    void port(const std::string& name, bool added) override;

    SerialManager registry_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tallix
