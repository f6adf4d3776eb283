#include "TimedStringCdr.h"

namespace {
void putULong(std::vector<std::uint8_t>& out, std::uint32_t value, bool little) {
    for (int i = 0; i < 4; ++i) {
        int shift = little ? 8 * i : 8 * (3 - i);
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::uint32_t getULong(const std::uint8_t* p, bool little) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        int shift = little ? 8 * i : 8 * (3 - i);
        value |= static_cast<std::uint32_t>(p[i]) << shift;
    }
    return value;
}
}  // namespace

std::vector<std::uint8_t> TimedStringCdr::encode(const Sample& sample, bool littleEndian) {
    // A CORBA string ends at its first NUL.
    std::string text = sample.data.substr(0, sample.data.find('\0'));
    std::vector<std::uint8_t> out;
    out.reserve(12 + text.size() + 1);
    putULong(out, sample.sec, littleEndian);
    putULong(out, sample.nsec, littleEndian);
    putULong(out, static_cast<std::uint32_t>(text.size() + 1), littleEndian);
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    return out;
}

std::optional<TimedStringCdr::Sample> TimedStringCdr::decode(const std::uint8_t* bytes,
                                                             std::size_t size, bool littleEndian) {
    if (bytes == nullptr || size < 12) return std::nullopt;
    Sample sample;
    sample.sec = getULong(bytes, littleEndian);
    sample.nsec = getULong(bytes + 4, littleEndian);
    std::uint32_t length = getULong(bytes + 8, littleEndian);
    if (length == 0 || length > size - 12) return std::nullopt;
    const std::uint8_t* text = bytes + 12;
    if (text[length - 1] != 0) return std::nullopt;
    sample.data.assign(reinterpret_cast<const char*>(text), length - 1);
    return sample;
}
