// libFuzzer target: synthesises texts the way parlune-da-helper does (same
// espeak-ng calls and flags), to find texts that crash espeak-ng. Texts are
// built from tokens with repeat counts, or taken raw, so that mutations
// reach long runs of abbreviations, initials and mixed encodings.
// Built and run by ./run; FUZZ_DUMP=path writes the text of one input.
#include <espeak-ng/speak_lib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kTokens[] = {
    "a",
    "e",
    "o",
    "x",
    "k",
    "\xc3\xa9",
    "\xe9",
    ".",
    " ",
    "Mr",
    "St",
    "1",
    "0",
    "'",
    ",",
    "-",
    "Dr.",
    "\xc3\xa9.",
    "[[",
    "]]",
    "\n",
    ":",
    "a.",
    "A.",
    "\xc3\xbc",
    "\xc3\x9f",
    "\xc3\xa7",
    "\xc3\x89",
    "i.e.",
    "etc.",
    "e.g.",
    "\xf0\x9f\x98\x80",
    "\xc3",
    "1234567",
    "$",
    "%",
    "@",
    "!",
    "?",
    ";",
    "(",
    ")",
    "\"",
    "_",
    "#",
    "&",
    "*",
    "+",
    "/",
    "www.",
    "http://",
    ".com",
    "\xe2\x80\x94",
    "\xe2\x80\xa6",
    "\xd0\xb0",
    "\xce\xb1",
    "\xe3\x81\x82",
    "\xe4\xb8\x80",
    "\x80",
    "\xff",
    "\t",
    "99999999999999999999",
    "1.",
    "2nd",
    "3rd",
    "M.",
    "U.S.",
    "ii",
    "IV",
    "\\",
    "^",
    "~",
    "`",
    "|",
    "<",
    ">",
    "=",
    "\xef\xbb\xbf",
    "\xcc\x81",
    "\xd9\x85",
    "\xd7\x90",
    "-1",
    "0.5",
    "1,000",
    "\xc2\xa0",
    "ph",
    "th",
    "sch",
    "tion",
    "qu",
};
constexpr size_t kTokenCount = sizeof(kTokens) / sizeof(kTokens[0]);
constexpr size_t kMaxText = 16384;

int discard(short*, int, espeak_EVENT*) { return 0; }

// Odd first byte: the rest is the text. Even: (token, repeat) byte pairs.
std::string textOf(const uint8_t* data, size_t size) {
    std::string text;
    if (size == 0) {
        return text;
    }
    if (data[0] & 1) {
        return std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    }
    for (size_t i = 1; i + 1 < size && text.size() < kMaxText / 2; i += 2) {
        const char* token = kTokens[data[i] % kTokenCount];
        int repeat = data[i + 1] % 4 == 0 ? (data[i + 1] >> 2) * 3 + 1 : data[i + 1] % 4;
        for (int r = 0; r < repeat; ++r) {
            text += token;
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        bool ok = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 20, nullptr,
                                    espeakINITIALIZE_DONT_EXIT) > 0;
        espeak_SetSynthCallback(discard);
        const char* voice = std::getenv("FUZZ_VOICE");
        return ok && espeak_SetVoiceByName(voice != nullptr ? voice : "en") == EE_OK;
    }();
    if (!ready) {
        std::abort();
    }
    std::string text = textOf(data, size);
    if (const char* dump = std::getenv("FUZZ_DUMP")) {
        if (FILE* f = std::fopen(dump, "wb")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fclose(f);
        }
    }
    // The rates Play maps its speeds 50..300 onto.
    espeak_SetParameter(espeakRATE, 88 + (size > 0 ? data[size - 1] : 0) * 437 / 255, 0);
    // The library decodes every text to UTF-8 before the helper sees it.
    espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                 nullptr);
    return 0;
}
