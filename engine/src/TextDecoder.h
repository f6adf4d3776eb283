// Turns the bytes of one received text into UTF-8 for the synthesiser: valid
// UTF-8 stays as it is; anything else is read in the configured encoding
// (normally the locale's), and bytes that do not decode become U+FFFD.
#pragma once

#include <iconv.h>

#include <memory>
#include <string>

namespace parlune {

class TextDecoder {
  public:
    // Null when iconv knows no conversion from `encoding` to UTF-8.
    static std::unique_ptr<TextDecoder> open(const std::string& encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // Not thread-safe: one decoder per worker.
    std::string toUtf8(const std::string& bytes);

    // The character set of the locale the environment names for LC_CTYPE
    // (LC_ALL, LC_CTYPE, LANG), whether or not the process has adopted it;
    // the codeset part of the name when that locale is not installed.
    static std::string localeEncoding();

    static bool isValidUtf8(const std::string& bytes);

    const std::string& encoding() const { return m_encoding; }

  private:
    TextDecoder(iconv_t cd, std::string encoding);

    iconv_t m_cd;
    std::string m_encoding;
};

}  // namespace parlune
