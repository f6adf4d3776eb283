#include "Viseme.h"

#include <cstring>

#include "Utf8.h"

namespace parlune::helper {

namespace {

struct Entry {
    const char* symbol;
    const char* viseme;
};

// Affricates, tried before their first letter alone.
constexpr Entry kIpaPairs[] = {
    {"tʃ", "CH"}, {"dʒ", "CH"}, {"tɕ", "CH"}, {"dʑ", "CH"}, {"ts", "SS"}, {"dz", "SS"},
};

// Each viseme's IPA letters.
constexpr Entry kIpaLetters[] = {
    {"pbmɓɸβɱ", "PP"},
    {"fvʋ", "FF"},
    {"θð", "TH"},
    {"tdʈɖɾʔɗ", "DD"},
    {"kgɡŋxɣqɢχʁhɦħcɟçʝɰ", "kk"},
    {"ʃʒɕʑʂʐ", "CH"},
    {"sz", "SS"},
    {"nlɲɳɫʎɬɴɭɮ", "nn"},
    {"rɹɻʀɽɚɝʙ", "RR"},
    {"aɑæʌɐäã", "aa"},
    {"eɛəɜɘøœɵẽɞ", "E"},
    {"iɪyjɨʏĩ", "ih"},
    {"oɔɒɤõ", "oh"},
    {"uʊwɯʉɥũ", "ou"},
};

const char* ipaLetter(char32_t cp) {
    for (const Entry& row : kIpaLetters) {
        const std::string_view letters = row.symbol;
        size_t pos = 0;
        while (pos < letters.size()) {
            if (utf8::next(letters, pos) == cp) {
                return row.viseme;
            }
        }
    }
    return nullptr;
}

// Signs that only modify the letter after them.
bool isPrefix(char32_t cp) { return cp == U'ˈ' || cp == U'ˌ' || cp == '\'' || cp == ','; }

const char* lookup(const Entry* table, size_t size, std::string_view symbol) {
    for (size_t i = 0; i < size; ++i) {
        if (symbol == table[i].symbol) {
            return table[i].viseme;
        }
    }
    return nullptr;
}

// flite's US English phones in IPA.
constexpr Entry kFlite[] = {
    {"aa", "ɑ"}, {"ae", "æ"}, {"ah", "ʌ"},  {"ao", "ɔ"}, {"aw", "a"}, {"ax", "ə"}, {"axr", "ɚ"},
    {"ay", "a"}, {"b", "b"},  {"ch", "tʃ"}, {"d", "d"},  {"dh", "ð"}, {"eh", "ɛ"}, {"er", "ɝ"},
    {"ey", "e"}, {"f", "f"},  {"g", "g"},   {"hh", "h"}, {"ih", "ɪ"}, {"iy", "i"}, {"jh", "dʒ"},
    {"k", "k"},  {"l", "l"},  {"m", "m"},   {"n", "n"},  {"ng", "ŋ"}, {"ow", "o"}, {"oy", "ɔ"},
    {"p", "p"},  {"r", "ɹ"},  {"s", "s"},   {"sh", "ʃ"}, {"t", "t"},  {"th", "θ"}, {"uh", "ʊ"},
    {"uw", "u"}, {"v", "v"},  {"w", "w"},   {"y", "j"},  {"z", "z"},  {"zh", "ʒ"},
};

// Open JTalk's phonemes in IPA (the devoiced vowels in capitals as voiced).
constexpr Entry kOpenJTalk[] = {
    {"a", "a"},   {"i", "i"},   {"u", "ɯ"},  {"e", "e"},  {"o", "o"},  {"A", "a"},  {"I", "i"},
    {"U", "ɯ"},   {"E", "e"},   {"O", "o"},  {"N", "ɴ"},  {"k", "k"},  {"ky", "k"}, {"g", "g"},
    {"gy", "g"},  {"s", "s"},   {"sh", "ɕ"}, {"z", "z"},  {"j", "dʑ"}, {"t", "t"},  {"ty", "t"},
    {"ts", "ts"}, {"ch", "tɕ"}, {"d", "d"},  {"dy", "d"}, {"n", "n"},  {"ny", "ɲ"}, {"h", "h"},
    {"hy", "ç"},  {"f", "ɸ"},   {"m", "m"},  {"my", "m"}, {"y", "j"},  {"r", "ɾ"},  {"ry", "ɾ"},
    {"w", "w"},   {"p", "p"},   {"py", "p"}, {"b", "b"},  {"by", "b"}, {"v", "v"},
};

}  // namespace

const char* Viseme::fromIpa(std::string_view ipa) {
    size_t pos = 0;
    while (pos < ipa.size()) {
        const size_t start = pos;
        const char32_t cp = utf8::next(ipa, pos);
        if (isPrefix(cp)) {
            continue;
        }
        const std::string_view rest = ipa.substr(start);
        for (const Entry& pair : kIpaPairs) {
            if (rest.substr(0, std::strlen(pair.symbol)) == pair.symbol) {
                return pair.viseme;
            }
        }
        const char* viseme = ipaLetter(cp);
        return viseme != nullptr ? viseme : kSilence;
    }
    return kSilence;  // "_", "", a pause
}

const char* Viseme::fromFlite(std::string_view phone) {
    const char* ipa = lookup(kFlite, sizeof kFlite / sizeof kFlite[0], phone);
    return ipa != nullptr ? fromIpa(ipa) : kSilence;
}

const char* Viseme::fromOpenJTalk(std::string_view phoneme) {
    const char* ipa = lookup(kOpenJTalk, sizeof kOpenJTalk / sizeof kOpenJTalk[0], phoneme);
    return ipa != nullptr ? fromIpa(ipa) : kSilence;  // pau, sil, cl
}

}  // namespace parlune::helper
