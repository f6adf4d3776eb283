#include "Files.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace testsupport {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> namesIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> result;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                result.push_back(name);
            }
        }
        ::closedir(d);
    }
    std::sort(result.begin(), result.end());
    return result;
}

}  // namespace testsupport
