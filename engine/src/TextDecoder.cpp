#include "TextDecoder.h"

#include <langinfo.h>
#include <locale.h>

#include <cerrno>
#include <cstdlib>

namespace parlune {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The first non-empty of the variables that choose LC_CTYPE.
std::string ctypeLocaleName() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

}  // namespace

std::unique_ptr<TextDecoder> TextDecoder::open(const std::string& encoding) {
    iconv_t cd = ::iconv_open("UTF-8", encoding.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    try {
        return std::unique_ptr<TextDecoder>(new TextDecoder(cd, encoding));
    } catch (...) {
        ::iconv_close(cd);  // no decoder owns it yet
        throw;
    }
}

TextDecoder::TextDecoder(iconv_t cd, std::string encoding)
    : m_cd(cd), m_encoding(std::move(encoding)) {}

TextDecoder::~TextDecoder() { ::iconv_close(m_cd); }

std::string TextDecoder::localeEncoding() {
    locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale != static_cast<locale_t>(0)) {
        std::string codeset = ::nl_langinfo_l(CODESET, locale);
        ::freelocale(locale);
        if (!codeset.empty()) {
            return codeset;
        }
    }
    // Not installed here: "ja_JP.eucJP@mod" still says which bytes to expect.
    std::string name = ctypeLocaleName();
    size_t dot = name.find('.');
    if (dot == std::string::npos) {
        return "ANSI_X3.4-1968";
    }
    std::string codeset = name.substr(dot + 1, name.find('@', dot) - dot - 1);
    return codeset.empty() ? "ANSI_X3.4-1968" : codeset;
}

bool TextDecoder::isValidUtf8(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned char* end = p + bytes.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        size_t length;
        unsigned int min;
        unsigned int code;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2, min = 0x80, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, min = 0x800, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, min = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (static_cast<size_t>(end - p) < length) {
            return false;
        }
        for (size_t i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        p += length;
    }
    return true;
}

std::string TextDecoder::toUtf8(const std::string& bytes) {
    if (isValidUtf8(bytes)) {
        return bytes;
    }
    std::string out;
    out.reserve(bytes.size() * 2);
    ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t n = ::iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (n != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;  // the buffer was full; go on where it stopped
        }
        // EILSEQ (no such character) or EINVAL (cut short at the end).
        out += kReplacement;
        ++in;
        --inLeft;
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush a pending shift sequence (stateful encodings).
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    ::iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    return out;
}

}  // namespace parlune
