#pragma once

#include <sys/types.h>

#include <string>

namespace tallix::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string file(const std::string& name) const;

    // Whole content of a file, empty when it cannot be read.
    static std::string ReadFile(const std::string& path);
    // Writes (replaces) a file; false when it cannot be written.
    static bool WriteFile(const std::string& path, const std::string& content);
    // Permission bits of a file or folder, 0 when it does not exist.
    static mode_t ModeOf(const std::string& path);

  private:
    std::string path_;
};

}  // namespace tallix::test
