#include "InPortSettings.h"
#include <coil/stringutil.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace RTC {

namespace {

const double kMaxTimeoutSeconds = 3600.0;

class Reader {
  public:
    Reader(const coil::Properties& connection, std::vector<std::string>* problems)
        : m_connection(connection), m_problems(problems) {}

    // The connection's value for key, the input side's own first; `name`
    // receives the key it was found under.
    std::string value(const std::string& key, std::string& name) const {
        name = "dataport.inport." + key;
        const std::string own = coil::eraseBothEndsBlank(m_connection.getProperty(name));
        if (!own.empty()) return own;
        name = "dataport." + key;
        return coil::eraseBothEndsBlank(m_connection.getProperty(name));
    }

    void problem(const std::string& name, const std::string& text, const std::string& why,
                 const std::string& used) const {
        if (m_problems != nullptr)
            m_problems->push_back(name + ": \"" + text + "\" " + why + "; " + used + " used");
    }

    std::size_t length(std::size_t def) const {
        std::string name;
        const std::string text = value("buffer.length", name);
        if (text.empty()) return def;
        errno = 0;
        char* end = nullptr;
        const long long n = std::strtoll(text.c_str(), &end, 10);
        if (errno != 0 || end == text.c_str() || *end != '\0' || n < 1 ||
            static_cast<unsigned long long>(n) > InPortSettings::kMaxLength) {
            problem(name, text,
                    "is not a whole number from 1 to " + std::to_string(InPortSettings::kMaxLength),
                    std::to_string(def));
            return def;
        }
        return static_cast<std::size_t>(n);
    }

    std::chrono::nanoseconds seconds(const std::string& key, std::chrono::nanoseconds def) const {
        std::string name;
        const std::string text = value(key, name);
        if (text.empty()) return def;
        errno = 0;
        char* end = nullptr;
        const double s = std::strtod(text.c_str(), &end);
        if (errno != 0 || end == text.c_str() || *end != '\0' || !std::isfinite(s) || s < 0 ||
            s > kMaxTimeoutSeconds) {
            const double d = std::chrono::duration<double>(def).count();
            problem(name, text, "is not a number of seconds from 0 to 3600", coil::otos(d));
            return def;
        }
        return std::chrono::nanoseconds(static_cast<long long>(s * 1e9));
    }

    // The index of the value among `choices`, or of `def` when unset or not one of them.
    std::size_t choice(const std::string& key, const std::vector<std::string>& choices,
                       std::size_t def) const {
        std::string name;
        const std::string text = value(key, name);
        if (text.empty()) return def;
        const std::string word = coil::normalize(text);
        for (std::size_t i = 0; i < choices.size(); ++i)
            if (word == choices[i]) return i;
        std::string list;
        for (std::size_t i = 0; i < choices.size(); ++i)
            list += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + choices[i];
        problem(name, text, "is not " + list, choices[def]);
        return def;
    }

  private:
    const coil::Properties& m_connection;
    std::vector<std::string>* m_problems;
};

}  // namespace

BufferSettings InPortSettings::defaults() {
    BufferSettings s;
    s.length = kDefaultLength;
    s.full = BufferSettings::Full::Block;
    s.writeTimeout = std::chrono::seconds(1);
    s.empty = BufferSettings::Empty::Readback;
    s.readTimeout = std::chrono::seconds(1);
    return s;
}

BufferSettings InPortSettings::fromConnection(const coil::Properties& connection,
                                              std::vector<std::string>* problems) {
    const BufferSettings def = defaults();
    Reader r(connection, problems);
    BufferSettings s;
    s.length = r.length(def.length);
    // In the order of the enumerations.
    s.full = static_cast<BufferSettings::Full>(r.choice("buffer.write.full_policy",
                                                        {"overwrite", "do_nothing", "block"},
                                                        static_cast<std::size_t>(def.full)));
    s.writeTimeout = r.seconds("buffer.write.timeout", def.writeTimeout);
    s.empty = static_cast<BufferSettings::Empty>(r.choice("buffer.read.empty_policy",
                                                          {"readback", "do_nothing", "block"},
                                                          static_cast<std::size_t>(def.empty)));
    s.readTimeout = r.seconds("buffer.read.timeout", def.readTimeout);
    return s;
}

}  // namespace RTC
