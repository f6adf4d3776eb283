#include <coil/stringutil.h>

#include <algorithm>
#include <cctype>

namespace coil {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::string toUpper(std::string str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return str;
}

std::string toLower(std::string str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return str;
}

std::string eraseHeadBlank(std::string str) {
    std::string::size_type i = 0;
    while (i < str.size() && isBlank(str[i])) ++i;
    return str.substr(i);
}

std::string eraseTailBlank(std::string str) {
    std::string::size_type n = str.size();
    while (n > 0 && isBlank(str[n - 1])) --n;
    str.resize(n);
    return str;
}

std::string eraseBothEndsBlank(std::string str) { return eraseTailBlank(eraseHeadBlank(str)); }

std::string eraseBlank(std::string str) {
    str.erase(std::remove_if(str.begin(), str.end(), isBlank), str.end());
    return str;
}

std::string normalize(std::string str) { return toLower(eraseBothEndsBlank(str)); }

std::string replaceString(std::string str, const std::string& from, const std::string& to) {
    if (from.empty()) return str;
    std::string::size_type pos = 0;
    while ((pos = str.find(from, pos)) != std::string::npos) {
        str.replace(pos, from.size(), to);
        pos += to.size();
    }
    return str;
}

vstring split(const std::string& input, const std::string& delimiter, bool ignore_empty) {
    vstring result;
    if (input.empty()) return result;
    if (delimiter.empty()) {
        result.push_back(eraseBothEndsBlank(input));
        return result;
    }
    std::string::size_type pos = 0;
    while (true) {
        std::string::size_type found = input.find(delimiter, pos);
        std::string field = eraseBothEndsBlank(
            input.substr(pos, found == std::string::npos ? std::string::npos : found - pos));
        if (!(ignore_empty && field.empty())) result.push_back(field);
        if (found == std::string::npos) break;
        pos = found + delimiter.size();
    }
    return result;
}

bool toBool(std::string str, std::string yes, std::string no, bool default_value) {
    str = normalize(str);
    if (str == normalize(yes)) return true;
    if (str == normalize(no)) return false;
    return default_value;
}

bool includes(const vstring& list, std::string value, bool ignore_case) {
    if (ignore_case) value = toLower(value);
    for (const std::string& item : list) {
        if ((ignore_case ? toLower(item) : item) == value) return true;
    }
    return false;
}

bool includes(const std::string& list, std::string value, bool ignore_case) {
    return includes(split(list, ","), value, ignore_case);
}

std::string flatten(const vstring& sv, const std::string& delimiter) {
    std::string out;
    for (std::size_t i = 0; i < sv.size(); ++i) {
        if (i) out += delimiter;
        out += sv[i];
    }
    return out;
}

std::string unescape(std::string str) {
    std::string out;
    out.reserve(str.size());
    for (std::size_t i = 0; i < str.size(); ++i) {
        if (str[i] != '\\' || i + 1 == str.size()) {
            out += str[i];
            continue;
        }
        char c = str[++i];
        switch (c) {
            case 't':
                out += '\t';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 'f':
                out += '\f';
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

template <>
bool stringTo<bool>(bool& val, const char* str) {
    if (str == nullptr) return false;
    std::string s = normalize(str);
    if (s == "true" || s == "1" || s == "yes" || s == "on") {
        val = true;
        return true;
    }
    if (s == "false" || s == "0" || s == "no" || s == "off") {
        val = false;
        return true;
    }
    return false;
}

}  // namespace coil
