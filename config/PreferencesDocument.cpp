// The preferences document in memory: building, serialising and the lookups by element name.

#include <cstring>
#include <sstream>

#include "config/Preferences.h"

namespace tallix {
namespace {

constexpr const char* kRoot = "Data";
constexpr const char* kDefaultKey = "DefaultKey";
constexpr const char* kDevices = "Devices";
constexpr const char* kDevice = "Device";

// Whitespace text and CDATA stay as they are, so a document read and written again keeps its
// bytes; comments, processing instructions, the declaration and a document type are kept as
// nodes so that nothing in the file is lost. pugixml never loads external entities and does
// not expand entities declared in a document type.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata |
                                   pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_doctype;

// Indented output; a declaration is written only when the document holds one.
constexpr unsigned kFormatOptions = pugi::format_indent | pugi::format_no_declaration;
constexpr const char* kIndent = "    ";

bool IsElementNamed(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

// A parsed document, or nothing when parsing failed or it has no single root element.
PreferencesDocument OneRootOnly(PreferencesDocument document,
                                const pugi::xml_parse_result& result) {
    if (!result) {
        return nullptr;
    }
    // pugixml accepts several top-level elements; a document has exactly one root.
    int rootElements = 0;
    for (const pugi::xml_node& child : document->children()) {
        rootElements += child.type() == pugi::node_element ? 1 : 0;
    }
    if (rootElements != 1) {
        return nullptr;
    }
    return document;
}

pugi::xml_node FirstChildNamed(const pugi::xml_node& parent, const char* name) {
    for (const pugi::xml_node& child : parent.children()) {
        if (IsElementNamed(child, name)) {
            return child;
        }
    }
    return {};
}

bool IsWhitespaceText(const pugi::xml_node& node) {
    if (node.type() != pugi::node_pcdata) {
        return false;
    }
    for (const char* c = node.value(); *c != '\0'; ++c) {
        if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r') {
            return false;
        }
    }
    return true;
}

// All text and CDATA inside element, in document order, concatenated.
std::string TextContent(const pugi::xml_node& element) {
    std::string text;
    struct Collector : pugi::xml_tree_walker {
        std::string* out = nullptr;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
                out->append(node.value());
            }
            return true;
        }
    } collector;
    collector.out = &text;
    pugi::xml_node walked = element;
    walked.traverse(collector);
    return text;
}

// In each Devices child of the root, the first Device whose attribute equals value; the
// match of the last Devices element that has one.
pugi::xml_node FindDevice(const pugi::xml_document& document, const char* attribute,
                          std::string_view value) {
    pugi::xml_node found;
    for (const pugi::xml_node& devices : document.document_element().children()) {
        if (!IsElementNamed(devices, kDevices)) {
            continue;
        }
        for (const pugi::xml_node& device : devices.children()) {
            if (IsElementNamed(device, kDevice) && value == device.attribute(attribute).value()) {
                found = device;
                break;
            }
        }
    }
    return found;
}

void SetEntryAttributes(pugi::xml_node& device, const DeviceEntry& entry) {
    device.remove_attributes();
    device.append_attribute("Type") = entry.type.c_str();
    device.append_attribute("Country") = entry.country.c_str();
    device.append_attribute("Key") = entry.key.c_str();
    device.append_attribute("SerialNumber") = entry.serialNumber.c_str();
    device.append_attribute("Path") = entry.path.c_str();
    device.append_attribute("Speed") = entry.speed.c_str();
    device.append_attribute("LogicalID") = entry.logicalID.c_str();
}

// Appends a new Device to container. In an indented file read back, the new element goes
// after the last element child with the same leading whitespace, so the layout stays even.
pugi::xml_node AppendDevice(pugi::xml_node container) {
    pugi::xml_node lastElement;
    bool onlyWhitespace = true;
    for (const pugi::xml_node& child : container.children()) {
        if (child.type() == pugi::node_element) {
            lastElement = child;
        }
        if (!IsWhitespaceText(child)) {
            onlyWhitespace = false;
        }
    }
    if (onlyWhitespace) {
        // Nothing but layout inside: let the writer lay out the new content itself.
        while (container.first_child()) {
            container.remove_child(container.first_child());
        }
        return container.append_child(kDevice);
    }
    if (!lastElement) {
        return container.append_child(kDevice);
    }
    pugi::xml_node device = container.insert_child_after(kDevice, lastElement);
    const pugi::xml_node before = lastElement.previous_sibling();
    if (IsWhitespaceText(before)) {
        container.insert_child_after(pugi::node_pcdata, lastElement).set_value(before.value());
    }
    return device;
}

}  // namespace

PreferencesDocument StartUpDocument() {
    auto document = std::make_unique<pugi::xml_document>();
    pugi::xml_node root = document->append_child(kRoot);
    root.append_attribute("Version") = "1.0";
    root.append_child(kDefaultKey);
    root.append_child(kDevices);
    return document;
}

PreferencesDocument NewEntryDocument() {
    auto document = std::make_unique<pugi::xml_document>();
    pugi::xml_node declaration = document->append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    document->append_child(kRoot).append_child(kDevices);
    return document;
}

std::string Serialize(const pugi::xml_document& document) {
    std::ostringstream out;
    document.save(out, kIndent, kFormatOptions, pugi::encoding_utf8);
    return std::move(out).str();
}

// Bytes given are parsed from a copy exactly as a file is parsed where it was read: pugixml's
// copying and in-place parsers disagree on bytes with a NUL in them, and a document must not
// depend on how it was read.
PreferencesDocument Parse(std::string_view bytes) {
    auto* copy = static_cast<char*>(pugi::get_memory_allocation_function()(bytes.size() + 1));
    if (copy == nullptr) {
        return nullptr;
    }
    if (!bytes.empty()) {
        std::memcpy(copy, bytes.data(), bytes.size());
    }
    return ParseInPlace(copy, bytes.size());
}

PreferencesDocument ParseInPlace(char* bytes, std::size_t size) {
    auto document = std::make_unique<pugi::xml_document>();
    const pugi::xml_parse_result result =
        document->load_buffer_inplace_own(bytes, size, kParseOptions, pugi::encoding_auto);
    return OneRootOnly(std::move(document), result);
}

void StoreEntry(pugi::xml_document& document, const DeviceEntry& entry) {
    pugi::xml_node root = document.document_element();
    if (!root) {
        return;
    }
    pugi::xml_node insertionPoint = root;
    bool replaced = false;
    for (pugi::xml_node devices : root.children()) {
        if (!IsElementNamed(devices, kDevices)) {
            continue;
        }
        insertionPoint = devices;
        for (pugi::xml_node device : devices.children()) {
            if (IsElementNamed(device, kDevice) &&
                entry.serialNumber == device.attribute("SerialNumber").value()) {
                SetEntryAttributes(device, entry);
                replaced = true;
                break;
            }
        }
    }
    if (!replaced) {
        pugi::xml_node device = AppendDevice(insertionPoint);
        SetEntryAttributes(device, entry);
    }
}

bool SetDefaultKey(pugi::xml_document& document, const std::string& key) {
    pugi::xml_node defaultKey = FirstChildNamed(document.document_element(), kDefaultKey);
    if (!defaultKey) {
        return false;
    }
    while (defaultKey.first_child()) {
        defaultKey.remove_child(defaultKey.first_child());
    }
    if (!key.empty()) {
        defaultKey.append_child(pugi::node_pcdata).set_value(key.c_str());
    }
    return true;
}

std::optional<std::string> DefaultKey(const pugi::xml_document& document) {
    const pugi::xml_node defaultKey = FirstChildNamed(document.document_element(), kDefaultKey);
    if (!defaultKey) {
        return std::nullopt;
    }
    return TextContent(defaultKey);
}

std::string FirstDefaultKeyBelowRoot(const pugi::xml_document& document) {
    const pugi::xml_node defaultKey = document.document_element().find_node(
        [](const pugi::xml_node& node) { return IsElementNamed(node, kDefaultKey); });
    return defaultKey ? TextContent(defaultKey) : std::string();
}

std::optional<DeviceEntry> FindEntryByKey(const pugi::xml_document& document,
                                          std::string_view key) {
    const pugi::xml_node device = FindDevice(document, "Key", key);
    if (!device) {
        return std::nullopt;
    }
    return EntryFromElement(device);
}

std::optional<DeviceEntry> FindEntryBySerialNumber(const pugi::xml_document& document,
                                                   std::string_view serialNumber) {
    const pugi::xml_node device = FindDevice(document, "SerialNumber", serialNumber);
    if (!device) {
        return std::nullopt;
    }
    return EntryFromElement(device);
}

std::optional<DeviceEntry> DefaultEntry(const pugi::xml_document& document) {
    return FindEntryByKey(document, DefaultKey(document).value_or(std::string()));
}

std::vector<std::string> SerialNumbers(const pugi::xml_document& document) {
    pugi::xml_node lastDevices;
    for (const pugi::xml_node& child : document.document_element().children()) {
        if (IsElementNamed(child, kDevices)) {
            lastDevices = child;
        }
    }
    std::vector<std::string> serialNumbers;
    for (const pugi::xml_node& device : lastDevices.children()) {
        if (IsElementNamed(device, kDevice)) {
            serialNumbers.emplace_back(device.attribute("SerialNumber").value());
        }
    }
    return serialNumbers;
}

DeviceEntry EntryFromElement(const pugi::xml_node& device) {
    return DeviceEntry{
        .type = device.attribute("Type").value(),
        .country = device.attribute("Country").value(),
        .key = device.attribute("Key").value(),
        .serialNumber = device.attribute("SerialNumber").value(),
        .path = device.attribute("Path").value(),
        .speed = device.attribute("Speed").value(),
        .logicalID = device.attribute("LogicalID").value(),
    };
}

}  // namespace tallix
