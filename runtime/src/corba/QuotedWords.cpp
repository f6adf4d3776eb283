#include "QuotedWords.h"

namespace RTC {
namespace corba {

bool splitQuotedWords(const std::string& text, std::vector<std::string>& words, std::string& why) {
    std::vector<std::string> out;
    std::string word;
    bool inWord = false;
    char quote = '\0';
    for (std::string::size_type i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = '\0';
            else
                word += c;
            continue;
        }
        if (c == '\\') {
            if (i + 1 >= text.size()) {
                why = "a backslash ends the text";
                return false;
            }
            word += text[++i];
            inWord = true;
            continue;
        }
        if (quote == '"') {
            if (c == '"')
                quote = '\0';
            else
                word += c;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) out.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != '\0') {
        why = std::string("the quote ") + quote + " is not closed";
        return false;
    }
    if (inWord) out.push_back(word);
    words.swap(out);
    return true;
}

}  // namespace corba
}  // namespace RTC
