#pragma once

// The per-user preferences file: device entries and the default key, kept as one XML
// document at ~/Library/Preferences/com.veltra.tallix.xml. Every operation reads the whole
// file afresh and every change writes the whole file atomically; nothing is cached.
//
// Document layout as the system writes it:
//
//     <Data Version="1.0">
//         <DefaultKey>shop-1</DefaultKey>
//         <Devices>
//             <Device Type="VX-37" Country="RO" Key="shop-1" SerialNumber="..." Path="ttyUSB0"
//                     Speed="9600" LogicalID="1" />
//         </Devices>
//     </Data>
//
// All lookups see element nodes only (whitespace, comments and other nodes are skipped);
// names, keys and serial numbers compare whole-text and case-sensitively. The root's name
// and attributes are never examined.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

namespace tallix {

// One device entry: the seven attribute texts of a Device element, stored exactly as typed.
// A missing attribute reads as "".
struct DeviceEntry {
    std::string type;          // Type
    std::string country;       // Country
    std::string key;           // Key
    std::string serialNumber;  // SerialNumber
    std::string path;          // Path
    std::string speed;         // Speed (decimal text)
    std::string logicalID;     // LogicalID (decimal text)

    bool operator==(const DeviceEntry&) const = default;
};

// A parsed preferences document; empty when the file could not be read or parsed.
using PreferencesDocument = std::unique_ptr<pugi::xml_document>;

// "~/Library/Preferences/com.veltra.tallix.xml" in standard form ("~" is $HOME).
std::string PreferencesPath();

// The largest preferences file that is read: 16 MiB. The window writes a few hundred bytes per
// device entry; a file near this is a mistake, and reading one without a limit could take all
// the memory there is.
constexpr std::size_t kPreferencesLimit = std::size_t{16} * 1024 * 1024;

// What file preparation found and did.
enum class Preparation {
    Present,        // something already existed at the path; nothing was done
    CreatedEmpty,   // the file was missing; an empty file (zero bytes) was created
    CreationFailed  // the file was missing and neither it nor its folder could be made
};

// What a change of the file did. True when the file was written.
struct FileChange {
    bool written = false;
    std::string error;   // why it was not: the file or folder and the errno text ("" when none)
    std::string keptAs;  // where an unreadable file was kept before it was replaced ("" when not)

    explicit operator bool() const { return written; }
};

// The document the window starts with, and what getting it did to the file.
struct StartUp {
    PreferencesDocument document;
    FileChange change;
};

// Whether a folder that cannot be made is logged ("Failed making folder: <reason>" to
// syslog and standard error). Only Add Device logs it.
enum class FolderFailureLog { Silent, Log };

// The preferences file at one path (the real location unless a test names another).
class Preferences {
  public:
    Preferences();
    explicit Preferences(std::string path);

    const std::string& path() const { return path_; }

    // When nothing exists at the path: creates the missing folder chain and an empty file
    // (mode 0666 before the umask). Callers that find the file missing treat it as
    // unreadable (the empty file does not parse).
    Preparation prepare(FolderFailureLog log = FolderFailureLog::Silent) const;

    // The whole file parsed, keeping whitespace text and CDATA as they are, or empty when it
    // is missing, empty, malformed or has no root element, is not a regular file (a FIFO is
    // not waited for) or is longer than kPreferencesLimit. No DTD or external entity is
    // processed.
    PreferencesDocument read() const;

    // Writes the document atomically (temporary file in the same folder, fsync, rename):
    // readers see the old or the new file, never a mixture. An existing file keeps its mode;
    // a new one gets 0666 before the umask. Not written: error says why.
    FileChange write(const pugi::xml_document& document) const;

    // Before an unreadable file is replaced: a file with content that does not parse is kept
    // beside it (KeepBeside, named with the time now). Written stays false; keptAs names the
    // copy, error says why none could be made (and then nothing may replace the file). A
    // missing or empty file holds nothing and is not kept.
    FileChange keepUnreadable() const;

    // Window start: prepare and read; when that gives nothing, keepUnreadable(), then
    // StartUpDocument() written over what was there. The document is returned also when it
    // could not be written; when the unreadable file could not be kept it is not written.
    StartUp startUp() const;

    // Add Device: prepare (logging a folder failure), read, else keepUnreadable() and start
    // NewEntryDocument(); StoreEntry(), write. Nothing is written when an unreadable file
    // could not be kept.
    FileChange storeEntry(const DeviceEntry& entry) const;

    // Set Default after the entry has been stored with storeEntry(): prepare, read, replace
    // the content of the root's first DefaultKey child by key, write. Not written, with no
    // error, when there is no document or no DefaultKey child.
    FileChange setDefault(const std::string& key) const;

  private:
    FileChange replaceUnreadable(const pugi::xml_document& document) const;

    std::string path_;
};

// --- Documents in memory --------------------------------------------------------------

// <Data Version="1.0"><DefaultKey/><Devices/></Data>, without an XML declaration.
PreferencesDocument StartUpDocument();

// The document Add Device starts when the file is unreadable: an XML declaration with
// version "1.0" and encoding "UTF-8", a root Data without attributes and one empty Devices.
PreferencesDocument NewEntryDocument();

// The exact bytes that write() puts into the file: UTF-8, indented by four spaces. A
// document read from a file this system wrote serialises to the same bytes.
std::string Serialize(const pugi::xml_document& document);

// Parses bytes the way read() parses the file. Empty on any failure.
PreferencesDocument Parse(std::string_view bytes);
// The same on size bytes that pugixml's allocation function gave: the document takes them
// over and parses them in place (they are freed with it, also on failure).
PreferencesDocument ParseInPlace(char* bytes, std::size_t size);

// Store entry in memory: in every Devices child of the root, the first Device whose
// SerialNumber equals entry.serialNumber gets exactly the seven attributes of entry (others
// dropped, position kept). When none was replaced, a new Device is appended to the last
// Devices child of the root, or to the root itself when it has none.
void StoreEntry(pugi::xml_document& document, const DeviceEntry& entry);

// Replaces the whole content of the root's first DefaultKey child by key. False when there
// is no such child (nothing changed).
bool SetDefaultKey(pugi::xml_document& document, const std::string& key);

// The window's default key: the text content (all text inside, concatenated, untrimmed) of
// the root's first DefaultKey child; empty optional when there is no such child.
std::optional<std::string> DefaultKey(const pugi::xml_document& document);

// The batch runner's default key: the text content of the first element named DefaultKey
// anywhere below the root, in document order; "" when there is none.
std::string FirstDefaultKeyBelowRoot(const pugi::xml_document& document);

// Entry lookups: in each Devices child of the root, the first Device whose attribute equals
// the text matches; a match in a later Devices element replaces one from an earlier
// element. An empty text matches an empty or missing attribute.
std::optional<DeviceEntry> FindEntryByKey(const pugi::xml_document& document, std::string_view key);
std::optional<DeviceEntry> FindEntryBySerialNumber(const pugi::xml_document& document,
                                                   std::string_view serialNumber);

// The entry whose Key equals DefaultKey() ("" when the element is missing).
std::optional<DeviceEntry> DefaultEntry(const pugi::xml_document& document);

// SerialNumber of every Device child of the root's last Devices child, in document order,
// duplicates included; empty when the root has no Devices child.
std::vector<std::string> SerialNumbers(const pugi::xml_document& document);

// The seven attributes of a Device element ("" for each missing one).
DeviceEntry EntryFromElement(const pugi::xml_node& device);

}  // namespace tallix
