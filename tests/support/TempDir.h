// A fresh private directory under $TMPDIR (or /tmp), removed with its
// contents when the test is done with it.
#pragma once

#include <string>
#include <vector>

#include "Files.h"

namespace testsupport {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Writes text to the file name in the directory, replacing it; false when that fails.
    bool write(const std::string& name, const std::string& text) const;
    // Names in the directory, sorted, without "." and "..".
    std::vector<std::string> names() const;
    // Names ending in suffix, sorted.
    std::vector<std::string> namesEndingIn(const std::string& suffix) const;

  private:
    std::string m_path;
};

}  // namespace testsupport
