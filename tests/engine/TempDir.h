// A fresh directory under $TMPDIR (or /tmp), removed with its contents.
#pragma once

#include <string>
#include <vector>

namespace parlune::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Names in the directory, sorted, without "." and "..".
    std::vector<std::string> names() const;
    // Names ending in `suffix`, sorted.
    std::vector<std::string> namesEndingIn(const std::string& suffix) const;

  private:
    std::string m_path;
};

}  // namespace parlune::test
