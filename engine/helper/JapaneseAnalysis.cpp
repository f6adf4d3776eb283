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

namespace parlune::helper {

namespace {

// text2mecab writes without a bound: a character grows at most from one
// byte to three (ASCII to full width).
constexpr size_t kGrowth = 3;

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

std::vector<std::string> JapaneseAnalysis::labels(std::string_view text) {
    std::vector<std::string> out;
    if (!m_loaded) {
        return out;
    }
    // The analysis reads a C string: a NUL would end the text early.
    std::string input(text.substr(0, text.find('\0')));
    std::string converted(input.size() * kGrowth + 1, '\0');
    text2mecab(converted.data(), input.c_str());
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
