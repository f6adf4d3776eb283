// UTF-8 text (what the window toolkit holds) into the narrow multibyte
// encoding of the user's locale, the bytes that the component publishes.
//
// The target encoding is the one the environment names (LC_ALL, LC_CTYPE,
// LANG), that is what setlocale(LC_CTYPE, "") would select. It is looked up
// with newlocale(), so the module neither depends on nor changes the host
// process's own locale: a host that never calls setlocale gets the same bytes
// as one that does. An unknown or unusable locale falls back to ASCII.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>

namespace StringOut {

class NarrowConverter {
  public:
    // Converts into the encoding of the environment's locale.
    NarrowConverter();
    // Converts into the named encoding (an iconv name such as "ISO-8859-1").
    explicit NarrowConverter(const std::string& codeset);
    ~NarrowConverter();
    NarrowConverter(const NarrowConverter&) = delete;
    NarrowConverter& operator=(const NarrowConverter&) = delete;

    // Writes the converted text and a terminating zero into out, which holds
    // size bytes (size >= 1). Text that does not fit is cut after the last
    // whole character that does, so a multibyte character is never split.
    // Characters the encoding cannot represent, and bytes that are not
    // UTF-8, become the replacement character '?'. Returns the number of
    // bytes written before the terminator. Not safe for concurrent use.
    std::size_t convert(const char* utf8, std::size_t length, char* out, std::size_t size);

    // The encoding written, e.g. "UTF-8", "ISO-8859-1", "ANSI_X3.4-1968".
    const std::string& codeset() const { return m_codeset; }

    // The encoding of the environment's locale (ASCII's name when the
    // environment names no installed locale), looked up on the first call.
    static std::string environmentCodeset();

  private:
    void open();
    // Converts one UTF-8 character into buf; returns the bytes written, 0
    // if the target encoding cannot represent it.
    std::size_t convertOne(const char* ch, std::size_t n, char* buf, std::size_t bufSize);

    std::string m_codeset;
    iconv_t m_cd;  // (iconv_t)-1 when no converter exists: ASCII only
    char m_replacement[8];
    std::size_t m_replacementLength;
};

}  // namespace StringOut
