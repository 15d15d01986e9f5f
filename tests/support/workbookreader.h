// Reads a workbook back with an independent reader, python3-openpyxl.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace km::test {

// What a shell command prints; a failing command fails the test.
inline std::string CommandOutput(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        EXPECT_EQ(::pclose(pipe), 0) << out;
    }
    return out;
}

// A line per row, each cell as "value|type" ("s" for text), tab-separated;
// only the first `columns` cells when given. Debian's own python, where
// python3-openpyxl lives.
inline std::string WorkbookCells(const std::string& path, int columns = 0)
{
    const std::string command = "/usr/bin/python3 -c \"import openpyxl,sys\n"
                                "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                                "for row in ws.iter_rows(max_col=int(sys.argv[2]) or None):\n"
                                "    print('\\t'.join('' if c.value is None else str(c.value) + '|' + c.data_type for c in row))\n"
                                "\" '"
        + path + "' " + std::to_string(columns);
    return CommandOutput(command);
}

} // namespace km::test
