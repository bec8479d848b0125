#include "serial/PortIdentity.h"

#include <libudev.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

#include "posix/Hex.h"
#include "serial/PortRegistry.h"
#include "serial/SerialManager.h"

namespace tallix {

namespace {

constexpr const char* kByIdFolder = "/dev/serial/by-id/";

std::string Property(udev_device* device, const char* key) {
    const char* value = udev_device_get_property_value(device, key);
    return value != nullptr ? value : "";
}

// udev's *_ENC properties write unsafe bytes as \xNN.
std::string DecodeEscapes(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            const int high = HexDigitValue(text[i + 2]);
            const int low = HexDigitValue(text[i + 3]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// Control characters (a tab would split a listed line) become spaces; runs of blanks shrink
// to one, and none are kept at the ends.
std::string Clean(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const bool blank = std::iscntrl(static_cast<unsigned char>(c)) != 0 || c == ' ';
        if (blank) {
            if (!out.empty() && out.back() != ' ') {
                out.push_back(' ');
            }
        } else {
            out.push_back(c);
        }
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

// The adapter's own text (ID_VENDOR_ENC, else ID_VENDOR with "_" for blanks), unless the
// adapter has none and udev put the numeric ID there; then the hardware database's name.
std::string UsbName(udev_device* device, const std::string& key) {
    std::string own = DecodeEscapes(Property(device, (key + "_ENC").c_str()));
    if (own.empty()) {
        own = Property(device, key.c_str());
        std::replace(own.begin(), own.end(), '_', ' ');
    }
    own = Clean(own);
    if (own.empty() || own == Property(device, (key + "_ID").c_str())) {
        std::string known = Clean(Property(device, (key + "_FROM_DATABASE").c_str()));
        if (!known.empty()) {
            return known;
        }
    }
    return own;
}

// The first link under /dev/serial/by-id/ in alphabetical order, from the device's links or
// its DEVLINKS property.
std::string ByIdLink(udev_device* device) {
    std::vector<std::string> links;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_device_get_devlinks_list_entry(device)) {
        links.emplace_back(udev_list_entry_get_name(entry));
    }
    std::istringstream property(Property(device, "DEVLINKS"));
    for (std::string link; property >> link;) {
        links.push_back(link);
    }
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) {
        if (link.starts_with(kByIdFolder) && link.size() > std::strlen(kByIdFolder)) {
            return Clean(link);
        }
    }
    return "";
}

}  // namespace

PortIdentity IdentityOf(udev_device* device) {
    PortIdentity port;
    const char* name = udev_device_get_sysname(device);
    const char* node = udev_device_get_devnode(device);
    port.name = name != nullptr ? name : "";
    port.path = node != nullptr ? node : "";
    port.byIdPath = ByIdLink(device);
    port.vendor = UsbName(device, "ID_VENDOR");
    port.model = UsbName(device, "ID_MODEL");
    port.serialNumber = Clean(Property(device, "ID_SERIAL_SHORT"));
    port.driver = Clean(Property(device, "ID_USB_DRIVER"));
    return port;
}

std::vector<PortIdentity> ListPortIdentities() {
    std::vector<PortIdentity> ports;
    udev* context = udev_new();
    if (context == nullptr) {
        return ports;
    }
    EnumeratePortDevices(context, "IORS232SerialStream", [&ports](udev_device* device) {
        ports.push_back(IdentityOf(device));
        return ports.size() < static_cast<std::size_t>(SerialManager::kMaxPorts);
    });
    udev_unref(context);
    return ports;
}

const std::string& StablePath(const PortIdentity& port) {
    return port.byIdPath.empty() ? port.path : port.byIdPath;
}

}  // namespace tallix
