#pragma once

// A umockdev testbed: a fake /sys and /dev that libudev and open() see while the test binary
// runs under umockdev-wrapper.

#include <umockdev.h>

#include <string>

namespace tallix::test {

class MockDeviceTree {
  public:
    MockDeviceTree() : testbed_(umockdev_testbed_new()) {}
    ~MockDeviceTree() { g_object_unref(testbed_); }
    MockDeviceTree(const MockDeviceTree&) = delete;
    MockDeviceTree& operator=(const MockDeviceTree&) = delete;

    // Devices in umockdev's text form ("P:", "N:", "E:", "A:" lines, a blank line between).
    bool add(const std::string& description) {
        GError* error = nullptr;
        const bool ok = umockdev_testbed_add_from_string(testbed_, description.c_str(), &error);
        if (error != nullptr) {
            g_error_free(error);
        }
        return ok;
    }
    // A tty device; devnode false gives one without a device node.
    bool addTty(const std::string& syspath, const std::string& name, int minor, bool devnode = true,
                const std::string& attributes = "") {
        std::string text = "P: " + syspath + "\n";
        if (devnode) {
            text += "N: " + name + "\nE: DEVNAME=/dev/" + name +
                    "\nA: dev=188:" + std::to_string(minor) + "\n";
        }
        text += "E: SUBSYSTEM=tty\n" + attributes;
        return add(text);
    }
    void remove(const std::string& syspath) {
        umockdev_testbed_remove_device(testbed_, ("/sys" + syspath).c_str());
    }
    void uevent(const std::string& syspath, const char* action) {
        umockdev_testbed_uevent(testbed_, ("/sys" + syspath).c_str(), action);
    }
    // The far end of a device node that umockdev emulates with a pseudo-terminal.
    int farEnd(const std::string& devnode) {
        return umockdev_testbed_get_dev_fd(testbed_, devnode.c_str());
    }

  private:
    UMockdevTestbed* testbed_;
};

}  // namespace tallix::test
