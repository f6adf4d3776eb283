// GetString() into a buffer with guard bytes behind it, as a caller sees it.
#pragma once

#include "StringInputForm.h"

#include <cstddef>
#include <string>
#include <vector>

namespace guitest {

struct Fetched {
    int result = 0;            // GetString's result
    std::string text;          // the zero-terminated string in the buffer (when result > 0)
    std::string bytes;         // the buffer's first result bytes
    bool untouched = false;    // the buffer still holds only the fill byte
    bool guardIntact = false;  // nothing was written behind the buffer
};

inline Fetched fetch(int size = 256) {
    const char kFill = '\x7f';
    const std::size_t guard = 64;
    std::vector<char> buf(static_cast<std::size_t>(size > 0 ? size : 0) + guard, kFill);
    Fetched f;
    f.result = GetString(buf.data(), size);
    const std::size_t len = static_cast<std::size_t>(size > 0 ? size : 0);
    if (f.result > 0) {
        f.text.assign(buf.data());
        f.bytes.assign(buf.data(), static_cast<std::size_t>(f.result));
    }
    f.untouched = true;
    for (std::size_t i = 0; i < len; ++i) f.untouched = f.untouched && buf[i] == kFill;
    f.guardIntact = true;
    for (std::size_t i = len; i < buf.size(); ++i) f.guardIntact = f.guardIntact && buf[i] == kFill;
    return f;
}

}  // namespace guitest
