#pragma once

#include <string>
#include <vector>

namespace km::cli {

int RunInfo(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunSet(const std::vector<std::string>& args);
extern const char* const kInfoHelp;
extern const char* const kListHelp;
extern const char* const kSetHelp;

} // namespace km::cli
