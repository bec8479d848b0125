#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "config/FileSystem.h"
#include "config/Paths.h"

namespace tallix {
namespace {

// Sets $HOME for one test and puts the old value back.
class HomeOverride {
  public:
    explicit HomeOverride(const char* value) {
        const char* old = std::getenv("HOME");
        hadOld_ = old != nullptr;
        if (hadOld_) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv("HOME", value, 1);
        } else {
            unsetenv("HOME");
        }
    }
    ~HomeOverride() {
        if (hadOld_) {
            setenv("HOME", old_.c_str(), 1);
        } else {
            unsetenv("HOME");
        }
    }
    HomeOverride(const HomeOverride&) = delete;
    HomeOverride& operator=(const HomeOverride&) = delete;

  private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(StandardizePath, TildeIsHome) {
    HomeOverride home("/home/kasa");
    EXPECT_EQ(StandardizePath("~"), "/home/kasa");
    EXPECT_EQ(StandardizePath("~/"), "/home/kasa");
    EXPECT_EQ(StandardizePath("~/jobs/in.txt"), "/home/kasa/jobs/in.txt");
    EXPECT_EQ(StandardizePath("~//jobs/./in.txt/"), "/home/kasa/jobs/in.txt");
    // Only a leading tilde is special.
    EXPECT_EQ(StandardizePath("jobs/~/in.txt"), "jobs/~/in.txt");
    EXPECT_EQ(StandardizePath("~no-such-user-here/x"), "~no-such-user-here/x");
}

TEST(StandardizePath, TildeWithoutHomeVariableUsesPasswordEntry) {
    HomeOverride home(nullptr);
    const std::string expanded = StandardizePath("~/x");
    EXPECT_NE(expanded, "~/x");
    EXPECT_EQ(expanded.front(), '/');
    EXPECT_EQ(expanded.substr(expanded.size() - 2), "/x");
}

TEST(StandardizePath, DropsEmptyAndDotComponentsAndTrailingSlash) {
    EXPECT_EQ(StandardizePath(""), "");
    EXPECT_EQ(StandardizePath("/"), "/");
    EXPECT_EQ(StandardizePath("//"), "/");
    EXPECT_EQ(StandardizePath("/tmp//a/./b/"), "/tmp/a/b");
    EXPECT_EQ(StandardizePath("./out.txt"), "out.txt");
    EXPECT_EQ(StandardizePath("a/./b//c/"), "a/b/c");
    EXPECT_EQ(StandardizePath("out.txt"), "out.txt");
}

TEST(StandardizePath, DotDotResolvedOnlyInAbsolutePaths) {
    EXPECT_EQ(StandardizePath("/a/b/../c"), "/a/c");
    EXPECT_EQ(StandardizePath("/a/b/../../c"), "/c");
    EXPECT_EQ(StandardizePath("/../../c"), "/c");
    EXPECT_EQ(StandardizePath("/a/.."), "/");
    EXPECT_EQ(StandardizePath("../a/../b"), "../a/../b");
}

TEST(ParentFolder, FolderPartOfPath) {
    EXPECT_EQ(ParentFolder("/tmp/a/out.txt"), "/tmp/a");
    EXPECT_EQ(ParentFolder("a/out.txt"), "a");
    EXPECT_EQ(ParentFolder("/out.txt"), "/");
    EXPECT_EQ(ParentFolder("out.txt"), "");
    EXPECT_EQ(ParentFolder("/tmp/a/"), "/tmp");
    EXPECT_EQ(ParentFolder("/"), "/");
    EXPECT_EQ(JoinPath("/tmp", "x"), "/tmp/x");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
    EXPECT_EQ(JoinPath("", "x"), "x");
}

class FileSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tallix-fs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        const std::string command = "rm -rf '" + root_ + "'";
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string root_;
};

TEST_F(FileSystemTest, CreatesFolderChainAndReportsBlockedOne) {
    const std::string deep = root_ + "/a/b/c";
    EXPECT_TRUE(CreateFolderChain(deep));
    EXPECT_TRUE(IsDirectory(deep));
    EXPECT_TRUE(CreateFolderChain(deep + "/"));  // existing chain is fine

    ASSERT_TRUE(CreateEmptyFile(root_ + "/plain"));
    std::string error;
    EXPECT_FALSE(CreateFolderChain(root_ + "/plain/sub", &error));
    EXPECT_NE(error.find(root_ + "/plain"), std::string::npos) << error;
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
}

TEST_F(FileSystemTest, CreatesEmptyFileWithMode0666BeforeUmaskOnlyOnce) {
    const mode_t old = umask(0);
    const std::string path = root_ + "/empty";
    const bool created = CreateEmptyFile(path);
    umask(old);
    ASSERT_TRUE(created);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0666U);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_TRUE(Exists(path));
    EXPECT_FALSE(IsDirectory(path));

    std::string error;
    EXPECT_FALSE(CreateEmptyFile(path, &error));
    EXPECT_NE(error.find("File exists"), std::string::npos) << error;
    EXPECT_FALSE(Exists(root_ + "/missing"));
    EXPECT_FALSE(Exists(""));
}

TEST_F(FileSystemTest, SameFileFollowsLinksAndSpellings) {
    const std::string file = root_ + "/commands.txt";
    ASSERT_TRUE(CreateEmptyFile(file));
    ASSERT_TRUE(CreateEmptyFile(root_ + "/other.txt"));
    ASSERT_EQ(symlink(file.c_str(), (root_ + "/symbolic").c_str()), 0);
    ASSERT_EQ(link(file.c_str(), (root_ + "/hard").c_str()), 0);
    EXPECT_TRUE(SameFile(file, file));
    EXPECT_TRUE(SameFile(file, root_ + "/symbolic"));
    EXPECT_TRUE(SameFile(root_ + "/hard", file));
    EXPECT_TRUE(SameFile(file, root_ + "/./commands.txt"));
    EXPECT_FALSE(SameFile(file, root_ + "/other.txt"));
    EXPECT_FALSE(SameFile(file, root_ + "/missing.txt"));
    EXPECT_TRUE(SameFile(root_ + "/missing.txt", root_ + "/missing.txt")) << "same text";
    EXPECT_FALSE(SameFile("", file));
}

}  // namespace
}  // namespace tallix
