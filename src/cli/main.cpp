// klangmappe-cli: the reader and the list without a window.

#include "cli/commands.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Aufruf: klangmappe-cli BEFEHL [OPTIONEN] ...\n"
    "\n"
    "Befehle:\n"
    "  info [--id3v2] DATEI...   Zeigt, was Klangmappe in MP3-Dateien liest.\n"
    "  list [OPTIONEN] ORDNER    Zeigt die Dateiliste eines Ordners.\n"
    "  set [OPTIONEN] DATEI...   Schreibt Felder in den ID3v1-Block.\n"
    "\n"
    "klangmappe-cli BEFEHL --help zeigt die Hilfe zu einem Befehl.\n"
    "Fehler erscheinen auf der Standardfehlerausgabe; der Rückgabewert ist 0,\n"
    "wenn alles gelang, sonst 1 (2 bei falschem Aufruf).\n";

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        std::fputs("\n", stdout);
        std::fputs(km::cli::kInfoHelp, stdout);
        std::fputs("\n", stdout);
        std::fputs(km::cli::kListHelp, stdout);
        std::fputs("\n", stdout);
        std::fputs(km::cli::kSetHelp, stdout);
        return 0;
    }
    try {
        if (command == "info")
            return km::cli::RunInfo(args);
        if (command == "list")
            return km::cli::RunList(args);
        if (command == "set")
            return km::cli::RunSet(args);
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fputs("Nicht genügend Arbeitsspeicher.\n", stderr);
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "Fehler: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "Unbekannter Befehl: %s\n\n%s", command.c_str(), kUsage);
    return 2;
}
