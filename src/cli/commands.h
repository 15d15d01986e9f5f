#pragma once

#include <string>
#include <vector>

namespace km::cli {

int RunInfo(const std::vector<std::string>& args);
extern const char* const kInfoHelp;

} // namespace km::cli
