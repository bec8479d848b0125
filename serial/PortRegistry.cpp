#include "serial/PortRegistry.h"

#include <libudev.h>

#include <cstring>

#include "serial/SerialManager.h"

namespace tallix {

namespace {

enum class PortKind { Every, Modem, None };

PortKind KindOf(const std::string& serialType) {
    if (serialType == "IOSerialStream" || serialType == "IORS232SerialStream") {
        return PortKind::Every;
    }
    if (serialType == "IOModemSerialStream") {
        return PortKind::Modem;
    }
    return PortKind::None;
}

bool IsOfKind(const char* name, PortKind kind) {
    switch (kind) {
        case PortKind::Every:
            return true;
        case PortKind::Modem:
            return std::strncmp(name, "ttyACM", 6) == 0;
        case PortKind::None:
            break;
    }
    return false;
}

}  // namespace

bool IsSerialPort(udev_device* device) {
    if (udev_device_get_devnode(device) == nullptr || udev_device_get_sysname(device) == nullptr) {
        return false;
    }
    if (udev_device_get_parent(device) == nullptr) {
        return false;
    }
    const char* type = udev_device_get_sysattr_value(device, "type");
    return type == nullptr || std::strcmp(type, "0") != 0;
}

void EnumeratePortDevices(udev* context, const std::string& serialType,
                          const std::function<bool(udev_device*)>& visit) {
    const PortKind kind = KindOf(serialType);
    if (context == nullptr || kind == PortKind::None) {
        return;
    }
    udev_enumerate* enumeration = udev_enumerate_new(context);
    if (enumeration == nullptr) {
        return;
    }
    if (udev_enumerate_add_match_subsystem(enumeration, "tty") >= 0 &&
        udev_enumerate_scan_devices(enumeration) >= 0) {
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration)) {
            udev_device* device =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (device == nullptr) {
                continue;
            }
            bool more = true;
            if (IsSerialPort(device) && IsOfKind(udev_device_get_sysname(device), kind)) {
                more = visit(device);
            }
            udev_device_unref(device);
            if (!more) {
                break;
            }
        }
    }
    udev_enumerate_unref(enumeration);
}

void EnumeratePorts(udev* context, const std::string& serialType,
                    const std::function<bool(const std::string&, const std::string&)>& visit) {
    EnumeratePortDevices(context, serialType, [&visit](udev_device* device) {
        return visit(udev_device_get_sysname(device), udev_device_get_devnode(device));
    });
}

int findPorts(std::string* names, std::string* paths, int capacity, const std::string& serialType) {
    if (names == nullptr || paths == nullptr || capacity <= 0) {
        return 0;
    }
    udev* context = udev_new();
    if (context == nullptr) {
        return 0;
    }
    int count = 0;
    EnumeratePorts(context, serialType, [&](const std::string& name, const std::string& path) {
        names[count] = name;
        paths[count] = path;
        ++count;
        return count < capacity;
    });
    udev_unref(context);
    return count;
}

// --- SerialManager's port list ---

int SerialManager::findPorts(const std::string& serialType) {
    for (int i = 0; i < kMaxPorts; ++i) {
        stream[i].clear();
        path[i].clear();
    }
    numberOfPorts_ = tallix::findPorts(stream, path, kMaxPorts, serialType);
    return numberOfPorts_;
}

int SerialManager::findPorts() {
    return findPorts("IOSerialStream");
}

int SerialManager::findModems() {
    return findPorts("IOModemSerialStream");
}

int SerialManager::findRS232Ports() {
    return findPorts("IORS232SerialStream");
}

std::optional<std::string> SerialManager::streamAtIndex(int index) const {
    if (index < 0 || index >= numberOfPorts_) {
        return std::nullopt;
    }
    return stream[index];
}

std::optional<std::string> SerialManager::pathAtIndex(int index) const {
    if (index < 0 || index >= numberOfPorts_) {
        return std::nullopt;
    }
    return path[index];
}

}  // namespace tallix
