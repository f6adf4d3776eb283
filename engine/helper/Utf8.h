// Reading UTF-8 one code point at a time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace parlune::helper::utf8 {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point at `text[pos]` and the position after it; kInvalid (and
// one byte consumed) for a byte that does not start a valid sequence.
char32_t next(std::string_view text, size_t& pos);

void append(std::string& out, char32_t cp);

}  // namespace parlune::helper::utf8
