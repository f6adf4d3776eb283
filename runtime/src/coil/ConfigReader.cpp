#include "coil/ConfigReader.h"

#include <coil/stringutil.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <istream>
#include <utility>

namespace coil {

namespace {

std::size_t keyDepth(const std::string& key) {
    std::size_t parts = 1;
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '.' && (i == 0 || key[i - 1] != '\\')) ++parts;
    }
    return parts;
}

}  // namespace

bool ConfigReader::nextLine(std::istream& in, std::string& line, bool& long_line, bool& has_nul) {
    line.clear();
    long_line = false;
    has_nul = false;
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr || !in.good()) return false;
    bool any = false;
    while (true) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return any;
        }
        any = true;
        if (c == '\n') return true;
        // No text holds a NUL byte: stop here rather than read a binary file to its end.
        if (c == '\0') {
            has_nul = true;
            return true;
        }
        if (line.size() < kMaxLine) {
            line.push_back(static_cast<char>(c));
        } else {
            long_line = true;
        }
    }
}

void ConfigReader::note(int line, const std::string& reason) {
    ++m_problemCount;
    // A file of nothing but bad lines must not fill the memory with notes.
    if (m_problems.size() < kMaxProblems) m_problems.push_back(Problem{line, reason});
}

bool ConfigReader::read(std::istream& in, Properties& out) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::string pending;
    int pending_line = 0;
    bool pending_long = false;
    std::string line;
    bool long_line = false;
    bool has_nul = false;
    int number = 0;
    auto finish = [&]() {
        if (pending_long) {
            note(pending_line, "line longer than " + std::to_string(kMaxLine) + " bytes");
        } else {
            std::string key, val;
            Properties::splitKeyValue(pending, key, val);
            key = unescape(eraseBothEndsBlank(key));
            val = unescape(eraseBothEndsBlank(val));
            const std::string why = checkEntry(key, val);
            if (why.empty()) {
                entries.emplace_back(std::move(key), std::move(val));
            } else {
                note(pending_line, why);
            }
        }
        pending.clear();
        pending_long = false;
    };
    while (nextLine(in, line, long_line, has_nul)) {
        ++number;
        if (has_nul) {
            note(number, "contains a NUL byte: not a text file");
            return false;
        }
        std::string tmp = eraseHeadBlank(line);
        if (!tmp.empty() && tmp.back() == '\r') tmp.pop_back();
        if (pending.empty() && !pending_long && (tmp.empty() || tmp[0] == '#' || tmp[0] == '!')) {
            continue;
        }
        if (pending.empty() && !pending_long) pending_line = number;
        pending_long = pending_long || long_line || pending.size() + tmp.size() > kMaxLine;
        // A trailing backslash joins the next line.
        const bool continued = !tmp.empty() && tmp.back() == '\\';
        if (continued) tmp.pop_back();
        if (!pending_long) pending += tmp;
        if (!continued) finish();
    }
    // A backslash on the last line continues into nothing: the entry still counts.
    if (!pending.empty() || pending_long) finish();
    for (const auto& kv : entries) out.setProperty(kv.first, kv.second);
    return true;
}

bool ConfigReader::readFile(const std::string& path, Properties& out) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        note(0, std::strerror(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        note(0, "is a directory");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        note(0, std::strerror(errno));
        return false;
    }
    return read(in, out);
}

std::string ConfigReader::checkEntry(const std::string& key, const std::string& value) {
    if (key.empty()) return "no key";
    if (key.find('\0') != std::string::npos) return "key contains a NUL byte";
    if (value.find('\0') != std::string::npos) return "value contains a NUL byte";
    if (key.size() + value.size() > kMaxLine) {
        return "entry longer than " + std::to_string(kMaxLine) + " bytes";
    }
    if (!isUtf8(key)) return "key is not UTF-8";
    if (!isUtf8(value)) return "value is not UTF-8";
    if (keyDepth(key) > kMaxDepth) {
        return "key nested deeper than " + std::to_string(kMaxDepth) + " levels";
    }
    return "";
}

bool ConfigReader::isUtf8(const std::string& text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        unsigned long cp;
        if (c >= 0xc2 && c <= 0xdf) {
            len = 2;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            len = 3;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3f);
        }
        // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10ffff ||
            (cp >= 0xd800 && cp <= 0xdfff)) {
            return false;
        }
        i += len;
    }
    return true;
}

std::string ConfigReader::printable(const std::string& text, std::size_t max) {
    std::string out;
    for (unsigned char c : text) {
        std::string piece;
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            piece = static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            piece = hex;
        }
        if (out.size() + piece.size() > max) return out + "...";
        out += piece;
    }
    return out;
}

}  // namespace coil
