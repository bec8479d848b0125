#pragma once

// The real set-up window in a temporary home, its controls found by their names, alerts
// answered by a hook that writes them down (with the thread that showed them).

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "setup/SetupWindow.h"
#include "setup/Stepper.h"
#include "tests/support/TempHome.h"

namespace tallix::test {

struct ShownAlert {
    AlertStyle style;
    std::string message;
    std::string informativeText;
    bool onMainThread;
};

class WindowFixture : public ::testing::Test {
  protected:
    // Hot-plug notices are off unless watchPorts says otherwise.
    SetupWindow& open(SetupWindow::Options options = {}, bool watchPorts = false) {
        options.watchPorts = watchPorts;
        if (!ports.empty() || !portItems.empty() || !options.portLister) {
            options.portLister = [this] {
                std::vector<ComboItem> items = portItems;
                for (const std::string& name : ports) {
                    items.push_back({name, name});
                }
                return items;
            };
        }
        window = std::make_unique<SetupWindow>(std::move(options));
        window->setAlertHook([this](const Alert& alert) {
            alerts.push_back({alert.style, alert.message, alert.informativeText,
                              QThread::currentThread() == qApp->thread()});
        });
        window->start();
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }

    template <typename T>
    T* child(const char* name) const {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QComboBox* combo(const char* name) const { return child<QComboBox>(name); }
    QPushButton* button(const char* name) const { return child<QPushButton>(name); }

    static QStringList items(const QComboBox* box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i) {
            list << box->itemText(i);
        }
        return list;
    }

    TempHome home;
    std::vector<std::string> ports;    // listed by name
    std::vector<ComboItem> portItems;  // listed with a description, ahead of ports
    std::vector<ShownAlert> alerts;
    std::unique_ptr<SetupWindow> window;
};

}  // namespace tallix::test
