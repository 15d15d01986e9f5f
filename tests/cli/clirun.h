// Runs klangmappe-cli and collects what it printed.
#pragma once

#include "tags/mp3bytes.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace km::test {

struct CliRun {
    std::string out;
    std::string err;
    int code = -1;
};

inline std::string ShellQuote(const std::string& s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// `env` holds NAME=value settings for the run.
inline CliRun Cli(const TempDir& dir, const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    std::string cmd;
    for (const auto& e : env)
        cmd += e + " ";
    cmd += ShellQuote(KLANGMAPPE_CLI);
    for (const auto& a : args)
        cmd += " " + ShellQuote(a);
    const std::string errPath = dir.Path() + "/.stderr.txt";
    cmd += " 2>" + ShellQuote(errPath);
    CliRun run;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return run;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        run.out.append(buf, n);
    const int status = ::pclose(p);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errPath);
    std::stringstream ss;
    ss << err.rdbuf();
    run.err = ss.str();
    std::remove(errPath.c_str());
    return run;
}

} // namespace km::test
