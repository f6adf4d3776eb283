// How many rounds a long test runs: sanitizer builds run every step several
// times slower, so the repetition-heavy scenarios take fewer rounds there.
#pragma once

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// `plain` rounds in an ordinary build, `sanitized` rounds under a sanitizer.
constexpr int rounds(int plain, int sanitized) { return kSanitized ? sanitized : plain; }

}  // namespace testsupport
