#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "batch/ResultFile.h"
#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

struct Row {
    int32_t command;
    int32_t code;
    const char* number;
    const char* text;
    bool flag;
};

// Every row of the message table, with a command number for which the row holds.
const std::vector<Row> kTable = {
    {49, 0, "0", "No error", false},
    {109, 1, "1", "No printer response", true},
    {49, 2, "9", "Error in previous command", true},
    {49, 3, "10", "No receipt opened", true},
    {49, 4, "12", "Fiscal receipt not opened", true},
    {55, 10, "15", "Discount sum greater than sale", true},
    {53, 11, "16", "Payment has passed", true},
    {55, 12, "15", "Surcharge sum greater than sale", true},
    {55, 13, "15", "Surcharge percent greater than 99.00%", true},
    {55, 14, "15", "Discount percent greater than 99.00%", true},
    {200, 5005, "21", "Syntax error", true},
    {49, 5007, "8", "Date and Time not set", true},
    {49, 5008, "55", "Command overflow", true},
    {48, 5009, "6", "Invalid operator's password", true},
    {53, 5009, "64", "Command not permited", true},
    {49, 5012, "3", "Non fiscal rotated receipt opened", true},
    {49, 5013, "7", "No paper", true},
    {49, 5014, "59", "Electronic journal full", true},
    {55, 5015, "4", "Fiscal receipt opened", true},
    {53, 5017, "2", "Non fiscal receipt opened", true},
    {49, 5018, "56", "Fiscal memory error", true},
    {49, 5019, "57", "Fiscal memory invalid", true},
    {49, 5020, "58", "Fiscal memory full", true},
    {49, 5021, "60", "Fiscal memory readonly", true},
    {49, 5022, "61", "Fiscal memory not formated", true},
    {49, 5023, "62", "Last fiscal memory record invalid", true},
    {49, 5025, "63", "VAT not set", true},
    {49, 5026, "65", "Printer numbers not set", true},
    {49, 5027, "5", "24 hours since last Z report has passed", true},
    {49, 5030, "66", "Failure in printig mechanism", true},
    {49, 5031, "67", "RAM failure after reset", true},
    {49, 5032, "68", "Printer cover is open", true},
    {49, 5033, "70", "Item PLU allready exists and has sales", true},
    {49, 5034, "71", "Item PLU is not programed", false},
    {49, 5035, "72", "No items found in the specified PLU range", false},
    // Codes without a message read like a success.
    {54, 5012, "0", "No error", false},
    {54, 5017, "0", "No error", false},
    {49, 5015, "0", "No error", false},
    {51, 5015, "0", "No error", false},
    {53, 5015, "0", "No error", false},
    {54, 5015, "0", "No error", false},
    // Unlisted codes carry their own number.
    {49, 5, "5", "Error code", true},
    {49, 7, "7", "Error code", true},
    {49, 5006, "5006", "Error code", true},
    {49, 5024, "5024", "Error code", true},
    {49, -3, "-3", "Error code", true},
    {49, INT32_MIN, "-2147483648", "Error code", true},
};

TEST(FormatResultLine, EveryRowOfTheMessageTable) {
    for (const Row& row : kTable) {
        const ResultLine line = FormatResultLine(row.command, row.code);
        const std::string expected = "\"" + std::to_string(row.command) + "\";\"" + row.number +
                                     "\";\"" + row.text + "\";" +
                                     (row.command == 53 && row.code == 0 ? "\"\";" : "") + "\n";
        EXPECT_EQ(line.text, expected) << "command " << row.command << " code " << row.code;
        EXPECT_EQ(line.setsFailureFlag, row.flag)
            << "command " << row.command << " code " << row.code;
    }
}

TEST(FormatResultLine, ExactBytesOfSaleAndPaymentLines) {
    const std::string sale = FormatResultLine(49, 0).text;
    EXPECT_EQ(sale, "\"49\";\"0\";\"No error\";\n");
    EXPECT_EQ(sale.size(), 21U);
    EXPECT_EQ(FormatResultLine(53, 0).text, "\"53\";\"0\";\"No error\";\"\";\n");
    EXPECT_EQ(FormatResultLine(53, 1).text, "\"53\";\"1\";\"No printer response\";\n");
    EXPECT_EQ(FormatResultLine(-7, 0).text, "\"-7\";\"0\";\"No error\";\n");
    EXPECT_EQ(FormatResultLine(0, 1).text, "");
}

class ResultFileTest : public ::testing::Test {
  protected:
    std::string Read(const std::string& path) const { return TempDir::ReadFile(path); }
    TempDir dir_;
};

TEST_F(ResultFileTest, ResponceAppendsLinesAndOnlySetsTheFlag) {
    auto file = ResultFile::Open(dir_.file("r.txt"));
    ASSERT_TRUE(file);
    bool flag = false;
    EXPECT_EQ(Responce(*file, 49, 0, flag), kResponceOk);
    EXPECT_FALSE(flag);
    EXPECT_EQ(Responce(*file, 0, 1, flag), kResponceOk);  // nothing written, flag untouched
    EXPECT_FALSE(flag);
    EXPECT_EQ(Responce(*file, 53, 5005, flag), kResponceOk);
    EXPECT_TRUE(flag);
    EXPECT_EQ(Responce(*file, 49, 0, flag), kResponceOk);
    EXPECT_TRUE(flag);  // never cleared
    EXPECT_EQ(Read(dir_.file("r.txt")),
              "\"49\";\"0\";\"No error\";\n"
              "\"53\";\"21\";\"Syntax error\";\n"
              "\"49\";\"0\";\"No error\";\n");
}

TEST_F(ResultFileTest, WriteFailureAnswers100) {
    ResultFile closed;
    bool flag = false;
    EXPECT_EQ(Responce(closed, 49, 0, flag), kResponceWriteFailed);
    EXPECT_EQ(Responce(closed, 0, 0, flag), kResponceOk);

    if (access("/dev/full", W_OK) == 0) {
        auto full = ResultFile::Open("/dev/full");
        ASSERT_TRUE(full);
        EXPECT_EQ(Responce(*full, 49, 0, flag), kResponceWriteFailed);
        EXPECT_FALSE(full->WriteSerialNumber("AB12345678"));
    }
}

TEST_F(ResultFileTest, OpenCreatesFolderChainWithMode0666) {
    const std::string path = dir_.file("a/b/c/result.txt");
    const mode_t old = umask(0);
    auto file = ResultFile::Open(path);
    umask(old);
    ASSERT_TRUE(file);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0666U);
    EXPECT_EQ(info.st_size, 0);
}

TEST_F(ResultFileTest, OpenEmptiesAnExistingFileAndKeepsItsMode) {
    const std::string path = dir_.file("old.txt");
    ASSERT_TRUE(TempDir::WriteFile(path, "old content that must go\n"));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    auto file = ResultFile::Open(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(Read(path), "");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
    // The serial number alone: no quotes, separator or line end.
    EXPECT_TRUE(file->WriteSerialNumber("AB12345678"));
    file->Close();
    EXPECT_EQ(Read(path), "AB12345678");
}

TEST_F(ResultFileTest, PathWithoutFolderPartIsInTheCurrentFolder) {
    char previous[4096] = {};
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    const bool opened = ResultFile::Open("here.txt").has_value();
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_TRUE(opened);
    struct stat info {};
    EXPECT_EQ(stat(dir_.file("here.txt").c_str(), &info), 0);
}

TEST_F(ResultFileTest, OpenFailsWhereNoFileCanBe) {
    ASSERT_TRUE(TempDir::WriteFile(dir_.file("plain"), "x"));
    EXPECT_FALSE(ResultFile::Open(dir_.file("plain/r.txt")));  // a file blocks the folder
    EXPECT_FALSE(ResultFile::Open(dir_.path()));               // a folder is no result file
    EXPECT_FALSE(ResultFile::Open(""));
    if (geteuid() != 0) {
        ASSERT_EQ(mkdir(dir_.file("locked").c_str(), 0500), 0);
        EXPECT_FALSE(ResultFile::Open(dir_.file("locked/r.txt")));
    }
}

TEST_F(ResultFileTest, AFifoWithoutReaderFailsAtOnce) {
    const std::string fifo = dir_.file("result.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ResultFile::Open(fifo)) << "no reader: nothing to wait for";
}

// A pipe cannot seek: every line still arrives, in order, and writing blocks as usual.
TEST_F(ResultFileTest, AFifoWithAReaderGetsEveryLine) {
    const std::string fifo = dir_.file("result.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto file = ResultFile::Open(fifo);
    ASSERT_TRUE(file);
    bool flag = false;
    EXPECT_EQ(Responce(*file, 49, 0, flag), kResponceOk);
    EXPECT_EQ(Responce(*file, 53, 0, flag), kResponceOk);
    file->Close();
    std::string received(256, '\0');
    const ssize_t got = ::read(reader, received.data(), received.size());
    ::close(reader);
    ASSERT_GT(got, 0);
    received.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(received, "\"49\";\"0\";\"No error\";\n\"53\";\"0\";\"No error\";\"\";\n");
}

}  // namespace
}  // namespace tallix
