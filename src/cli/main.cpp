// klangmappe-cli: the reader and the list without a window.

#include "cli/commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

using km::cli::TCommand;

const TCommand kCommands[] = {
    {"info", "[OPTIONEN] DATEI...", "Zeigt, was Klangmappe in MP3-Dateien liest.", km::cli::kInfoHelp, km::cli::RunInfo},
    {"list", "[OPTIONEN] ORDNER", "Zeigt die Dateiliste eines Ordners.", km::cli::kListHelp, km::cli::RunList},
    {"set", "[OPTIONEN] DATEI...", "Schreibt Felder in den ID3v1-Block.", km::cli::kSetHelp, km::cli::RunSet},
    {"case", "[OPTIONEN] DATEI...", "Ändert Groß- und Kleinschreibung der Texte.", km::cli::kCaseHelp, km::cli::RunCase},
    {"from-name", "[OPTIONEN] DATEI...", "Übernimmt Titelinformationen aus dem Dateinamen.", km::cli::kFromNameHelp,
        km::cli::RunFromName},
    {"to-name", "[OPTIONEN] DATEI...", "Benennt Dateien nach ihren Titelinformationen um.", km::cli::kToNameHelp,
        km::cli::RunToName},
    {"export", "FORMAT [OPTIONEN] ORDNER", "Schreibt die Dateiliste als HTML, M3U oder XLSX.", km::cli::kExportHelp,
        km::cli::RunExport},
};

std::string Usage()
{
    // The summaries line up three spaces behind the longest call.
    std::size_t width = 0;
    for (const TCommand& c : kCommands)
        width = std::max(width, std::strlen(c.Name) + 1 + std::strlen(c.Synopsis));
    std::string text =
        "Aufruf: klangmappe-cli BEFEHL [OPTIONEN] ...\n"
        "\n"
        "Befehle:\n";
    for (const TCommand& c : kCommands) {
        const std::string call = std::string(c.Name) + " " + c.Synopsis;
        text += "  " + call + std::string(width + 3 - call.size(), ' ') + c.Summary + "\n";
    }
    return text
        + "\n"
          "klangmappe-cli BEFEHL --help zeigt die Hilfe zu einem Befehl.\n"
          "Fehler erscheinen auf der Standardfehlerausgabe; der Rückgabewert ist 0,\n"
          "wenn alles gelang, sonst 1 (2 bei falschem Aufruf).\n";
}

int Run(const TCommand& command, const std::vector<std::string>& args)
{
    try {
        return command.Run(args);
    } catch (const km::cli::THelpWanted&) {
        std::fputs(command.Help, stdout);
        return 0;
    } catch (const km::cli::TUsageError& e) {
        std::string text = e.Message.empty() ? std::string() : e.Message + "\n";
        if (e.WithHelp)
            text += (text.empty() ? "" : "\n") + std::string(command.Help);
        std::fputs(text.c_str(), stderr);
        return 2;
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fputs("Nicht genügend Arbeitsspeicher.\n", stderr);
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "Fehler: %s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    const std::string name = args.front();
    args.erase(args.begin());
    if (name == "--help" || name == "-h" || name == "help") {
        std::string text = Usage();
        for (const TCommand& c : kCommands)
            text += std::string("\n") + c.Help;
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    for (const TCommand& c : kCommands)
        if (name == c.Name)
            return Run(c, args);
    std::fprintf(stderr, "Unbekannter Befehl: %s\n\n%s", name.c_str(), Usage().c_str());
    return 2;
}
