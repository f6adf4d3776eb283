#include "PublisherSettings.h"
#include <coil/stringutil.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace RTC {

namespace {

// Bounds of our own, so that a bad request cannot exhaust memory or time.
const std::size_t kMaxBufferLength = 65536;
const double kMaxTimeoutSeconds = 3600.0;
const double kMaxPushRate = 100000.0;

class Reader {
  public:
    Reader(const coil::Properties& connection, std::string* error)
        : m_connection(connection), m_error(error) {}

    // The connection's value for key: the output side's own first.
    std::string value(const std::string& key) const {
        const std::string& own = m_connection.getProperty("dataport.outport." + key);
        if (!own.empty()) return coil::eraseBothEndsBlank(own);
        return coil::eraseBothEndsBlank(m_connection.getProperty("dataport." + key));
    }

    bool fail(const std::string& key, const std::string& why) const {
        if (m_error != nullptr) *m_error = "dataport." + key + ": " + why;
        return false;
    }

    // A whole non-negative integer, or the default when unset.
    bool count(const std::string& key, std::size_t def, std::size_t max, std::size_t& out) const {
        const std::string text = value(key);
        if (text.empty()) {
            out = def;
            return true;
        }
        errno = 0;
        char* end = nullptr;
        const long long n = std::strtoll(text.c_str(), &end, 10);
        if (errno != 0 || end == text.c_str() || *end != '\0' || n < 0 ||
            static_cast<unsigned long long>(n) > max) {
            return fail(key,
                        "\"" + text + "\" is not a whole number from 0 to " + std::to_string(max));
        }
        out = static_cast<std::size_t>(n);
        return true;
    }

    // A number of seconds from 0 up, or the default when unset.
    bool seconds(const std::string& key, std::chrono::nanoseconds def,
                 std::chrono::nanoseconds& out) const {
        const std::string text = value(key);
        if (text.empty()) {
            out = def;
            return true;
        }
        double s = 0;
        if (!number(text, s) || s < 0 || s > kMaxTimeoutSeconds) {
            return fail(key, "\"" + text + "\" is not a number of seconds from 0 to 3600");
        }
        out = std::chrono::nanoseconds(static_cast<long long>(s * 1e9));
        return true;
    }

    static bool number(const std::string& text, double& out) {
        errno = 0;
        char* end = nullptr;
        out = std::strtod(text.c_str(), &end);
        return errno == 0 && end != text.c_str() && *end == '\0' && std::isfinite(out);
    }

  private:
    const coil::Properties& m_connection;
    std::string* m_error;
};

bool readKind(const Reader& r, PublisherSettings& s) {
    // io_mode names the publisher where both are given.
    std::string key = "io_mode";
    std::string kind = coil::normalize(r.value(key));
    if (kind.empty()) {
        key = "subscription_type";
        kind = coil::normalize(r.value(key));
    }
    if (kind.empty() || kind == "flush" || kind == "block") {
        s.kind = PublisherSettings::Kind::Flush;
    } else if (kind == "new" || kind == "nonblock") {
        s.kind = PublisherSettings::Kind::New;
    } else if (kind == "periodic") {
        s.kind = PublisherSettings::Kind::Periodic;
    } else {
        return r.fail(key, "\"" + kind + "\" is not offered (" + kOutPortSubscriptionTypes + ")");
    }
    return true;
}

bool readPublisher(const Reader& r, PublisherSettings& s) {
    const std::string policy = coil::normalize(r.value("publisher.push_policy"));
    if (policy.empty() || policy == "new") {
        s.policy = PublisherSettings::PushPolicy::New;
    } else if (policy == "all") {
        s.policy = PublisherSettings::PushPolicy::All;
    } else if (policy == "fifo") {
        s.policy = PublisherSettings::PushPolicy::Fifo;
    } else if (policy == "skip") {
        s.policy = PublisherSettings::PushPolicy::Skip;
    } else {
        return r.fail("publisher.push_policy", "\"" + policy + "\" is not all, fifo, skip or new");
    }
    std::size_t skip = 0;
    if (!r.count("publisher.skip_count", 0, 1000000, skip)) return false;
    s.skipCount = static_cast<int>(skip);

    if (s.kind != PublisherSettings::Kind::Periodic) return true;
    std::string key = "publisher.push_rate";
    std::string rate = r.value(key);
    if (rate.empty()) {
        key = "push_rate";
        rate = r.value(key);
    }
    if (rate.empty()) return r.fail("publisher.push_rate", "a periodic connection needs it (Hz)");
    if (!Reader::number(rate, s.pushRate) || s.pushRate <= 0 || s.pushRate > kMaxPushRate) {
        return r.fail(key, "\"" + rate + "\" is not a rate in Hz above 0 and up to 100000");
    }
    return true;
}

bool readBuffer(const Reader& r, BufferSettings& b) {
    const std::string type = coil::normalize(r.value("buffer_type"));
    if (!type.empty() && type != "ring_buffer")
        return r.fail("buffer_type", "\"" + type + "\" is not offered (ring_buffer)");
    std::size_t length = 0;
    if (!r.count("buffer.length", 8, kMaxBufferLength, length)) return false;
    if (length == 0) return r.fail("buffer.length", "must be at least 1");
    b.length = length;

    const std::string full = coil::normalize(r.value("buffer.write.full_policy"));
    if (full.empty() || full == "overwrite") {
        b.full = BufferSettings::Full::Overwrite;
    } else if (full == "do_nothing") {
        b.full = BufferSettings::Full::DoNothing;
    } else if (full == "block") {
        b.full = BufferSettings::Full::Block;
    } else {
        return r.fail("buffer.write.full_policy",
                      "\"" + full + "\" is not overwrite, do_nothing or block");
    }
    const std::string empty = coil::normalize(r.value("buffer.read.empty_policy"));
    if (empty.empty() || empty == "readback") {
        b.empty = BufferSettings::Empty::Readback;
    } else if (empty == "do_nothing") {
        b.empty = BufferSettings::Empty::DoNothing;
    } else if (empty == "block") {
        b.empty = BufferSettings::Empty::Block;
    } else {
        return r.fail("buffer.read.empty_policy",
                      "\"" + empty + "\" is not readback, do_nothing or block");
    }
    return r.seconds("buffer.write.timeout", std::chrono::seconds(1), b.writeTimeout) &&
           r.seconds("buffer.read.timeout", std::chrono::seconds(1), b.readTimeout);
}

}  // namespace

bool PublisherSettings::fromConnection(const coil::Properties& connection,
                                       PublisherSettings& settings, std::string* error) {
    Reader r(connection, error);
    PublisherSettings s;
    if (!readKind(r, s) || !readPublisher(r, s) || !readBuffer(r, s.buffer)) return false;
    const std::string thread = coil::normalize(r.value("thread_type"));
    if (!thread.empty() && thread != "default")
        return r.fail("thread_type", "\"" + thread + "\" is not offered (default)");
    const std::string marshaling = coil::normalize(r.value("marshaling_type"));
    if (!marshaling.empty() && marshaling != "cdr")
        return r.fail("marshaling_type", "\"" + marshaling + "\" is not offered (cdr)");
    settings = s;
    return true;
}

const char* PublisherSettings::kindName() const {
    switch (kind) {
        case Kind::Flush:
            return "flush";
        case Kind::New:
            return "new";
        case Kind::Periodic:
            return "periodic";
    }
    return "flush";
}

}  // namespace RTC
