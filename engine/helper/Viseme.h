// The mouth shape of a phoneme, one set for every voice: the 15 visemes
// avatar tools share.
//
//   sil  silence, pauses        PP  p b m            FF  f v
//   TH   θ ð                    DD  t d ɾ ʔ          kk  k g ŋ x h ç
//   CH   ʃ ʒ tʃ dʒ ɕ ʑ          SS  s z ts dz        nn  n l ɲ ɫ
//   RR   r ɹ ɻ ʀ ɚ              aa  a ɑ æ ʌ ɐ        E   e ɛ ə ɜ ø œ
//   ih   i ɪ y j ɨ              oh  o ɔ ɒ ɤ          ou  u ʊ w ɯ ʉ
//
// espeak-ng reports its phonemes in IPA, so the table above serves all its
// languages (a diphthong takes the shape it starts with; stress and length
// marks are ignored). flite's US English phones and Open JTalk's phonemes
// are mapped through their IPA values.
#pragma once

#include <string_view>

namespace parlune::helper {

class Viseme {
  public:
    static const char* fromIpa(std::string_view ipa);
    // aa ae ah ... zh, pau.
    static const char* fromFlite(std::string_view phone);
    // a i u e o (A I U E O devoiced), N, cl, k ky g ... , pau, sil.
    static const char* fromOpenJTalk(std::string_view phoneme);

    static constexpr const char* kSilence = "sil";
};

}  // namespace parlune::helper
