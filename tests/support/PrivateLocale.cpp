#include "PrivateLocale.h"

#include <stdlib.h>

#include <chrono>

#include "Process.h"

namespace testsupport {

PrivateLocale::PrivateLocale(const std::string& source, const std::string& charmap,
                             const std::string& name)
    : m_name(name) {
    const RunResult r = run({"localedef", "-i", source, "-f", charmap, m_dir.file(name)}, {},
                            std::chrono::seconds(120));
    m_built = r.started && !r.timedOut && r.status == 0;
    if (m_built) return;
    m_error = "localedef -i " + source + " -f " + charmap + " " + name + ": ";
    if (!r.started)
        m_error += "could not be started (is the \"locales\" package installed?)";
    else if (r.timedOut)
        m_error += "did not finish within 120 s";
    else
        m_error += "exit status " + std::to_string(r.status) + ": " + r.err;
}

void PrivateLocale::use() const { ::setenv("LOCPATH", m_dir.path().c_str(), 1); }

}  // namespace testsupport
