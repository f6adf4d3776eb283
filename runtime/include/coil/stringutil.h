// String helpers of the framework's utility library.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace coil {

typedef std::vector<std::string> vstring;

std::string toUpper(std::string str);
std::string toLower(std::string str);
std::string eraseHeadBlank(std::string str);
std::string eraseTailBlank(std::string str);
std::string eraseBothEndsBlank(std::string str);
std::string eraseBlank(std::string str);
std::string normalize(std::string str);  // trimmed, lower case
std::string replaceString(std::string str, const std::string& from, const std::string& to);
// Splits at delim; fields are trimmed; an empty input gives no field.
vstring split(const std::string& input, const std::string& delimiter, bool ignore_empty = false);
bool toBool(std::string str, std::string yes, std::string no, bool default_value = true);
bool includes(const vstring& list, std::string value, bool ignore_case = true);
bool includes(const std::string& list, std::string value, bool ignore_case = true);
std::string flatten(const vstring& sv, const std::string& delimiter = ", ");
std::string unescape(std::string str);

template <typename To>
std::string otos(To n) {
    std::ostringstream str;
    str << n;
    return str.str();
}

// Stream extraction: leading blanks skipped, the longest prefix of the type
// taken ("120abc" -> 120); false when nothing could be read ("abc", "").
template <typename To>
bool stringTo(To& val, const char* str) {
    if (str == nullptr) return false;
    std::istringstream s(str);
    To tmp;
    if ((s >> tmp).fail()) return false;
    val = tmp;
    return true;
}

template <>
inline bool stringTo<std::string>(std::string& val, const char* str) {
    if (str == nullptr) return false;
    val = str;
    return true;
}

template <>
bool stringTo<bool>(bool& val, const char* str);

}  // namespace coil
