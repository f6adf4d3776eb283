#include "TextDecoder.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <utility>

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

bool isUtf8Name(const std::string& codeset) {
    std::string letters;
    for (char c : codeset) {
        if (c != '-' && c != '_') {
            letters += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return letters == "UTF8";
}

// The Windows ANSI code page(s) of a locale's language: what a peer typing
// in that language on Windows sends.
std::vector<std::string> ansiCodePages(const std::string& localeName) {
    size_t languageEnd = localeName.find_first_of("_.@");
    std::string language = localeName.substr(0, languageEnd);
    std::string territory;
    if (languageEnd != std::string::npos && localeName[languageEnd] == '_') {
        size_t territoryEnd = localeName.find_first_of(".@", languageEnd);
        territory = localeName.substr(languageEnd + 1, territoryEnd - languageEnd - 1);
    }
    if (language == "ja") {
        return {"CP932", "EUC-JP"};  // Windows, then older Unix peers
    }
    if (language == "zh") {
        bool traditional = territory == "TW" || territory == "HK" || territory == "MO";
        return {traditional ? "BIG5" : "GB18030"};
    }
    if (language == "ko") {
        return {"CP949"};
    }
    // The other single-byte Windows code pages, by language.
    static const std::pair<const char*, const char*> kSingleByte[] = {
        {"ru", "CP1251"}, {"uk", "CP1251"}, {"be", "CP1251"}, {"bg", "CP1251"}, {"mk", "CP1251"},
        {"sr", "CP1251"}, {"kk", "CP1251"}, {"pl", "CP1250"}, {"cs", "CP1250"}, {"sk", "CP1250"},
        {"hu", "CP1250"}, {"sl", "CP1250"}, {"hr", "CP1250"}, {"ro", "CP1250"}, {"bs", "CP1250"},
        {"sq", "CP1250"}, {"el", "CP1253"}, {"tr", "CP1254"}, {"az", "CP1254"}, {"he", "CP1255"},
        {"ar", "CP1256"}, {"fa", "CP1256"}, {"ur", "CP1256"}, {"lt", "CP1257"}, {"lv", "CP1257"},
        {"et", "CP1257"}, {"vi", "CP1258"}, {"th", "CP874"}};
    for (const auto& [name, codePage] : kSingleByte) {
        if (language == name) {
            return {codePage};
        }
    }
    return {"CP1252"};
}

// Characters a neighbouring code page's text becomes but few people type:
// C1 controls, private use (user-defined areas), half-width katakana.
size_t unlikelyCharacters(const std::string& utf8) {
    size_t count = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (i + length > utf8.size()) {
            break;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if ((code >= 0x80 && code <= 0x9F) || (code >= 0xE000 && code <= 0xF8FF) ||
            (code >= 0xFF61 && code <= 0xFF9F)) {
            ++count;
        }
        i += length;
    }
    return count;
}

}  // namespace

std::unique_ptr<TextDecoder> TextDecoder::open(const std::vector<std::string>& encodings) {
    std::unique_ptr<TextDecoder> decoder(new TextDecoder);
    for (const std::string& encoding : encodings) {
        iconv_t opened = ::iconv_open("UTF-8", encoding.c_str());
        if (opened == reinterpret_cast<iconv_t>(-1)) {
            continue;
        }
        Iconv cd(opened);  // closed here should the list fail to grow
        decoder->m_converters.push_back(std::move(cd));
    }
    if (decoder->m_converters.empty()) {
        return nullptr;
    }
    return decoder;
}

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

std::vector<std::string> TextDecoder::localeEncodings() {
    std::string codeset = localeEncoding();
    if (!isUtf8Name(codeset)) {
        return {codeset};
    }
    // Valid UTF-8 never reaches a decoder, so under a UTF-8 locale the rest
    // most likely comes from a Windows peer typing in the same language.
    return ansiCodePages(ctypeLocaleName());
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
    std::string best;
    size_t bestUndecodable = 0;
    size_t bestUnlikely = 0;
    for (size_t i = 0; i < m_converters.size(); ++i) {
        size_t undecodable = 0;
        std::string text = decode(m_converters[i].get(), bytes, undecodable);
        if (m_converters.size() == 1) {
            return text;
        }
        size_t unlikely = unlikelyCharacters(text);
        if (undecodable == 0 && unlikely == 0) {
            return text;
        }
        if (i == 0 || undecodable < bestUndecodable ||
            (undecodable == bestUndecodable && unlikely < bestUnlikely)) {
            best = std::move(text);
            bestUndecodable = undecodable;
            bestUnlikely = unlikely;
        }
    }
    return best;
}

std::string TextDecoder::decode(iconv_t cd, const std::string& bytes, size_t& undecodable) {
    std::string out;
    out.reserve(bytes.size() * 2);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t n = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (n != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;  // the buffer was full; go on where it stopped
        }
        // EILSEQ (no such character) or EINVAL (cut short at the end).
        out += kReplacement;
        ++undecodable;
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush a pending shift sequence (stateful encodings).
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    ::iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    return out;
}

}  // namespace parlune
