#include "IorAddresses.h"

#include <algorithm>
#include <cstdint>

namespace RTC {
namespace corba {

namespace {

// A CDR reader over an encapsulation (first octet: byte order).
class CdrReader {
  public:
    explicit CdrReader(const std::vector<std::uint8_t>& data) : m_data(data) {
        if (!m_data.empty()) m_little = (m_data[0] & 1) != 0;
        m_pos = 1;
    }
    bool ok() const { return m_ok; }
    std::uint8_t octet() {
        if (m_pos + 1 > m_data.size()) return fail();
        return m_data[m_pos++];
    }
    std::uint16_t ushort() {
        align(2);
        if (m_pos + 2 > m_data.size()) return fail();
        const std::uint8_t* p = &m_data[m_pos];
        m_pos += 2;
        return m_little ? static_cast<std::uint16_t>(p[0] | p[1] << 8)
                        : static_cast<std::uint16_t>(p[1] | p[0] << 8);
    }
    std::uint32_t ulong() {
        align(4);
        if (m_pos + 4 > m_data.size()) return fail();
        const std::uint8_t* p = &m_data[m_pos];
        m_pos += 4;
        if (m_little) return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
        return p[3] | p[2] << 8 | p[1] << 16 | static_cast<std::uint32_t>(p[0]) << 24;
    }
    std::vector<std::uint8_t> octets() {
        const std::uint32_t n = ulong();
        if (!m_ok || n > m_data.size() - m_pos) {
            fail();
            return {};
        }
        std::vector<std::uint8_t> out(m_data.begin() + static_cast<long>(m_pos),
                                      m_data.begin() + static_cast<long>(m_pos + n));
        m_pos += n;
        return out;
    }
    std::string string() {
        std::vector<std::uint8_t> bytes = octets();
        if (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
        return std::string(bytes.begin(), bytes.end());
    }
    // An encapsulation inside the stream, read with its own byte order.
    std::vector<std::uint8_t> encapsulation() { return octets(); }

  private:
    void align(std::size_t n) {
        // Alignment counts from the start of the encapsulation.
        m_pos = (m_pos + n - 1) / n * n;
    }
    std::uint8_t fail() {
        m_ok = false;
        m_pos = m_data.size();
        return 0;
    }
    const std::vector<std::uint8_t>& m_data;
    std::size_t m_pos = 0;
    bool m_little = false;
    bool m_ok = true;
};

const std::uint32_t kTagInternetIop = 0;
const std::uint32_t kTagAlternateIiopAddress = 3;
const std::uint32_t kTagSslSecTrans = 20;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void addUnique(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

void readIiopProfile(const std::vector<std::uint8_t>& body, std::vector<std::string>& out) {
    CdrReader in(body);
    const std::uint8_t major = in.octet();
    const std::uint8_t minor = in.octet();
    const std::string host = in.string();
    const std::uint16_t port = in.ushort();
    in.octets();  // object key
    if (!in.ok() || major != 1) return;
    std::vector<std::string> found;
    std::uint16_t tls_port = 0;
    const std::uint32_t count = minor == 0 ? 0 : in.ulong();
    for (std::uint32_t i = 0; in.ok() && i < count; ++i) {
        const std::uint32_t tag = in.ulong();
        const std::vector<std::uint8_t> data = in.encapsulation();
        if (!in.ok()) break;
        CdrReader component(data);
        if (tag == kTagAlternateIiopAddress) {
            const std::string althost = component.string();
            const std::uint16_t altport = component.ushort();
            if (component.ok()) found.push_back(althost + ":" + std::to_string(altport));
        } else if (tag == kTagSslSecTrans) {
            component.ushort();  // target_supports
            component.ushort();  // target_requires
            const std::uint16_t p = component.ushort();
            if (component.ok()) tls_port = p;
        }
    }
    // A TLS-only listener publishes port 0 and its real port in the TLS component.
    addUnique(out, host + ":" + std::to_string(port == 0 && tls_port != 0 ? tls_port : port));
    for (const std::string& a : found) addUnique(out, a);
}

}  // namespace

std::vector<std::string> iorAddresses(const std::string& ior) {
    if (ior.compare(0, 4, "IOR:") != 0 || ior.size() % 2 != 0) return {};
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 4; i + 1 < ior.size(); i += 2) {
        const int hi = hexValue(ior[i]);
        const int lo = hexValue(ior[i + 1]);
        if (hi < 0 || lo < 0) return {};
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    CdrReader in(bytes);
    in.string();  // repository id
    const std::uint32_t profiles = in.ulong();
    std::vector<std::string> out;
    for (std::uint32_t i = 0; in.ok() && i < profiles; ++i) {
        const std::uint32_t tag = in.ulong();
        const std::vector<std::uint8_t> body = in.encapsulation();
        if (in.ok() && tag == kTagInternetIop) readIiopProfile(body, out);
    }
    return out;
}

}  // namespace corba
}  // namespace RTC
