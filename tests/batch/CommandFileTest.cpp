#include "batch/CommandFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "batch/ExitCodes.h"
#include "protocol/Windows1250.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

// The lines as the command run takes them: decoded, in order.
std::vector<std::string> LinesOf(const CommandLines& lines) {
    std::vector<std::string> out;
    CommandLines::Cursor cursor(lines);
    while (const std::optional<std::string_view> line = cursor.next()) {
        out.push_back(DecodeWindows1250(*line));
    }
    EXPECT_EQ(out.size(), lines.size());
    return out;
}

std::vector<std::string> FieldsOf(std::string_view line) {
    const CommandLine cut(line);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < cut.fieldCount(); ++i) {
        out.push_back(cut.text(i));
    }
    return out;
}

CommandFileRead ReadBytes(const TempDir& dir, const std::string& bytes) {
    const std::string path = dir.file("commands.txt");
    EXPECT_TRUE(TempDir::WriteFile(path, bytes));
    return ReadCommandFile(path);
}

TEST(CommandLines, CutAtLineFeedsWithTheEmptyLastLineOfAFinalLineFeed) {
    EXPECT_EQ(LinesOf(CommandLines("51\n109\n")), (std::vector<std::string>{"51", "109", ""}));
    EXPECT_EQ(LinesOf(CommandLines("51\n\n109")), (std::vector<std::string>{"51", "", "109"}));
    // Carriage returns alone do not cut: the whole file is one line.
    EXPECT_EQ(LinesOf(CommandLines("51\r109\r")), (std::vector<std::string>{"51\r109\r"}));
}

TEST(CommandLine, NewlinesAreTrimmedAtBothEndsBlanksAndTabsStay) {
    EXPECT_EQ(FieldsOf("51\r"), (std::vector<std::string>{"51"}));
    EXPECT_EQ(FieldsOf("\r\v\f51\r\r"), (std::vector<std::string>{"51"}));
    EXPECT_EQ(FieldsOf("\xC2\x85"
                       "54;a\xE2\x80\xA8\xE2\x80\xA9"),
              (std::vector<std::string>{"54", "a"}));
    EXPECT_EQ(FieldsOf(" 54;\ta ;"), (std::vector<std::string>{" 54", "\ta ", ""}));
    // Inside the line they are ordinary characters; a lone CR file keeps them in the fields.
    EXPECT_EQ(FieldsOf("51\r109;x"), (std::vector<std::string>{"51\r109", "x"}));
    EXPECT_EQ(CommandLine("51\r109").commandNumber(), 51);
}

TEST(CommandLine, QuotesAreStrippedFromFieldEndsOnlyAndDoNotGroup) {
    const CommandLine sale(R"("49";"Bread";"0";"2";"1.50";"1";"0";"0")");
    EXPECT_EQ(sale.fieldCount(), 8U);
    EXPECT_EQ(sale.commandNumber(), 49);
    EXPECT_EQ(sale.text(1), "Bread");
    EXPECT_DOUBLE_EQ(sale.decimal(4), 1.5);
    EXPECT_EQ(sale.integer(5), 1);

    EXPECT_EQ(FieldsOf(R"(54;""a"b"";"";x")"), (std::vector<std::string>{"54", R"(a"b)", "", "x"}));
    // A ";" inside quotes still separates fields.
    EXPECT_EQ(FieldsOf(R"(54;"a;b";c)"), (std::vector<std::string>{"54", "a", "b", "c"}));
    EXPECT_EQ(CommandLine("54;x").text(7), "");
}

TEST(CommandLine, CommandNumberIsTheLeadingInteger) {
    EXPECT_EQ(CommandLine("  49abc;x").commandNumber(), 49);
    EXPECT_EQ(CommandLine("# comment;49").commandNumber(), 0);
    EXPECT_EQ(CommandLine("-7;").commandNumber(), -7);
    EXPECT_EQ(CommandLine("99999999999;").commandNumber(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(CommandLine("").commandNumber(), 0);
}

// A failed read carries its errno, and the log line's text names the file; an empty file or a
// read that worked carries none.
TEST(ReadCommandFile, MissingFolderAndEmptyFiles) {
    TempDir dir;
    const CommandFileRead missing = ReadCommandFile(dir.file("missing.txt"));
    EXPECT_EQ(missing.status, kExitCommandFileFailed);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_EQ(CommandFileProblem("missing.txt", missing),
              "the command file missing.txt: No such file or directory");
    const CommandFileRead folder = ReadCommandFile(dir.path());
    EXPECT_EQ(folder.status, kExitCommandFileFailed);
    EXPECT_EQ(folder.error, EISDIR);
    const CommandFileRead empty = ReadBytes(dir, "");
    EXPECT_EQ(empty.status, kExitCommandFileEmpty);
    EXPECT_EQ(empty.error, 0);
    EXPECT_EQ(CommandFileProblem("commands.txt", empty), "");
    const CommandFileRead newline = ReadBytes(dir, "\n");
    EXPECT_EQ(newline.status, kExitOk);
    EXPECT_EQ(newline.error, 0);
    EXPECT_EQ(LinesOf(newline.lines), (std::vector<std::string>{"", ""}));
}

TEST(ReadCommandFile, UnreadableFileGives23) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not stop root";
    }
    TempDir dir;
    const std::string path = dir.file("locked.txt");
    ASSERT_TRUE(TempDir::WriteFile(path, "51\n"));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const CommandFileRead read = ReadCommandFile(path);
    EXPECT_EQ(read.status, kExitCommandFileFailed);
    EXPECT_EQ(read.error, EACCES);
}

TEST(ReadCommandFile, DecodesWindows1250AndUndefinedBytes) {
    TempDir dir;
    // "Pâine ţ" in Windows-1250, then the five undefined bytes and 0x85, the ellipsis.
    const CommandFileRead read =
        ReadBytes(dir, "49;P\xE2ine \xFE;\r\n54;\x81\x83\x88\x90\x98\x85;\r\n");
    ASSERT_EQ(read.status, kExitOk);
    const std::vector<std::string> lines = LinesOf(read.lines);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(CommandLine(lines[0]).text(1), "P\xC3\xA2ine \xC5\xA3");
    // U+0081 and friends; U+2026 is not a newline character, so nothing is trimmed.
    EXPECT_EQ(CommandLine(lines[1]).text(1),
              "\xC2\x81\xC2\x83\xC2\x88\xC2\x90\xC2\x98\xE2\x80\xA6");
}

TEST(ReadCommandFile, AByteOrderMarkHidesTheFirstCommandNumber) {
    TempDir dir;
    const CommandFileRead read = ReadBytes(dir,
                                           "\xEF\xBB\xBF"
                                           "51\n109\n");
    ASSERT_EQ(read.status, kExitOk);
    const std::vector<std::string> lines = LinesOf(read.lines);
    EXPECT_EQ(CommandLine(lines[0]).commandNumber(), 0);
    EXPECT_EQ(CommandLine(lines[1]).commandNumber(), 109);
}

TEST(ReadCommandFile, LargeFilesDecodeAcrossReadChunks) {
    TempDir dir;
    std::string bytes;
    while (bytes.size() < std::size_t{200} * 1024) {
        bytes += "54;\xE2\xEE\xE3\xBA\xFE;;;;\r\n";
    }
    const CommandFileRead read = ReadBytes(dir, bytes);
    ASSERT_EQ(read.status, kExitOk);
    const std::vector<std::string> lines = LinesOf(read.lines);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        ASSERT_EQ(CommandLine(lines[i]).text(1), "\xC3\xA2\xC3\xAE\xC4\x83\xC5\x9F\xC5\xA3")
            << "line " << i;
    }
}

// The bound counts raw bytes, whether the file says how long it is or not: a regular file
// at the limit is read whole, one byte more is refused, and a device that never ends is cut
// off at the first byte past the limit.
TEST(ReadCommandFile, FilesPastTheLimitGive23) {
    TempDir dir;
    const std::string path = dir.file("commands.txt");
    const std::string atLimit = "51\n" + std::string(997, ' ');
    ASSERT_TRUE(TempDir::WriteFile(path, atLimit));
    const CommandFileRead whole = ReadCommandFile(path, 1000);
    ASSERT_EQ(whole.status, kExitOk);
    EXPECT_EQ(CommandLine(LinesOf(whole.lines)[0]).commandNumber(), 51);

    ASSERT_TRUE(TempDir::WriteFile(path, atLimit + " "));
    const CommandFileRead past = ReadCommandFile(path, 1000);
    EXPECT_EQ(past.status, kExitCommandFileFailed);
    EXPECT_EQ(past.error, EFBIG) << "past the limit is no system error, but says why";
    EXPECT_EQ(ReadCommandFile("/dev/zero", std::size_t{1} << 20).status, kExitCommandFileFailed);
    // Past a chunk of the reading loop as well.
    EXPECT_EQ(ReadCommandFile("/dev/zero", (std::size_t{1} << 20) + 1).status,
              kExitCommandFileFailed);
}

}  // namespace
}  // namespace tallix
