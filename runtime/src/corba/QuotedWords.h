// Splits an option string as a shell would for plain words: blanks separate
// words, "double" or 'single' quotes keep blanks inside one word, a
// backslash outside single quotes takes the next character literally.
#pragma once

#include <string>
#include <vector>

namespace RTC {
namespace corba {

// False (with a reason) on an unterminated quote or a trailing backslash;
// `words` then holds nothing.
bool splitQuotedWords(const std::string& text, std::vector<std::string>& words, std::string& why);

}  // namespace corba
}  // namespace RTC
