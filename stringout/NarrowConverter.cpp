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

// Bytes to skip for the character at s: its UTF-8 length when it is a
// complete sequence, otherwise 1.
std::size_t characterLength(const char* s, std::size_t left) {
    const std::size_t n = sequenceLength(static_cast<unsigned char>(s[0]));
    if (n == 0 || n > left) return 1;
    for (std::size_t i = 1; i < n; ++i) {
        if (!isContinuation(static_cast<unsigned char>(s[i]))) return 1;
    }
    return n;
}

}  // namespace

namespace {

std::string lookUpEnvironmentCodeset() {
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

}  // namespace

std::string NarrowConverter::environmentCodeset() {
    // Looked up once per process: the environment does not change under a
    // running component, and glibc's newlocale() keeps a little memory on
    // every call when LOCPATH is set.
    static const std::string codeset = lookUpEnvironmentCodeset();
    return codeset;
}

NarrowConverter::NarrowConverter() : NarrowConverter(environmentCodeset()) {}

NarrowConverter::NarrowConverter(const std::string& codeset)
    : m_codeset(codeset), m_cd(kNoConverter), m_replacement{'?'}, m_replacementLength(1) {
    open();
}

NarrowConverter::~NarrowConverter() {
    if (m_cd != kNoConverter) iconv_close(m_cd);
}

void NarrowConverter::open() {
    m_cd = iconv_open(m_codeset.c_str(), "UTF-8");
    if (m_cd == kNoConverter) {
        m_codeset = "ANSI_X3.4-1968";
        return;
    }
    char buf[sizeof(m_replacement)];
    const char question[] = "?";
    const std::size_t n = convertOne(question, 1, buf, sizeof(buf));
    if (n > 0) {
        std::memcpy(m_replacement, buf, n);
        m_replacementLength = n;
    }
}

std::size_t NarrowConverter::convertOne(const char* ch, std::size_t n, char* buf,
                                        std::size_t bufSize) {
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

std::size_t NarrowConverter::convert(const char* utf8, std::size_t length, char* out,
                                     std::size_t size) {
    if (out == nullptr || size == 0) return 0;
    char* dst = out;
    std::size_t room = size - 1;  // one byte stays for the terminator
    const char* src = utf8;
    std::size_t left = length;
    if (m_cd != kNoConverter) iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    while (left > 0) {
        if (m_cd != kNoConverter) {
            // iconv converts whole characters only: when the next one does
            // not fit it stops in front of it (E2BIG), which is the cut.
            char* in = const_cast<char*>(src);
            const std::size_t r = iconv(m_cd, &in, &left, &dst, &room);
            src = in;
            if (r != static_cast<std::size_t>(-1) || errno == E2BIG) break;
            // EILSEQ or EINVAL: a character the encoding lacks, or bytes
            // that are not UTF-8; replaced below.
        } else if (static_cast<unsigned char>(*src) < 0x80) {
            if (room == 0) break;
            *dst++ = *src++;
            --room;
            --left;
            continue;
        }
        if (m_replacementLength > room) break;
        std::memcpy(dst, m_replacement, m_replacementLength);
        dst += m_replacementLength;
        room -= m_replacementLength;
        const std::size_t skip = characterLength(src, left);
        src += skip;
        left -= skip;
    }
    // Back to the initial shift state (writes nothing for the encodings of
    // glibc locales, none of which is stateful).
    if (m_cd != kNoConverter) iconv(m_cd, nullptr, nullptr, &dst, &room);
    *dst = '\0';
    return static_cast<std::size_t>(dst - out);
}

}  // namespace StringOut
