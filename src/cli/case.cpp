#include "cli/commands.h"
#include "cli/saving.h"
#include "edit/casing.h"

namespace km::cli {

// Declared here as well, so the text keeps external linkage on its own.
extern const char* const kCaseHelp;
const char* const kCaseHelp =
    "klangmappe-cli case --mode first|upper|lower [--touch] [--sync-id3v2]\n"
    "                    [--charset NAME] DATEI...\n"
    "\n"
    "Ändert die Groß- und Kleinschreibung von Titel, Interpret, Album und\n"
    "Bemerkung im ID3v1-Block jeder Datei, wie die Befehle des Hauptfensters:\n"
    "\n"
    "  --mode first     nur die Anfangsbuchstaben der Wörter groß, alle übrigen\n"
    "                   Buchstaben klein (auch Umlaute); Wörter trennen Leerzeichen\n"
    "                   und ! \" & ( ) + , - . / : ; < = > ?\n"
    "  --mode upper     a-z werden zu A-Z, alles andere bleibt\n"
    "  --mode lower     A-Z werden zu a-z, alles andere bleibt\n"
    "  --touch          das Änderungsdatum auf jetzt setzen; sonst bleiben die\n"
    "                   Zeiten der Datei erhalten\n"
    "  --sync-id3v2     geänderte Felder auch im ID3v2-Tag am Dateianfang\n"
    "                   umschreiben (dessen ganzen Text; es wird keiner angelegt)\n"
    "  --charset NAME   der Zeichensatz der ID3v1-Texte (Vorgabe windows-1252;\n"
    "                   die Namen nennt klangmappe-cli info --help)\n"
    "\n"
    "Jahr, Titelnummer und Musikrichtung bleiben, wie sie sind. Je Datei eine\n"
    "Zeile \"geschrieben: PFAD\", oder \"unverändert: PFAD\", wenn die Texte schon\n"
    "so geschrieben waren (dann wird die Datei nicht angerührt). Fehler erscheinen\n"
    "auf der Standardfehlerausgabe; Rückgabewert 1, wenn eine Datei fehlte, nicht\n"
    "gelesen oder nicht geschrieben werden konnte oder ihr ID3v2-Tag nicht geändert\n"
    "werden konnte, 2 bei falschem Aufruf.\n";

int RunCase(const std::vector<std::string>& args)
{
    int mode = 0;
    bool touch = false;
    bool sync = false;
    TOptionParser options;
    options.Flag({"--touch"}, touch).Flag({"--sync-id3v2"}, sync);
    options.Value({"--mode"}, [&mode](const std::string& v) {
        mode = v == "first" ? CaseFirstLetters : v == "upper" ? CaseUpper : v == "lower" ? CaseLower : 0;
        if (mode == 0)
            throw TUsageError {"Unbekannter Modus: " + v + " (first, upper oder lower)"};
    });
    AddCharsetOption(options);
    const std::vector<std::string> files = options.Parse(args);
    if (mode == 0)
        throw TUsageError {"Kein Modus angegeben."};
    if (files.empty())
        throw TUsageError {"Keine Datei angegeben."};
    return SaveEach(files, {touch, sync}, [mode](const std::string&, const TID3v1Tag& tag, TID3v2Changes& whole) {
        const TID3v1Tag converted = ConvertTagCase(tag, mode);
        whole = ID3v2CaseChanges(converted, mode);
        return converted;
    });
}

} // namespace km::cli
