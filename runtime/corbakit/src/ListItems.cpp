#include "corbakit/ListItems.h"

namespace corbakit {

namespace {
const char kBlanks[] = " \t\r\n";
}

std::string trimmed(const std::string& text) {
    const auto b = text.find_first_not_of(kBlanks);
    if (b == std::string::npos) return "";
    const auto e = text.find_last_not_of(kBlanks);
    return text.substr(b, e - b + 1);
}

std::vector<std::string> listItems(const std::string& list) {
    std::vector<std::string> items;
    std::string::size_type start = 0;
    while (start <= list.size()) {
        auto comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        const std::string item = trimmed(list.substr(start, comma - start));
        start = comma + 1;
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

}  // namespace corbakit
