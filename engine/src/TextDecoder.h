// Turns the bytes of one received text into UTF-8 for the synthesiser: valid
// UTF-8 stays as it is; anything else is read in the configured encoding
// (normally the locale's), and bytes that do not decode become U+FFFD.
#pragma once

#include <iconv.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace parlune {

class TextDecoder {
  public:
    // Reads text that is not UTF-8 in the first of `encodings` that decodes
    // it cleanly (every byte a character, none of them private-use or
    // half-width katakana, which is what a text in a neighbouring code page
    // turns into); failing that, in the one with the fewest undecodable bytes,
    // then the fewest such characters, the earlier on a tie. Encodings iconv
    // does not know are left out; null when it knows none of them.
    static std::unique_ptr<TextDecoder> open(const std::vector<std::string>& encodings);

    // Not thread-safe: one decoder per worker.
    std::string toUtf8(const std::string& bytes);

    // The character set of the locale the environment names for LC_CTYPE
    // (LC_ALL, LC_CTYPE, LANG), whether or not the process has adopted it;
    // the codeset part of the name when that locale is not installed.
    static std::string localeEncoding();

    // What a text that is not UTF-8 is read in when nothing is configured:
    // the locale's character set; under a UTF-8 locale, the Windows ANSI code
    // page of the locale's language (ja: CP932, then EUC-JP; zh: GB18030, or
    // BIG5 in TW, HK and MO; ko: CP949; any other: CP1252).
    static std::vector<std::string> localeEncodings();

    static bool isValidUtf8(const std::string& bytes);

  private:
    TextDecoder() = default;

    struct IconvClose {
        void operator()(iconv_t cd) const { ::iconv_close(cd); }
    };
    using Iconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvClose>;

    // Decodes with one descriptor; counts the bytes that became U+FFFD.
    static std::string decode(iconv_t cd, const std::string& bytes, size_t& undecodable);

    std::vector<Iconv> m_converters;
};

}  // namespace parlune
