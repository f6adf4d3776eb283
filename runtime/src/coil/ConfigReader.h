// Reads configuration text ("key: value" lines, as in rtc.conf) into
// Properties without trusting it: a NUL byte marks the input as not text and
// nothing of it is used; an over-long line, bytes that are not UTF-8, a key
// nested deeper than kMaxDepth or a line without a key is skipped. Every
// skipped line is noted as a problem with its line number.
#pragma once

#include <coil/Properties.h>

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace coil {

class ConfigReader {
  public:
    // Longest accepted line, continuation lines joined.
    static constexpr std::size_t kMaxLine = 64 * 1024;
    // Most dot-separated parts of one key ("a.b.c" has 3).
    static constexpr std::size_t kMaxDepth = 32;
    // Most problems kept; problemCount() counts them all.
    static constexpr std::size_t kMaxProblems = 100;

    struct Problem {
        int line;  // 1-based; 0 when the problem concerns the whole input
        std::string reason;
    };

    // Reads in; on success merges every accepted entry into out and returns
    // true. Returns false, leaving out untouched, when in is not text.
    bool read(std::istream& in, Properties& out);
    // Opens and reads a file: false when it cannot be opened, is a directory
    // or is not text (problems() then says why, with line 0).
    bool readFile(const std::string& path, Properties& out);
    // The first kMaxProblems problems, in input order.
    const std::vector<Problem>& problems() const { return m_problems; }
    std::size_t problemCount() const { return m_problemCount; }

    // Why key/value cannot be an entry ("" when it can): no key, a NUL byte,
    // not UTF-8, too long or nested too deep.
    static std::string checkEntry(const std::string& key, const std::string& value);
    // True when text is well-formed UTF-8 (no overlong forms, no surrogates).
    static bool isUtf8(const std::string& text);
    // text cut to at most max bytes (an ellipsis marks the cut) with every byte
    // that is not printable ASCII written as \xNN: safe to echo in a message.
    static std::string printable(const std::string& text, std::size_t max = 80);

  private:
    // Reads one physical line into line; false at the end of input. long_line
    // tells that the line was cut at kMaxLine (the rest is skipped).
    bool nextLine(std::istream& in, std::string& line, bool& long_line, bool& has_nul);
    void note(int line, const std::string& reason);

    std::vector<Problem> m_problems;
    std::size_t m_problemCount = 0;
};

}  // namespace coil
