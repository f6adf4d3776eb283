#include "JapaneseAnalysis.h"

// Open JTalk's headers name each other's types: these three first.
#include "jpcommon.h"
#include "mecab.h"
#include "njd.h"

#include "mecab2njd.h"
#include "njd2jpcommon.h"
#include "njd_set_accent_phrase.h"
#include "njd_set_accent_type.h"
#include "njd_set_digit.h"
#include "njd_set_long_vowel.h"
#include "njd_set_pronunciation.h"
#include "njd_set_unvoiced_vowel.h"
#include "text2mecab.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "Utf8.h"

namespace parlune::helper {

namespace {

// text2mecab writes without a bound: a character grows at most from one
// byte to three (ASCII to full width).
constexpr size_t kGrowth = 3;
constexpr std::string_view kWideSpace = "\u3000";
constexpr size_t kNone = std::string::npos;

std::string convert(std::string_view input) {
    // A character's lead byte tells the converter its length: a character
    // cut short reads the padding, not past the string.
    std::string in(input);
    in.append(4, '\0');
    std::string out(in.size() * kGrowth + 1, '\0');
    text2mecab(out.data(), in.c_str());
    out.resize(std::strlen(out.c_str()));
    return out;
}

// One character of the converted text and the bytes of the input it came
// from (a half-width kana and its voicing mark become one).
struct Unit {
    size_t out = 0;
    size_t in = 0;
    size_t inEnd = 0;
};

// The converted text unit by unit; false when converting piecewise does
// not give `whole`, which then cannot be mapped back.
bool mapUnits(std::string_view input, const std::string& whole, std::vector<Unit>& units) {
    std::string built;
    size_t at = 0;
    while (at < input.size()) {
        size_t second = at;
        utf8::next(input, second);
        size_t third = second;
        if (second < input.size()) {
            utf8::next(input, third);
        }
        std::string made = convert(input.substr(at, second - at));
        size_t end = second;
        if (third > second) {
            std::string pair = convert(input.substr(at, third - at));
            if (pair != made + convert(input.substr(second, third - second))) {
                made = std::move(pair);  // the two merged
                end = third;
            }
        }
        units.push_back({built.size(), at, end});
        built += made;
        at = end;
    }
    return built == whole;
}

// Whether `s` is only numerals as the digit handling writes them (its
// nodes need not be in the text as they read).
bool isNumeral(std::string_view s) {
    static constexpr std::string_view kNumerals[] = {
        "\u3007", "\u4e00", "\u4e8c", "\u4e09", "\u56db", "\u4e94", "\u516d", "\u4e03", "\u516b",
        "\u4e5d", "\u5341", "\u767e", "\u5343", "\u4e07", "\u5104", "\u5146", "\u4eac", "\u70b9"};
    size_t at = 0;
    while (at < s.size()) {
        const auto* found =
            std::find_if(std::begin(kNumerals), std::end(kNumerals),
                         [&](std::string_view n) { return s.substr(at, n.size()) == n; });
        if (found == std::end(kNumerals)) {
            return false;
        }
        at += found->size();
    }
    return !s.empty();
}

size_t skipSpace(const std::string& text, size_t at) {
    while (text.compare(at, kWideSpace.size(), kWideSpace) == 0) {
        at += kWideSpace.size();
    }
    return at;
}

// Each node's bytes in the converted text, in order. A node whose surface
// is not there (digits read out) shares with its neighbours of that kind
// the bytes between the nodes that are.
std::vector<std::pair<size_t, size_t>> nodeSpans(const NJD& njd, const std::string& converted) {
    std::vector<std::pair<size_t, size_t>> spans;
    size_t cursor = 0;
    size_t pending = kNone;  // the first node waiting for its bytes
    // The nodes from `pending` up to `upTo` share the bytes from..to.
    auto settle = [&](size_t upTo, size_t from, size_t to) {
        from = skipSpace(converted, from);
        while (to >= from + kWideSpace.size() &&
               converted.compare(to - kWideSpace.size(), kWideSpace.size(), kWideSpace) == 0) {
            to -= kWideSpace.size();
        }
        for (size_t k = pending; k < upTo; ++k) {
            spans[k] = {from, std::max(from, to)};
        }
        pending = kNone;
    };
    for (const NJDNode* node = njd.head; node != nullptr; node = node->next) {
        const std::string_view surface = node->string != nullptr ? node->string : "";
        const size_t here = spans.size();
        spans.emplace_back(cursor, cursor);
        const size_t at = skipSpace(converted, cursor);
        size_t found = kNone;
        if (!surface.empty() && converted.compare(at, surface.size(), surface) == 0) {
            found = at;
        } else if (!surface.empty() && !isNumeral(surface)) {
            found = converted.find(surface, cursor);
        }
        if (found == kNone) {
            pending = std::min(pending, here);
            continue;
        }
        if (pending != kNone) {
            settle(here, cursor, found);
        }
        spans[here] = {found, found + surface.size()};
        cursor = found + surface.size();
    }
    if (pending != kNone) {
        settle(spans.size(), cursor, converted.size());
    }
    return spans;
}

// The label words, each with its phonemes' labels and its node's bytes in
// `input`; empty when a word cannot be tied to a node.
std::vector<JapaneseAnalysis::Word> findWords(std::string_view input, const std::string& converted,
                                              const NJD& njd, const JPCommonLabel& label) {
    std::vector<JapaneseAnalysis::Word> words;
    std::vector<Unit> units;
    if (!mapUnits(input, converted, units)) {
        return words;
    }
    // Labels: "sil", then one per phoneme in order, then "sil".
    std::unordered_map<const JPCommonLabelWord*, size_t> index;
    for (const JPCommonLabelWord* w = label.word_head; w != nullptr; w = w->next) {
        index.emplace(w, words.size());
        words.push_back({kNone, 0, 0, 0});
    }
    size_t at = 1;
    for (const JPCommonLabelPhoneme* p = label.phoneme_head; p != nullptr; p = p->next, ++at) {
        if (p->up == nullptr || p->up->up == nullptr) {
            continue;  // a pause belongs to no word
        }
        JapaneseAnalysis::Word& w = words[index.at(p->up->up)];
        w.first = std::min(w.first, at);
        w.last = at;
    }
    const std::vector<std::pair<size_t, size_t>> spans = nodeSpans(njd, converted);
    auto unit = [&](size_t out) {
        return std::upper_bound(units.begin(), units.end(), out,
                                [](size_t o, const Unit& u) { return o < u.out; }) -
               1;
    };
    // A node makes a word unless it says only a pause (the word keeps its
    // node's pronunciation); one that says only a long vowel lengthens the
    // word before it, and so do its bytes.
    const JPCommonLabelWord* next = label.word_head;
    size_t i = 0;
    size_t n = 0;
    for (const NJDNode* node = njd.head; node != nullptr; node = node->next, ++n) {
        const auto [from, to] = spans[n];
        const bool placed = to > from && !units.empty();
        if (next != nullptr && node->pron != nullptr && std::strcmp(node->pron, next->pron) == 0) {
            JapaneseAnalysis::Word& w = words[i];
            if (w.first == kNone) {
                return {};
            }
            w.offset = placed ? unit(from)->in : input.size();  // nowhere in the text
            w.length = placed ? unit(to - 1)->inEnd - w.offset : 0;
            next = next->next;
            ++i;
        } else if (i > 0 && placed && node->pron != nullptr && std::strcmp(node->pron, "、") != 0 &&
                   std::strcmp(node->pron, "？") != 0) {
            JapaneseAnalysis::Word& w = words[i - 1];
            const size_t end = unit(to - 1)->inEnd;
            if (w.length > 0 && end > w.offset + w.length) {
                w.length = end - w.offset;
            }
        }
    }
    if (next != nullptr) {
        return {};
    }
    return words;
}

}  // namespace

struct JapaneseAnalysis::State {
    Mecab mecab;
    NJD njd;
    JPCommon jpcommon;
};

JapaneseAnalysis::JapaneseAnalysis() : m_state(std::make_unique<State>()) {
    Mecab_initialize(&m_state->mecab);
    NJD_initialize(&m_state->njd);
    JPCommon_initialize(&m_state->jpcommon);
}

JapaneseAnalysis::~JapaneseAnalysis() {
    Mecab_clear(&m_state->mecab);
    NJD_clear(&m_state->njd);
    JPCommon_clear(&m_state->jpcommon);
}

bool JapaneseAnalysis::load(const std::string& dictionary) {
    if (!m_loaded) {
        m_loaded = Mecab_load(&m_state->mecab, dictionary.c_str()) == TRUE;
    }
    return m_loaded;
}

std::vector<std::string> JapaneseAnalysis::labels(std::string_view text, std::vector<Word>* words) {
    std::vector<std::string> out;
    if (words != nullptr) {
        words->clear();
    }
    if (!m_loaded) {
        return out;
    }
    // The analysis reads a C string: a NUL would end the text early.
    std::string input(text.substr(0, text.find('\0')));
    const std::string converted = convert(input);
    Mecab& mecab = m_state->mecab;
    NJD& njd = m_state->njd;
    JPCommon& jpcommon = m_state->jpcommon;
    Mecab_analysis(&mecab, converted.c_str());
    mecab2njd(&njd, Mecab_get_feature(&mecab), Mecab_get_size(&mecab));
    njd_set_pronunciation(&njd);
    njd_set_digit(&njd);
    njd_set_accent_phrase(&njd);
    njd_set_accent_type(&njd);
    njd_set_unvoiced_vowel(&njd);
    njd_set_long_vowel(&njd);
    njd2jpcommon(&jpcommon, &njd);
    JPCommon_make_label(&jpcommon);
    int size = JPCommon_get_label_size(&jpcommon);
    char** features = JPCommon_get_label_feature(&jpcommon);
    // Two labels are the silences alone: nothing to say.
    if (size > 2 && features != nullptr) {
        out.assign(features, features + size);
        if (words != nullptr && jpcommon.label != nullptr) {
            *words = findWords(input, converted, njd, *jpcommon.label);
        }
    }
    JPCommon_refresh(&jpcommon);
    NJD_refresh(&njd);
    Mecab_refresh(&mecab);
    return out;
}

std::string_view JapaneseAnalysis::phonemeOf(std::string_view label) {
    // "p1^p2-p3+p4=p5/A:...": the phoneme is p3.
    size_t minus = label.find('-');
    size_t plus = label.find('+', minus == std::string_view::npos ? 0 : minus);
    if (minus == std::string_view::npos || plus == std::string_view::npos) {
        return std::string_view();
    }
    return label.substr(minus + 1, plus - minus - 1);
}

}  // namespace parlune::helper
