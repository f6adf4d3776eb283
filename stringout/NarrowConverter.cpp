#include "NarrowConverter.h"

#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstring>

namespace StringOut {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// Length of the UTF-8 sequence that starts with lead, 0 for a byte that
// cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::string NarrowConverter::environmentCodeset() {
    // LC_CTYPE as the environment names it, without setlocale().
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) {
        loc = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }
    if (loc == static_cast<locale_t>(nullptr)) return "ANSI_X3.4-1968";
    const char* name = nl_langinfo_l(CODESET, loc);
    std::string codeset = (name != nullptr && *name != '\0') ? name : "ANSI_X3.4-1968";
    freelocale(loc);
    return codeset;
}

NarrowConverter::NarrowConverter() : NarrowConverter(environmentCodeset()) {}

NarrowConverter::NarrowConverter(const std::string& codeset)
    : m_codeset(codeset), m_cd(kNoConverter), m_asciiUnchanged(false), m_replacement{'?'},
      m_replacementLength(1) {
    open();
}

NarrowConverter::~NarrowConverter() {
    if (m_cd != kNoConverter) iconv_close(m_cd);
}

void NarrowConverter::open() {
    m_cd = iconv_open(m_codeset.c_str(), "UTF-8");
    if (m_cd == kNoConverter) {
        m_codeset = "ANSI_X3.4-1968";
        m_asciiUnchanged = true;
        return;
    }
    char buf[sizeof(m_replacement)];
    const char question[] = "?";
    std::size_t n = convertOne(question, 1, buf, sizeof(buf));
    if (n > 0) {
        std::memcpy(m_replacement, buf, n);
        m_replacementLength = n;
    }
    // Every encoding a glibc locale uses keeps ASCII as it is; check rather
    // than assume, since the fast path below relies on it.
    m_asciiUnchanged = true;
    for (int c = 0x01; c < 0x80 && m_asciiUnchanged; ++c) {
        const char in = static_cast<char>(c);
        n = convertOne(&in, 1, buf, sizeof(buf));
        m_asciiUnchanged = (n == 1 && buf[0] == in);
    }
}

std::size_t NarrowConverter::convertOne(const char* ch, std::size_t n, char* buf, std::size_t bufSize) {
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    char* in = const_cast<char*>(ch);
    std::size_t inLeft = n;
    char* out = buf;
    std::size_t outLeft = bufSize;
    if (iconv(m_cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
        return 0;
    }
    // Back to the initial shift state, for the few stateful encodings.
    if (iconv(m_cd, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) return 0;
    return bufSize - outLeft;
}

std::size_t NarrowConverter::convert(const char* utf8, std::size_t length, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    const std::size_t capacity = size - 1;  // room for the terminator
    std::size_t written = 0;
    std::size_t pos = 0;
    char buf[16];
    while (pos < length) {
        const unsigned char lead = static_cast<unsigned char>(utf8[pos]);
        std::size_t seq = sequenceLength(lead);
        for (std::size_t i = 1; seq != 0 && i < seq; ++i) {
            if (pos + i >= length || !isContinuation(static_cast<unsigned char>(utf8[pos + i]))) seq = 0;
        }
        const char* piece = buf;
        std::size_t pieceLength = 0;
        if (seq == 1 && m_asciiUnchanged) {
            piece = utf8 + pos;
            pieceLength = 1;
        } else if (seq != 0 && m_cd != kNoConverter) {
            pieceLength = convertOne(utf8 + pos, seq, buf, sizeof(buf));
        }
        if (pieceLength == 0) {  // not representable, or not UTF-8
            piece = m_replacement;
            pieceLength = m_replacementLength;
        }
        if (pieceLength > capacity - written) break;  // the next character does not fit
        std::memcpy(out + written, piece, pieceLength);
        written += pieceLength;
        pos += (seq == 0) ? 1 : seq;
    }
    out[written] = '\0';
    return written;
}

}  // namespace StringOut
