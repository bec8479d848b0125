#include "config/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace tallix {
namespace {

using test::TempDir;

// Writers on several threads at once (the window's worker and its main thread, a run and
// its journal) each get a temporary name of their own: every write succeeds, the file holds
// one writer's bytes whole, and no temporary file stays behind.
TEST(WriteFileAtomically, ConcurrentWritersNeverShareATemporaryFile) {
    const TempDir dir;
    constexpr int kThreads = 4;
    constexpr int kRounds = 50;
    const std::string target = dir.file("shared.xml");
    std::vector<std::string> contents;
    for (int t = 0; t < kThreads; ++t) {
        contents.push_back(std::string(4096 + t, static_cast<char>('a' + t)));
    }
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                const std::string own = dir.file("own" + std::to_string(t));
                if (!WriteFileAtomically(target, contents[t]) ||
                    !WriteFileAtomically(own, contents[t])) {
                    ++failures[t];
                }
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    const std::set<std::string> written(contents.begin(), contents.end());
    EXPECT_TRUE(written.count(TempDir::ReadFile(target)) == 1);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::set<std::string>{"own0", "own1", "own2", "own3", "shared.xml"}));
}

TEST(WriteFileAtomically, AFolderThatCannotTakeTheFileSaysWhy) {
    const TempDir dir;
    std::string why;
    EXPECT_FALSE(WriteFileAtomically(dir.file("missing/file.xml"), "x", &why));
    EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
}

}  // namespace
}  // namespace tallix
