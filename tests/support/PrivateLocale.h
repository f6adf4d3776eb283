// A locale compiled by localedef into a private directory, for tests that
// need a locale the machine has not generated (ja_JP.EUC-JP, fr_FR.ISO-8859-1
// on a fresh Debian). Needs only localedef and the locale sources of the
// "locales" package; nothing is installed system-wide. The directory is
// removed with the object.
#pragma once

#include <string>

#include "TempDir.h"

namespace testsupport {

class PrivateLocale {
  public:
    // Compiles the locale source `source` ("ja_JP") with the character map
    // `charmap` ("EUC-JP") under the name `name` ("ja_JP.EUC-JP").
    PrivateLocale(const std::string& source, const std::string& charmap, const std::string& name);
    PrivateLocale(const PrivateLocale&) = delete;
    PrivateLocale& operator=(const PrivateLocale&) = delete;

    bool built() const { return m_built; }
    // Why it was not built: localedef's exit and its standard error.
    const std::string& error() const { return m_error; }
    const std::string& name() const { return m_name; }
    // The directory to name in LOCPATH.
    const std::string& locpath() const { return m_dir.path(); }
    // Points this process's LOCPATH at the directory, so that a following
    // setlocale (or LC_ALL naming the locale) finds it.
    void use() const;

  private:
    TempDir m_dir;
    std::string m_name;
    bool m_built = false;
    std::string m_error;
};

}  // namespace testsupport
