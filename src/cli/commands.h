#pragma once

#include "cli/options.h"

#include <string>
#include <vector>

namespace km::cli {

// One subcommand of klangmappe-cli. Run() may throw THelpWanted or TUsageError;
// the caller then prints Help.
struct TCommand {
    const char* Name;
    const char* Synopsis; // the arguments, for the usage line
    const char* Summary;  // what it does, in one line
    const char* Help;
    int (*Run)(const std::vector<std::string>& args);
};

int RunInfo(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunSet(const std::vector<std::string>& args);
int RunCase(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunFromName(const std::vector<std::string>& args);
int RunToName(const std::vector<std::string>& args);
extern const char* const kInfoHelp;
extern const char* const kListHelp;
extern const char* const kSetHelp;
extern const char* const kCaseHelp;
extern const char* const kExportHelp;
extern const char* const kFromNameHelp;
extern const char* const kToNameHelp;

// --charset NAME: the set the ID3v1 texts are read in (Windows-1252 without it).
void AddCharsetOption(TOptionParser& options);

} // namespace km::cli
