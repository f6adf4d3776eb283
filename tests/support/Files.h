// Reading what programs left in files and directories.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The whole file, or "" when it cannot be read.
std::string readFile(const std::string& path);

// Names in dir ending in suffix, sorted, without "." and ".." ("" lists them all).
std::vector<std::string> namesIn(const std::string& dir, const std::string& suffix = "");

}  // namespace testsupport
