// A preferences file is whatever lies at its path: half-written, hand-edited, not XML at all.
// Reading it, every lookup on it, the changes Add Device and Set Default make, and writing it
// back must end in values, and a document this system wrote must read back as itself.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "config/Preferences.h"
#include "fuzz/FuzzCheck.h"

using tallix::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tallix;
    if (size > 65536) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PreferencesDocument document = Parse(bytes);
    // Parsed in place, as a file is read, the same bytes give the same document.
    auto* copy = static_cast<char*>(pugi::get_memory_allocation_function()(size + 1));
    Require(copy != nullptr);
    std::memcpy(copy, data, size);
    const PreferencesDocument inPlace = ParseInPlace(copy, size);
    Require((inPlace == nullptr) == (document == nullptr));
    if (!document) {
        return 0;
    }
    const pugi::xml_document& doc = *document;
    Require(Serialize(*inPlace) == Serialize(doc));

    const std::optional<std::string> windowKey = DefaultKey(doc);
    const std::string batchKey = FirstDefaultKeyBelowRoot(doc);
    (void)FindEntryByKey(doc, batchKey);
    (void)FindEntryByKey(doc, "");
    (void)DefaultEntry(doc);
    (void)windowKey;
    for (const std::string& serial : SerialNumbers(doc)) {
        (void)FindEntryBySerialNumber(doc, serial);
    }
    (void)FindEntryBySerialNumber(doc, "");

    // Writing what was read, and reading that again, gives the same bytes.
    const std::string written = Serialize(doc);
    PreferencesDocument again = Parse(written);
    Require(again != nullptr);
    Require(Serialize(*again) == written);

    // Add Device and Set Default on the document; the result must still be a document, and
    // one that finds what was stored when the root has a Devices element to store it in.
    bool hasDevices = false;
    for (const pugi::xml_node& child : doc.document_element().children()) {
        hasDevices = hasDevices || (child.type() == pugi::node_element &&
                                    std::string_view(child.name()) == "Devices");
    }
    DeviceEntry entry{"VX-37", "RO", "fuzz-key", "FZ00000001", "ttyS0", "9600", "1"};
    StoreEntry(*document, entry);
    (void)SetDefaultKey(*document, entry.key);
    const std::string changed = Serialize(*document);
    PreferencesDocument reread = Parse(changed);
    Require(reread != nullptr);
    Require(!hasDevices || FindEntryBySerialNumber(*reread, entry.serialNumber).has_value());
    return 0;
}
