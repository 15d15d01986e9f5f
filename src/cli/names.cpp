#include "cli/commands.h"
#include "cli/saving.h"
#include "edit/tagsaver.h"
#include "model/entry.h"
#include "model/structure.h"
#include "names/namerenamer.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

#include <QString>

#include <fcntl.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace km::cli {

// Declared here as well, so the texts keep external linkage on their own.
extern const char* const kFromNameHelp;
extern const char* const kToNameHelp;

const char* const kFromNameHelp =
    "klangmappe-cli from-name [OPTIONEN] DATEI...\n"
    "\n"
    "Übernimmt Titelinformationen aus dem Dateinamen in den ID3v1-Block jeder\n"
    "Datei, wie \"Titelinformationen aus Dateinamen\" des Hauptfensters bei\n"
    "mehreren markierten Dateien. Der Name ohne Endung wird an den Trennzeichen\n"
    "in bis zu drei Teile zerlegt, jeder Teil ohne führende und folgende Leer-\n"
    "und Steuerzeichen; was nach dem letzten Teil übrig bleibt, fällt weg.\n"
    "\n"
    "  --structure K1,K2,K3\n"
    "                   der Aufbau des Namens, je Teil: 0 nichts, 1 Titelnr.,\n"
    "                   2 Interpret, 3 Titel, 4 Album, 5 Jahr (Vorgabe 2,3,0)\n"
    "  --sep1 TEXT      Trennzeichen zwischen Teil 1 und 2, Leerzeichen zählen\n"
    "                   mit (Vorgabe \" - \")\n"
    "  --sep2 TEXT      Trennzeichen zwischen Teil 2 und 3 (Vorgabe leer)\n"
    "  --dir-album      das Album ist der Name des Ordners, in dem die Datei liegt\n"
    "  --year-from-date das Jahr ist das des Änderungsdatums der Datei (Ortszeit)\n"
    "  --touch          das Änderungsdatum auf jetzt setzen; sonst bleiben die\n"
    "                   Zeiten der Datei erhalten\n"
    "  --sync-id3v2     geänderte Felder auch in den ID3v2-Tag am Dateianfang\n"
    "                   schreiben, mit dem ganzen Teil des Namens (2.3 und 2.4;\n"
    "                   es wird keiner angelegt)\n"
    "  --charset NAME   der Zeichensatz der ID3v1-Texte (Vorgabe windows-1252;\n"
    "                   die Namen nennt klangmappe-cli info --help)\n"
    "\n"
    "Beginnt der Aufbau mit der Titelnummer und steht im Namen vor dem ersten\n"
    "Trennzeichen keine ganze Zahl, wird dieser eine Name als Teil 2 und 3\n"
    "zerlegt; seine Titelnummer bleibt. Eine Titelnummer zählt modulo 256.\n"
    "Felder, die der Aufbau nicht nennt, bleiben, wie sie sind. Fehlt ein\n"
    "Trennzeichen, das der Aufbau braucht (--sep1, sobald Teil 1 benutzt ist;\n"
    "--sep2, wenn Teil 2 und 3 benutzt sind), wird keine Datei angerührt.\n"
    "Die Einstellungen des Hauptfensters werden nicht gelesen.\n"
    "\n"
    "Je Datei eine Zeile \"geschrieben: PFAD\", oder \"unverändert: PFAD\", wenn\n"
    "der Block schon so aussah (dann wird die Datei nicht angerührt). Fehler\n"
    "erscheinen auf der Standardfehlerausgabe; Rückgabewert 1, wenn Trennzeichen\n"
    "fehlen oder eine Datei fehlte, nicht gelesen oder nicht geschrieben werden\n"
    "konnte oder ihr ID3v2-Tag nicht geändert werden konnte (\"ID3v2 nicht geändert\n"
    "(GRUND): PFAD\"), 2 bei falschem Aufruf.\n";

const char* const kToNameHelp =
    "klangmappe-cli to-name [OPTIONEN] DATEI...\n"
    "\n"
    "Benennt jede Datei nach ihrem ID3v1-Block um, wie \"Dateiname aus\n"
    "Titelinformationen\" des Hauptfensters: die Felder der drei Teile, durch die\n"
    "Trennzeichen verbunden, dahinter \".mp3\". Ein leerer Teil fällt mit seinem\n"
    "Trennzeichen weg; die Zeichen \" * / : < > ? \\ | werden entfernt. Die Datei\n"
    "bleibt in ihrem Ordner, ihr Inhalt bleibt unverändert.\n"
    "\n"
    "  --structure K1,K2,K3\n"
    "                   der Aufbau des Namens, je Teil: 0 nichts, 1 Titelnr.,\n"
    "                   2 Interpret, 3 Titel, 4 Album, 5 Jahr (Vorgabe 2,3,0)\n"
    "  --sep1 TEXT      Trennzeichen zwischen Teil 1 und 2 (Vorgabe \" - \")\n"
    "  --sep2 TEXT      Trennzeichen zwischen Teil 2 und 3 (Vorgabe leer)\n"
    "  --charset NAME   der Zeichensatz der ID3v1-Texte (Vorgabe windows-1252;\n"
    "                   die Namen nennt klangmappe-cli info --help)\n"
    "  --keep-track0    auch die Titelnummer 0 in den Namen schreiben (als 00);\n"
    "                   sonst fällt sie weg. Titelnummern haben mindestens zwei\n"
    "                   Ziffern\n"
    "  --year-to-date   das Jahr des Blocks in das Änderungsdatum der Datei\n"
    "                   übernehmen, auch wenn der Name bleibt; Monat, Tag und\n"
    "                   Uhrzeit (Ortszeit) bleiben. Ein leeres Jahr oder eines,\n"
    "                   das keine Zahl ist, zählt als das laufende\n"
    "  --empty skip|rename\n"
    "                   was mit einer Datei geschieht, in der ein Feld des Aufbaus\n"
    "                   leer ist: skip überspringt sie (Vorgabe), rename benennt\n"
    "                   sie trotzdem um\n"
    "\n"
    "Die Dateien werden in der angegebenen Reihenfolge umbenannt. Je Datei eine\n"
    "Zeile \"umbenannt: ALTER-PFAD -> NEUER-PFAD\" oder \"unverändert: PFAD\", wenn\n"
    "der Name schon stimmt; eine Änderung nur der Groß- und Kleinschreibung ist\n"
    "auch eine Umbenennung. Übersprungene Dateien meldet \"übersprungen: PFAD\"\n"
    "auf der Standardfehlerausgabe, Dateien, deren Felder keinen Namen ergeben,\n"
    "\"übersprungen, die Felder ergeben keinen Namen: PFAD\" (mit --year-to-date\n"
    "\"Name unverändert (die Felder ergeben keinen Namen), Datum gesetzt: PFAD\");\n"
    "beides gilt nicht als Fehler. Sind alle Felder des Aufbaus leer, erscheint die Meldung dazu\n"
    "einmal. Gehört der neue Name schon einer anderen Datei, endet der Lauf sofort\n"
    "mit Rückgabewert 1; die folgenden Dateien bleiben unberührt. Rückgabewert 1\n"
    "auch, wenn eine Datei fehlte, nicht gelesen oder nicht umbenannt werden\n"
    "konnte; 2 bei falschem Aufruf. Die Einstellungen des Hauptfensters werden\n"
    "nicht gelesen.\n";

namespace {

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The options both commands share; everything else keeps TNameStructure's defaults.
void StructureOptions(TOptionParser& options, TNameStructure& names)
{
    options.Value({"--structure"}, [&names](const std::string& v) {
        const bool ok = v.size() == 5 && v[1] == ',' && v[3] == ',' && v[0] >= '0' && v[0] <= '5' && v[2] >= '0'
            && v[2] <= '5' && v[4] >= '0' && v[4] <= '5';
        if (!ok)
            throw TUsageError {"Ungültiger Aufbau: " + v
                + "\n(drei Zahlen von 0 bis 5, durch Kommas getrennt, z. B. 1,2,3)"};
        names.DNAufbau = {std::uint8_t(v[0] - '0'), std::uint8_t(v[2] - '0'), std::uint8_t(v[4] - '0')};
    });
    options.Value({"--sep1"}, [&names](const std::string& v) { names.TZ1 = Utf8(v); });
    options.Value({"--sep2"}, [&names](const std::string& v) { names.TZ2 = Utf8(v); });
}

// The folder as the window would show it, so --dir-album also works for "./a.mp3".
QString AbsoluteFolder(const std::string& path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec)
        p = path;
    const std::string folder = p.lexically_normal().parent_path().string();
    return Shown(folder.ends_with('/') ? folder : folder + "/");
}

// The renamer's questions for a script: those about empty fields answered by
// --empty without a word, all others as every command answers them.
class TRenameDialogs : public TScriptDialogs {
public:
    explicit TRenameDialogs(Result emptyField) : m_emptyField(emptyField) {}

    Result Message(const QString& text, Kind kind, unsigned buttons, unsigned defaultButton) override
    {
        return (buttons & YesToAll) ? m_emptyField : TScriptDialogs::Message(text, kind, buttons, defaultButton);
    }

private:
    Result m_emptyField;
};

} // namespace

int RunFromName(const std::vector<std::string>& args)
{
    TNameStructure names;
    bool touch = false;
    bool sync = false;
    TOptionParser options;
    StructureOptions(options, names);
    options.Flag({"--dir-album"}, names.DirAlbum)
        .Flag({"--year-from-date"}, names.JahrVonDatei)
        .Flag({"--touch"}, touch)
        .Flag({"--sync-id3v2"}, sync);
    AddCharsetOption(options);
    const std::vector<std::string> files = options.Parse(args);
    if (files.empty())
        throw TUsageError {"Keine Datei angegeben."};
    if (SeparatorsMissing(names)) {
        PrintError("Sie haben in den Einstellungen des Programms keine Trennzeichen angegeben, mit denen die "
                   "Informationen im Dateinamen getrennt sind.");
        return 1;
    }
    return SaveEach(files, {touch, sync}, [&names](const std::string& path, const TID3v1Tag& current, TID3v2Changes& whole) {
        TID3v1Tag tag = current;
        TParsedFields parsed;
        SplitFileName(Shown(BaseName(path)), AbsoluteFolder(path), names.JahrVonDatei ? FileYear(path, TFileLayer::Posix()) : QString(),
            names, tag, parsed);
        whole = ParsedID3v2Texts(parsed);
        return tag;
    });
}

int RunToName(const std::vector<std::string>& args)
{
    TNameStructure names;
    bool keepTrack0 = false;
    bool yearToDate = false;
    TDialogs::Result emptyField = TDialogs::Result::NoToAll;
    TOptionParser options;
    StructureOptions(options, names);
    options.Flag({"--keep-track0"}, keepTrack0).Flag({"--year-to-date"}, yearToDate);
    options.Value({"--empty"}, [&emptyField](const std::string& v) {
        if (v != "skip" && v != "rename")
            throw TUsageError {"Unbekannte Antwort für --empty: " + v + " (skip oder rename)"};
        emptyField = v == "skip" ? TDialogs::Result::NoToAll : TDialogs::Result::YesToAll;
    });
    AddCharsetOption(options);
    const std::vector<std::string> files = options.Parse(args);
    if (files.empty())
        throw TUsageError {"Keine Datei angegeben."};
    if (keepTrack0)
        names.keinTitel0 = false;
    if (yearToDate)
        names.JahrVonDatei = names.DatumBeibehalten = true;

    TRenameDialogs dialogs(emptyField);
    TTagSaver saver(dialogs);
    TNameRenamer renamer(dialogs, saver, names);
    int result = 0;
    for (const std::string& path : files) {
        TEintragDaten entry;
        if (!ReadTagEntry(path, entry)) {
            result = 1;
            continue;
        }
        switch (renamer.Rename(entry)) {
        case TNameRenamer::TOutcome::Renamed:
            std::printf("umbenannt: %s -> %s\n", path.c_str(), entry.FullPath().c_str());
            break;
        case TNameRenamer::TOutcome::Kept:
            std::printf("unverändert: %s\n", path.c_str());
            break;
        case TNameRenamer::TOutcome::Skipped:
            PrintError("übersprungen: " + path);
            break;
        case TNameRenamer::TOutcome::NoName:
            // The date moved all the same: not skipped.
            PrintError(yearToDate ? "Name unverändert (die Felder ergeben keinen Namen), Datum gesetzt: " + path
                                  : "übersprungen, die Felder ergeben keinen Namen: " + path);
            break;
        case TNameRenamer::TOutcome::Failed:
            PrintError("nicht umbenannt: " + path);
            result = 1;
            break;
        case TNameRenamer::TOutcome::Stopped:
            return 1;
        }
    }
    return result;
}

} // namespace km::cli
