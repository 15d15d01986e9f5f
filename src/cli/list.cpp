#include "cli/commands.h"
#include "cli/json.h"

#include "browse/cells.h"
#include "browse/collect.h"
#include "browse/columns.h"
#include "browse/sorting.h"

#include <QLocale>

#include <cstdio>
#include <dirent.h>
#include <filesystem>
#include <string>

namespace km::cli {

const char* const kListHelp =
    "klangmappe-cli list [--recursive] [--columns ID,ID,...] [--sort CODE] [--json] ORDNER\n"
    "\n"
    "Liest alle MP3-Dateien des Ordners wie die Dateiliste des Hauptfensters und\n"
    "gibt sie in deren Sortierung aus: eine Kopfzeile mit den Spaltentiteln, dann\n"
    "je Datei eine Zeile mit den Zellen, durch Tabulatoren getrennt (Tabulatoren\n"
    "und Zeilenumbrüche in einer Zelle werden zu Leerzeichen).\n"
    "\n"
    "  --recursive   auch die Unterordner durchsuchen\n"
    "  --columns     die Spalten in dieser Reihenfolge (Vorgabe: 0,1,2,3,4,5,6,7,15):\n"
    "                 0 Dateiname      6 Bemerkung      12 Bitrate\n"
    "                 1 Titel          7 Musikrichtung  13 Frequenz\n"
    "                 2 Interpret      8 Ordner         14 Stereo/Mono\n"
    "                 3 Album          9 Größe          15 Länge\n"
    "                 4 Titelnr       10 Attribute      16 Dateidatum\n"
    "                 5 Jahr          11 MPEG-Version\n"
    "  --sort CODE   Spalte + 1, negativ für absteigend (Vorgabe: 1, Dateiname);\n"
    "                bei gleichen Werten entscheiden die gezeigten Spalten von links\n"
    "  --json        ein JSON-Array von Objekten mit den Spaltentiteln als Schlüsseln\n"
    "\n"
    "Zahlen und Datum folgen LANG, die Uhrzeit TZ. Ein fehlender Ordner ergibt nur\n"
    "die Kopfzeile und \"Ordner nicht gefunden: ORDNER\"; eine Datei, die nicht\n"
    "gelesen werden kann, beendet die Liste mit den bis dahin gelesenen Zeilen.\n"
    "Rückgabewert 1 in beiden Fällen.\n";

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

bool ParseInt(const std::string& text, int& value)
{
    try {
        std::size_t used = 0;
        const long long v = std::stoll(text, &used);
        if (used != text.size() || v < INT32_MIN || v > INT32_MAX)
            return false;
        value = static_cast<int>(v);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ParseColumns(const std::string& text, std::vector<TColumnPair>& pairs)
{
    pairs.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        int id = 0;
        if (!ParseInt(text.substr(start, comma - start), id))
            return false;
        pairs.push_back({id, IsColumnId(id) ? ColumnInfos[static_cast<std::size_t>(id)].DefaultWidth : 0});
        start = comma + 1;
    }
    return true;
}

bool CanList(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

} // namespace

int RunList(const std::vector<std::string>& args)
{
    bool recursive = false;
    bool json = false;
    int sortKey = kDefaultSortKey;
    std::vector<TColumnPair> layout = DefaultColumnLayout();
    const std::vector<std::string> folders = TOptionParser()
        .Flag({"--recursive", "-r"}, recursive)
        .Flag({"--json"}, json)
        .Value({"--columns"},
            [&layout](const std::string& v) {
                if (!ParseColumns(v, layout))
                    throw TUsageError {"Ungültige Spaltenliste: " + v, false};
            })
        .Value({"--sort"},
            [&sortKey](const std::string& v) {
                if (!ParseInt(v, sortKey))
                    throw TUsageError {"Ungültiger Sortiercode: " + v, false};
            })
        .MissingValue([](const std::string& option) { return TUsageError {"Wert fehlt: " + option, false}; })
        .Parse(args);
    if (folders.size() != 1)
        throw TUsageError {};

    std::vector<int> ids;
    for (const TColumnPair& c : ColumnsOfLayout(layout))
        ids.push_back(c.Id);

    std::error_code ec;
    std::string folder = folders[0].empty() ? std::string() : std::filesystem::absolute(folders[0], ec).lexically_normal().string();
    if (!folder.empty() && folder.back() != '/')
        folder += '/';

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

    if (folder.empty() || !CanList(folder)) {
        finish();
        std::fprintf(stderr, "Ordner nicht gefunden: %s\n", folders[0].c_str());
        return 1;
    }

    TEntryList entries;
    int found = 0;
    CollectFiles(folder, recursive, entries, TCollectProgress {}, found);

    // Read in the order found, keeping the rows sorted as they come.
    TID3v2Reader reader;
    SetUpListReader(reader);
    std::vector<TEintragDaten*> rows;
    rows.reserve(entries.size());
    int result = 0;
    std::string error;
    for (const auto& entry : entries) {
        entry->InSelection = 0;
        try {
            ReadEntry(reader, entry->FullPath(), *entry);
        } catch (const TFileError& e) {
            error = e.what();
            result = 1;
            break;
        }
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(SortedPosition(rows, *entry, sortKey, ids)), entry.get());
    }

    const QLocale locale = QLocale::system();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (json) {
            TJsonObject row;
            for (const int id : ids)
                row.Str(Utf8(ColumnCaption(id)), Utf8(CellText(id, *rows[r], locale)));
            std::printf("%s%s", r ? "," : "", row.Text().c_str());
        } else {
            std::string line;
            for (std::size_t k = 0; k < ids.size(); ++k)
                line += (k ? "\t" : "") + FlatCell(CellText(ids[k], *rows[r], locale));
            std::printf("%s\n", line.c_str());
        }
    }
    finish();
    if (!error.empty())
        std::fprintf(stderr, "%s\n", error.c_str());
    return result;
}

} // namespace km::cli
