#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "sim/JournalLine.h"
#include "tests/support/JournalEntry.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace tallix::test {
namespace {

// What the printer writes, the tests' reader must give back byte for byte.
TEST(TestSupport, JournalTextsSurviveEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string line = JournalLine(12.5, "frame")
                                 .add("text", all)
                                 .add("crc_ok", true)
                                 .add("acked", false)
                                 .add("seq_after", int64_t{-7})
                                 .str();
    for (const char c : line) {
        EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << "byte " << static_cast<int>(c);
    }
    const auto entry = JournalEntry::Parse(line);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->text(), all);
    EXPECT_EQ(entry->kind(), "frame");
    EXPECT_TRUE(entry->flag("crc_ok"));
    EXPECT_FALSE(entry->flag("acked"));
    EXPECT_EQ(entry->integer("seq_after"), -7);
    EXPECT_EQ(entry->bytes("text"), all);
    EXPECT_EQ(entry->str("hex").substr(0, 6), "000102") << "raw bytes also as hex";

    // Printable text needs no hex field; other fields get one of their own.
    const auto plain = JournalEntry::Parse(
        JournalLine(1, "wakeup").add("id", "01").add("answer", std::string("A\xFF", 2)).str());
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->has("id_hex"));
    EXPECT_EQ(plain->bytes("id"), "01");
    EXPECT_EQ(plain->str("answer_hex"), "41ff");
    EXPECT_EQ(plain->bytes("answer"), std::string("A\xFF", 2));
    EXPECT_DOUBLE_EQ(entry->number("t"), 12.5);
    EXPECT_FALSE(JournalEntry::Parse("{\"a\":1"));
    EXPECT_FALSE(JournalEntry::Parse("{\"a\":tru}"));
    // A last line still being written is not taken.
    EXPECT_EQ(ParseJournal("{\"kind\":\"a\"}\n{\"kind\":\"b\"}").size(), 1U);
}

TEST(TestSupport, RunProcessExitCodesOutputEnvironmentAndInput) {
    RunOptions options;
    options.captureStdout = true;
    options.captureStderr = true;
    options.env["TALLIX_PROBE"] = "hello";
    options.env["HOME"] = std::nullopt;
    options.stdinText = "from stdin";
    const auto run = RunProcess(
        "/bin/sh", {"-c", "cat; echo \" $TALLIX_PROBE ${HOME-unset}\"; echo oops >&2; exit 3"},
        options);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "from stdin hello unset\n");
    EXPECT_EQ(run.err, "oops\n");
    EXPECT_EQ(RunProcess("/nonexistent/program", {}).exitCode, 127);

    RunOptions quick;
    quick.timeout = std::chrono::milliseconds(200);
    const auto hung = RunProcess("/bin/sh", {"-c", "exec sleep 30"}, quick);
    EXPECT_TRUE(hung.timedOut);
    EXPECT_EQ(hung.exitCode, 128 + 9);
}

TEST(TestSupport, TempDirIsRemovedWithItsContent) {
    std::string path;
    {
        TempDir dir;
        path = dir.path();
        ASSERT_FALSE(path.empty());
        std::filesystem::create_directories(dir.file("a/b"));
        ASSERT_TRUE(TempDir::WriteFile(dir.file("a/b/c.txt"), "x"));
        EXPECT_EQ(TempDir::ReadFile(dir.file("a/b/c.txt")), "x");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tallix::test
