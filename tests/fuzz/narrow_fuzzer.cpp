// libFuzzer target: the window's UTF-8 text (any bytes) converted into the
// narrow encodings the component publishes in, into buffers of every size.
// The output must be terminated inside the buffer, never longer than asked,
// and in ASCII hold only ASCII.
#include <NarrowConverter.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kCodesets[] = {"UTF-8",          "ISO-8859-1", "EUC-JP",
                                 "ANSI_X3.4-1968", "SHIFT_JIS",  "no-such-codeset"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<std::unique_ptr<StringOut::NarrowConverter>> converters = [] {
        std::vector<std::unique_ptr<StringOut::NarrowConverter>> all;
        for (const char* name : kCodesets) {
            all.push_back(std::make_unique<StringOut::NarrowConverter>(name));
        }
        return all;
    }();
    if (size < 2) return 0;
    // First byte: which encoding; second: the output buffer's size.
    StringOut::NarrowConverter& conv = *converters[data[0] % converters.size()];
    const std::size_t out_size = 1 + data[1] * 4;
    const char* text = reinterpret_cast<const char*>(data + 2);
    const std::size_t length = size - 2;

    std::vector<char> out(out_size + 1, '\x7f');
    const std::size_t written = conv.convert(text, length, out.data(), out_size);
    if (written >= out_size) std::abort();
    if (out[written] != '\0') std::abort();
    if (out[out_size] != '\x7f') std::abort();
    if (std::strlen(out.data()) > written) std::abort();
    if (conv.codeset() == "ANSI_X3.4-1968") {
        for (std::size_t i = 0; i < written; ++i) {
            if (static_cast<unsigned char>(out[i]) >= 0x80) std::abort();
        }
    }
    return 0;
}
