#include "cli/commands.h"
#include "cli/json.h"
#include "cli/listing.h"
#include "model/cells.h"
#include "model/columns.h"

#include <QLocale>

#include <cstdio>
#include <string>

namespace km::cli {

const char* const kListHelp =
    "klangmappe-cli list [--recursive] [--columns ID,ID,...] [--sort CODE] [--json]\n"
    "                    [--charset NAME] ORDNER\n"
    "\n"
    "Liest alle MP3-Dateien des Ordners wie die Dateiliste des Hauptfensters und\n"
    "gibt sie in deren Sortierung aus: eine Kopfzeile mit den Spaltentiteln, dann\n"
    "je Datei eine Zeile mit den Zellen, durch Tabulatoren getrennt (Tabulatoren\n"
    "und Zeilenumbrüche in einer Zelle werden zu Leerzeichen; Bytes eines Namens,\n"
    "die kein UTF-8 sind, erscheinen als U+FFFD).\n"
    "\n"
    "  --recursive   auch die Unterordner durchsuchen\n"
    "  --columns     die Spalten in dieser Reihenfolge (Vorgabe: 0,1,2,3,4,5,6,7,15):\n"
    "                 0 Dateiname      6 Bemerkung      12 Bitrate\n"
    "                 1 Titel          7 Musikrichtung  13 Frequenz\n"
    "                 2 Interpret      8 Ordner         14 Stereo/Mono\n"
    "                 3 Album          9 Größe          15 Länge\n"
    "                 4 Titelnr       10 Attribute      16 Dateidatum\n"
    "                 5 Jahr          11 MPEG-Version   17 ID3v2\n"
    "  --sort CODE   Spalte + 1, negativ für absteigend (Vorgabe: 1, Dateiname);\n"
    "                bei gleichen Werten entscheiden die gezeigten Spalten von links\n"
    "  --json        ein JSON-Array von Objekten mit den Spaltentiteln als Schlüsseln;\n"
    "                ist der Pfad einer Datei kein gültiges UTF-8, steht sein\n"
    "                Bytewert zusätzlich als Hexadezimaltext unter \"pathHex\"\n"
    "  --charset NAME  der Zeichensatz der ID3v1-Texte (Vorgabe windows-1252; siehe\n"
    "                klangmappe-cli info --help); sortiert wird nach den gelesenen Texten\n"
    "\n"
    "Zahlen und Datum folgen LANG, die Uhrzeit TZ. Ein fehlender Ordner ergibt nur\n"
    "die Kopfzeile und \"Ordner nicht gefunden: ORDNER\"; eine Datei, die nicht\n"
    "gelesen werden kann, beendet die Liste mit den bis dahin gelesenen Zeilen.\n"
    "Ein Unterordner, der nicht gelesen werden kann, wird mit \"Ordner nicht lesbar:\"\n"
    "auf stderr genannt; die Liste zeigt die übrigen Dateien.\n"
    "Rückgabewert 1 in diesen Fällen.\n";

namespace {

std::string Utf8(const QString& s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

std::string FlatCell(const QString& text)
{
    std::string s = Utf8(text);
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return s;
}

} // namespace

int RunList(const std::vector<std::string>& args)
{
    bool json = false;
    TListOptions list;
    TOptionParser options;
    list.AddTo(options);
    AddCharsetOption(options);
    const std::vector<std::string> folders = options.Flag({"--json"}, json).Parse(args);
    if (folders.size() != 1)
        throw TUsageError {};

    const std::vector<int> ids = list.Ids();
    const TListing listing = ReadListing(folders[0], list.Recursive, list.SortKey, ids);

    if (json) {
        std::fputs("[", stdout);
    } else {
        std::string header;
        for (std::size_t k = 0; k < ids.size(); ++k)
            header += (k ? "\t" : "") + FlatCell(ColumnCaption(ids[k]));
        std::printf("%s\n", header.c_str());
    }
    const auto finish = [json] {
        if (json)
            std::fputs("]\n", stdout);
        std::fflush(stdout);
    };

    if (listing.Folder.empty()) {
        finish();
        std::fprintf(stderr, "Ordner nicht gefunden: %s\n", folders[0].c_str());
        return 1;
    }
    const std::vector<TEintragDaten*>& rows = listing.Rows;

    const QLocale locale = QLocale::system();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (json) {
            TJsonObject row;
            for (const int id : ids)
                row.Str(Utf8(ColumnCaption(id)), Utf8(CellText(id, *rows[r], locale)));
            // The texts show U+FFFD for bytes that are no UTF-8; these give the path back.
            if (const std::string path = rows[r]->FullPath(); !IsValidUtf8(path))
                row.Str("pathHex", LowerHex(std::span(reinterpret_cast<const std::uint8_t*>(path.data()), path.size())));
            std::printf("%s%s", r ? "," : "", row.Text().c_str());
        } else {
            std::string line;
            for (std::size_t k = 0; k < ids.size(); ++k)
                line += (k ? "\t" : "") + FlatCell(CellText(ids[k], *rows[r], locale));
            std::printf("%s\n", line.c_str());
        }
    }
    finish();
    if (!listing.Error.empty()) {
        std::fprintf(stderr, "%s\n", listing.Error.c_str());
        return 1;
    }
    return listing.UnreadableFolders > 0 ? 1 : 0;
}

} // namespace km::cli
