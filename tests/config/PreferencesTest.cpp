#include "config/Preferences.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <atomic>
#include <fstream>
#include <thread>

#include "tests/support/TempHome.h"

namespace tallix {
namespace {

using test::ScopedUmask;
using test::TempDir;
using test::TempHome;

constexpr const char* kStartUpBytes =
    "<Data Version=\"1.0\">\n"
    "    <DefaultKey />\n"
    "    <Devices />\n"
    "</Data>\n";

DeviceEntry Entry(const std::string& serialNumber, const std::string& key) {
    return DeviceEntry{.type = "VX-37",
                       .country = "RO",
                       .key = key,
                       .serialNumber = serialNumber,
                       .path = "ttyUSB0",
                       .speed = "9600",
                       .logicalID = "1"};
}

// The index-th element child named name (element nodes only; whitespace is skipped).
pugi::xml_node ElementAt(const pugi::xml_node& parent, const char* name, int index) {
    for (const pugi::xml_node& child : parent.children(name)) {
        if (index-- == 0) {
            return child;
        }
    }
    return {};
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    return names;
}

class PreferencesTest : public ::testing::Test {
  protected:
    TempHome home;
    Preferences prefs;  // constructed after HOME points at the temporary folder
};

TEST_F(PreferencesTest, LocationIsUnderHome) {
    EXPECT_EQ(PreferencesPath(), home.preferencesFile());
    EXPECT_EQ(prefs.path(), home.preferencesFile());
}

TEST_F(PreferencesTest, WindowStartOnFreshHomeCreatesChainEmptyFileThenStartUpDocument) {
    ScopedUmask mask(027);
    EXPECT_EQ(prefs.prepare(), Preparation::CreatedEmpty);
    EXPECT_TRUE(TempDir::ReadFile(home.preferencesFile()).empty());
    EXPECT_EQ(TempDir::ModeOf(home.preferencesFile()), 0640);
    EXPECT_EQ(prefs.read(), nullptr);  // a zero-byte file is not a document

    PreferencesDocument document = prefs.startUp().document;
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(TempDir::ReadFile(home.preferencesFile()), kStartUpBytes);
    EXPECT_EQ(TempDir::ModeOf(home.preferencesFile()), 0640);

    PreferencesDocument reread = prefs.read();
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(DefaultKey(*reread), std::optional<std::string>(""));
    EXPECT_TRUE(SerialNumbers(*reread).empty());
    EXPECT_FALSE(DefaultEntry(*reread).has_value());

    // Once something is there, preparation leaves it alone.
    EXPECT_EQ(prefs.prepare(), Preparation::Present);
    EXPECT_EQ(TempDir::ReadFile(home.preferencesFile()), kStartUpBytes);
}

TEST_F(PreferencesTest, UnreadableFilesGiveNoDocument) {
    EXPECT_EQ(prefs.read(), nullptr);  // missing
    for (const char* bytes : {"", "   \n", "<Data>", "<!-- only a comment -->", "not xml",
                              "<Data></Other>", "<a/><b/>"}) {
        home.writePreferences(bytes);
        EXPECT_EQ(prefs.read(), nullptr) << bytes;
    }
    home.writePreferences("<Other/>");
    EXPECT_NE(prefs.read(), nullptr);  // any root name will do
}

TEST_F(PreferencesTest, FolderThatCannotBeMadeIsLoggedOnlyWhenAsked) {
    // A regular file where the Library folder should be blocks the chain.
    std::ofstream(home.path() + "/Library") << "x";

    testing::internal::CaptureStderr();
    EXPECT_EQ(prefs.prepare(), Preparation::CreationFailed);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    testing::internal::CaptureStderr();
    EXPECT_EQ(prefs.prepare(FolderFailureLog::Log), Preparation::CreationFailed);
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(logged.rfind("Failed making folder: ", 0), 0u) << logged;
    EXPECT_NE(logged.find(home.path() + "/Library"), std::string::npos) << logged;
    EXPECT_EQ(logged.back(), '\n');

    // Add Device logs it and then cannot write either.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(prefs.storeEntry(Entry("A1", "k")));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Failed making folder: "),
              std::string::npos);
}

TEST_F(PreferencesTest, AddDeviceReplacesFirstEntryWithSameSerialNumberInPlace) {
    home.writePreferences(
        "<Data Version=\"1.0\"><DefaultKey>k</DefaultKey><Devices>"
        "<Device SerialNumber=\"A1\" Key=\"old\" Extra=\"x\"/>"
        "<Device SerialNumber=\"B2\" Key=\"b\"/>"
        "<Device SerialNumber=\"A1\" Key=\"second\"/>"
        "</Devices></Data>");
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "new")));

    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"A1", "B2", "A1"}));
    const pugi::xml_node first =
        ElementAt(document->document_element().child("Devices"), "Device", 0);
    EXPECT_EQ(EntryFromElement(first), Entry("A1", "new"));
    EXPECT_FALSE(first.attribute("Extra"));  // all attributes are replaced
    EXPECT_EQ(std::distance(first.attributes_begin(), first.attributes_end()), 7);
    EXPECT_EQ(FindEntryByKey(*document, "second")->serialNumber, "A1");  // untouched
    EXPECT_EQ(FindEntryBySerialNumber(*document, "A1")->key, "new");     // first one shown
}

TEST_F(PreferencesTest, AddDeviceAppendsNewSerialNumberAfterExistingEntries) {
    prefs.prepare();
    ASSERT_TRUE(prefs.startUp().change);
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "a")));
    ASSERT_TRUE(prefs.storeEntry(Entry("B2", "b")));
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "a2")));

    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"A1", "B2"}));
    EXPECT_EQ(FindEntryBySerialNumber(*document, "A1")->key, "a2");

    // The file reads exactly like the same document built in one go: appending into an
    // indented file keeps its layout even.
    PreferencesDocument built = StartUpDocument();
    StoreEntry(*built, Entry("A1", "a2"));
    StoreEntry(*built, Entry("B2", "b"));
    EXPECT_EQ(TempDir::ReadFile(prefs.path()), Serialize(*built));
}

TEST_F(PreferencesTest, AddDeviceWithEmptySerialNumber) {
    home.writePreferences(
        "<Data><Devices><Device SerialNumber=\"A1\"/><Device Key=\"no-serial\"/>"
        "</Devices></Data>");
    ASSERT_TRUE(prefs.storeEntry(Entry("", "e1")));
    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    // The entry without a SerialNumber is the one replaced.
    EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"A1", ""}));
    EXPECT_EQ(FindEntryBySerialNumber(*document, "")->key, "e1");

    home.writePreferences("<Data><Devices><Device SerialNumber=\"A1\"/></Devices></Data>");
    ASSERT_TRUE(prefs.storeEntry(Entry("", "e2")));
    document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"A1", ""}));
    const pugi::xml_node added =
        ElementAt(document->document_element().child("Devices"), "Device", 1);
    ASSERT_TRUE(added.attribute("SerialNumber"));
    EXPECT_STREQ(added.attribute("SerialNumber").value(), "");
}

TEST_F(PreferencesTest, AddDeviceOnUnparseableFileStartsNewDocumentWithoutDefaultKey) {
    home.writePreferences("<Data><Devices>broken");
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "k")));
    EXPECT_EQ(TempDir::ReadFile(prefs.path()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<Data>\n"
              "    <Devices>\n"
              "        <Device Type=\"VX-37\" Country=\"RO\" Key=\"k\" SerialNumber=\"A1\" "
              "Path=\"ttyUSB0\" Speed=\"9600\" LogicalID=\"1\" />\n"
              "    </Devices>\n"
              "</Data>\n");

    // Set Default then records nothing and leaves the file as it is.
    const std::string before = TempDir::ReadFile(prefs.path());
    EXPECT_FALSE(prefs.setDefault("k"));
    EXPECT_EQ(TempDir::ReadFile(prefs.path()), before);
    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_FALSE(DefaultKey(*document).has_value());
    // Without a DefaultKey the default key is empty, so the entry with key "k" is not it.
    EXPECT_FALSE(DefaultEntry(*document).has_value());
}

TEST_F(PreferencesTest, AddDeviceOnMissingFileCreatesChainAndDocument) {
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "k")));
    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(SerialNumbers(*document), std::vector<std::string>{"A1"});
}

TEST_F(PreferencesTest, AddDeviceUnderRootWithoutDevices) {
    home.writePreferences("<Data><DefaultKey>k</DefaultKey></Data>");
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "k")));
    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    const pugi::xml_node root = document->document_element();
    EXPECT_EQ(EntryFromElement(root.child("Device")), Entry("A1", "k"));
    EXPECT_TRUE(SerialNumbers(*document).empty());
    EXPECT_FALSE(FindEntryByKey(*document, "k").has_value());  // not inside a Devices

    // A second store with the same serial number appends again: the root is no Devices.
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "k")));
    document = prefs.read();
    int devices = 0;
    for (const pugi::xml_node& child : document->document_element().children("Device")) {
        (void)child;
        ++devices;
    }
    EXPECT_EQ(devices, 2);
}

TEST_F(PreferencesTest, TwoDevicesElements) {
    home.writePreferences(
        "<Data><DefaultKey>k</DefaultKey>"
        "<Devices><Device SerialNumber=\"A1\" Key=\"k\"/><Device SerialNumber=\"B2\" "
        "Key=\"x\"/></Devices>"
        "<Devices><Device SerialNumber=\"C3\" Key=\"k\"/><Device SerialNumber=\"A1\" "
        "Key=\"y\"/></Devices>"
        "</Data>");
    {
        PreferencesDocument document = prefs.read();
        ASSERT_NE(document, nullptr);
        // The list comes from the last Devices element only.
        EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"C3", "A1"}));
        // A match in a later Devices element wins over one in an earlier element.
        EXPECT_EQ(DefaultEntry(*document)->serialNumber, "C3");
        EXPECT_EQ(FindEntryBySerialNumber(*document, "A1")->key, "y");
        EXPECT_EQ(FindEntryBySerialNumber(*document, "B2")->key, "x");
    }

    // Store entry replaces the match in each Devices element ...
    ASSERT_TRUE(prefs.storeEntry(Entry("A1", "z")));
    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    const pugi::xml_node root = document->document_element();
    EXPECT_STREQ(ElementAt(ElementAt(root, "Devices", 0), "Device", 0).attribute("Key").value(),
                 "z");
    EXPECT_STREQ(ElementAt(ElementAt(root, "Devices", 1), "Device", 1).attribute("Key").value(),
                 "z");
    // ... and appends a new serial number to the last one.
    ASSERT_TRUE(prefs.storeEntry(Entry("D4", "d")));
    document = prefs.read();
    EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"C3", "A1", "D4"}));
}

TEST_F(PreferencesTest, SetDefaultReplacesWholeContentOfFirstDefaultKey) {
    home.writePreferences(
        "<Data><DefaultKey>old<![CDATA[cdata]]><b>inner</b></DefaultKey>"
        "<DefaultKey>second</DefaultKey><Devices/></Data>");
    ASSERT_TRUE(prefs.setDefault("shop 1 "));
    PreferencesDocument document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(DefaultKey(*document), std::optional<std::string>("shop 1 "));
    EXPECT_STREQ(ElementAt(document->document_element(), "DefaultKey", 1).text().get(), "second");

    ASSERT_TRUE(prefs.setDefault(""));
    document = prefs.read();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(DefaultKey(*document), std::optional<std::string>(""));
    EXPECT_FALSE(document->document_element().child("DefaultKey").first_child());
}

TEST_F(PreferencesTest, SetDefaultWithoutDocumentOrDefaultKeyWritesNothing) {
    EXPECT_FALSE(prefs.setDefault("k"));  // missing file: prepared empty, nothing more
    EXPECT_TRUE(TempDir::ReadFile(prefs.path()).empty());

    const std::string bytes = "<Data><Devices/></Data>";
    home.writePreferences(bytes);
    EXPECT_FALSE(prefs.setDefault("k"));
    EXPECT_EQ(TempDir::ReadFile(prefs.path()), bytes);
}

TEST(PreferencesDocumentTest, DefaultKeyAndDefaultEntryRules) {
    PreferencesDocument document = Parse(
        "<Data>\n"
        "  <!-- the default -->\n"
        "  <DefaultKey> a<!-- c -->b<![CDATA[<c>]]> </DefaultKey>\n"
        "  <Devices>\n"
        "    <Device Key=\" ab<c> \" SerialNumber=\"1\"/>\n"
        "  </Devices>\n"
        "</Data>\n");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(DefaultKey(*document), std::optional<std::string>(" ab<c> "));
    EXPECT_EQ(DefaultEntry(*document)->serialNumber, "1");

    // No DefaultKey: the default key is empty and matches a missing or empty Key.
    document = Parse(
        "<Data><Devices><Device Key=\"x\" SerialNumber=\"1\"/><Device SerialNumber=\"2\"/>"
        "<Device Key=\"\" SerialNumber=\"3\"/></Devices></Data>");
    ASSERT_NE(document, nullptr);
    EXPECT_FALSE(DefaultKey(*document).has_value());
    EXPECT_EQ(DefaultEntry(*document)->serialNumber, "2");
    EXPECT_EQ(FindEntryByKey(*document, "")->serialNumber, "2");
    EXPECT_FALSE(FindEntryByKey(*document, "X").has_value());  // case-sensitive

    // Missing attributes read as empty text.
    DeviceEntry onlySerialNumber;
    onlySerialNumber.serialNumber = "2";
    EXPECT_EQ(FindEntryBySerialNumber(*document, "2"), onlySerialNumber);
}

TEST(PreferencesDocumentTest, WindowAndBatchDefaultKeyDifferOnNestedElements) {
    PreferencesDocument document = Parse(
        "<Data><Devices><Device Key=\"n\"><DefaultKey>nested</DefaultKey></Device></Devices>"
        "<DefaultKey>direct</DefaultKey></Data>");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(DefaultKey(*document), std::optional<std::string>("direct"));
    EXPECT_EQ(FirstDefaultKeyBelowRoot(*document), "nested");

    document = Parse("<Data><Devices/></Data>");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(FirstDefaultKeyBelowRoot(*document), "");
}

TEST(PreferencesDocumentTest, WhitespaceCommentsAndOtherNodesChangeNoLookup) {
    const char* compact =
        "<Data><DefaultKey>k</DefaultKey><Devices><Device Key=\"k\" SerialNumber=\"S1\" "
        "Type=\"VX-37\"/><Device Key=\"j\" SerialNumber=\"S2\"/></Devices></Data>";
    const char* noisy =
        "<?xml version=\"1.0\"?>\n<!-- prefs -->\n<Root  a=\"1\">\n\t<?pi x?>\n"
        "  <DefaultKey>k</DefaultKey>\r\n  <Other><Devices><Device Key=\"j\"/></Devices>"
        "</Other>\n  <Devices>\n    <!-- first -->\n    text\n"
        "    <Device Key=\"k\" SerialNumber=\"S1\" Type=\"VX-37\"/>\n\n"
        "    <Device Key=\"j\" SerialNumber=\"S2\"></Device>\n  </Devices>\n</Root>\n";
    for (const char* bytes : {compact, noisy}) {
        PreferencesDocument document = Parse(bytes);
        ASSERT_NE(document, nullptr) << bytes;
        EXPECT_EQ(DefaultKey(*document), std::optional<std::string>("k"));
        EXPECT_EQ(FirstDefaultKeyBelowRoot(*document), "k");
        EXPECT_EQ(DefaultEntry(*document)->type, "VX-37");
        EXPECT_EQ(FindEntryByKey(*document, "j")->serialNumber, "S2");
        EXPECT_EQ(SerialNumbers(*document), (std::vector<std::string>{"S1", "S2"}));
    }
}

TEST(PreferencesDocumentTest, NoEntityOrDocumentTypeIsExpanded) {
    PreferencesDocument document = Parse(
        "<!DOCTYPE Data [<!ENTITY e SYSTEM \"file:///etc/passwd\"><!ENTITY i \"inner\">]>\n"
        "<Data><DefaultKey>&e;&i;</DefaultKey></Data>");
    if (document != nullptr) {
        const std::string key = FirstDefaultKeyBelowRoot(*document);
        EXPECT_EQ(key.find("root:"), std::string::npos);
        EXPECT_EQ(key.find("inner"), std::string::npos);
    }
}

TEST(PreferencesDocumentTest, WritingWhatWasReadGivesTheSameBytes) {
    PreferencesDocument built = StartUpDocument();
    StoreEntry(*built, Entry("A1", "a & <b> \"c\""));
    StoreEntry(*built, Entry("\xC8\x98", " "));
    ASSERT_TRUE(SetDefaultKey(*built, "  Șoim\t"));
    const std::string first = Serialize(*built);

    PreferencesDocument reread = Parse(first);
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(Serialize(*reread), first);
    EXPECT_EQ(DefaultKey(*reread), std::optional<std::string>("  Șoim\t"));
    EXPECT_EQ(FindEntryBySerialNumber(*reread, "\xC8\x98")->key, " ");
    EXPECT_EQ(FindEntryByKey(*reread, "a & <b> \"c\"")->serialNumber, "A1");

    for (PreferencesDocument (*make)() : {&StartUpDocument, &NewEntryDocument}) {
        const std::string bytes = Serialize(*make());
        PreferencesDocument again = Parse(bytes);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(Serialize(*again), bytes);
    }
}

TEST_F(PreferencesTest, WriteKeepsModeOfExistingFileAndLeavesNoTemporaryFile) {
    ScopedUmask mask(022);
    const FileChange noFolder = prefs.write(*StartUpDocument());
    EXPECT_FALSE(noFolder);
    EXPECT_NE(noFolder.error.find("No such file or directory"), std::string::npos)
        << noFolder.error;
    EXPECT_EQ(TempDir::ModeOf(prefs.path()), 0);  // no folder yet: nothing written
    ASSERT_EQ(prefs.prepare(), Preparation::CreatedEmpty);
    ASSERT_EQ(::chmod(prefs.path().c_str(), 0604), 0);
    PreferencesDocument document = StartUpDocument();
    ASSERT_TRUE(prefs.write(*document));
    EXPECT_EQ(TempDir::ModeOf(prefs.path()), 0604);
    EXPECT_EQ(FolderEntries(home.preferencesFolder()),
              std::vector<std::string>{"com.veltra.tallix.xml"});

    // A new file gets 0666 less the umask.
    ASSERT_EQ(::unlink(prefs.path().c_str()), 0);
    ASSERT_TRUE(prefs.write(*document));
    EXPECT_EQ(TempDir::ModeOf(prefs.path()), 0644);
}

TEST_F(PreferencesTest, FailedWriteLeavesOldFileAndNoTemporaryFile) {
    // A non-empty folder in the file's place cannot be replaced by a rename.
    ASSERT_EQ(::mkdir((home.path() + "/Library").c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(home.preferencesFolder().c_str(), 0777), 0);
    ASSERT_EQ(::mkdir(prefs.path().c_str(), 0777), 0);
    std::ofstream(prefs.path() + "/keep") << "old";
    EXPECT_FALSE(prefs.write(*StartUpDocument()));
    EXPECT_EQ(TempDir::ReadFile(prefs.path() + "/keep"), "old");
    EXPECT_EQ(FolderEntries(home.preferencesFolder()),
              std::vector<std::string>{"com.veltra.tallix.xml"});
}

TEST_F(PreferencesTest, ReaderSeesOldOrNewFileNeverAMixture) {
    PreferencesDocument small = StartUpDocument();
    PreferencesDocument large = StartUpDocument();
    for (int i = 0; i < 200; ++i) {
        StoreEntry(*large, Entry("SN" + std::to_string(i), "k" + std::to_string(i)));
    }
    const std::string smallBytes = Serialize(*small);
    const std::string largeBytes = Serialize(*large);
    ASSERT_TRUE(prefs.storeEntry(Entry("x", "x")));  // folders and a first file
    ASSERT_TRUE(prefs.write(*small));

    std::atomic<bool> done{false};
    std::atomic<int> mixtures{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done) {
            const std::string bytes = TempDir::ReadFile(home.preferencesFile());
            if (bytes != smallBytes && bytes != largeBytes) {
                ++mixtures;
            }
            ++reads;
        }
    });
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(prefs.write(i % 2 == 0 ? *large : *small));
    }
    done = true;
    reader.join();
    EXPECT_EQ(mixtures, 0) << "of " << reads << " reads";
}

}  // namespace
}  // namespace tallix
