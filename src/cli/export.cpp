#include "cli/commands.h"
#include "cli/listing.h"
#include "cli/saving.h"
#include "export/htmlpage.h"
#include "export/playlist.h"
#include "export/workbook.h"
#include "model/cells.h"
#include "platform/paths.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace km::cli {

extern const char* const kExportHelp;
const char* const kExportHelp =
    "klangmappe-cli export html|m3u|xlsx [OPTIONEN] --output DATEI ORDNER\n"
    "\n"
    "Schreibt die Dateiliste eines Ordners, wie sie \"list\" liest und sortiert,\n"
    "als HTML-Seite, als M3U-Playlist oder als Arbeitsmappe, wie die Befehle\n"
    "\"Liste exportieren\" des Hauptfensters:\n"
    "\n"
    "  html   die Seite mit den Spalten von --columns und einer Zeile je Datei,\n"
    "         UTF-8; Texte aus den Dateien werden maskiert\n"
    "  m3u    eine Zeile je Datei, mit --extended zuerst \"#EXTM3U\" und je Datei\n"
    "         \"#EXTINF:SEKUNDEN,INTERPRET - TITEL\"; liegt DATEI im Ordner selbst,\n"
    "         sind die Pfade relativ zu ihm, sonst vollständig; ein Pfad mit\n"
    "         Zeilenumbruch steht als file://-URL, ein relativer mit \"#\" oder\n"
    "         einem Leerzeichen am Anfang hinter \"./\"\n"
    "  xlsx   eine Zeile je Datei mit fünfzehn Textzellen: Ordner, Dateiname,\n"
    "         Titel, Interpret, Album, Titelnummer, Jahr, Bemerkung,\n"
    "         Musikrichtung, Größe, Attribute, MPEG-Version, Bitrate, Frequenz,\n"
    "         Stereo/Mono; keine Kopfzeile\n"
    "\n"
    "  --output DATEI   wohin geschrieben wird\n"
    "  --force          eine vorhandene DATEI ersetzen; sonst bleibt sie und der\n"
    "                   Rückgabewert ist 1\n"
    "  --recursive      auch die Unterordner durchsuchen\n"
    "  --columns IDS    die Spalten der Seite wie bei \"list\"; eine leere Liste\n"
    "                   ('') lässt nur leere Zeilen\n"
    "  --sort CODE      die Reihenfolge wie bei \"list\"\n"
    "  --extended       die erweiterte Playlist (m3u)\n"
    "  --charset NAME   der Zeichensatz der ID3v1-Texte (Vorgabe windows-1252;\n"
    "                   die Namen nennt klangmappe-cli info --help)\n"
    "\n"
    "Zeilen enden mit CR LF. Rückgabewert 1, wenn der Ordner fehlt, ein Unterordner\n"
    "oder eine Datei nicht gelesen oder DATEI nicht geschrieben werden konnte, 2 bei\n"
    "falschem Aufruf.\n";

namespace {

std::string Normalised(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::absolute(path, ec).lexically_normal().string();
}

// Written beside the target under a free name, then renamed onto it: a
// failure leaves an old file whole, and the name keeps its bytes.
bool Write(const std::string& path, const QByteArray& bytes, bool replace)
{
    const std::size_t slash = path.rfind('/');
    std::string temporary = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".klangmappe-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    bool ok = fd >= 0;
    if (ok) {
        // The old file's permissions, else what the user's mask allows.
        struct stat old {};
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, ::stat(path.c_str(), &old) == 0 ? old.st_mode & 07777 : 0666 & ~mask);
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
            ok = n > 0 || (n < 0 && errno == EINTR);
            done += n > 0 ? n : 0;
        }
        ok = ::fsync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        if (ok)
            ok = replace ? ::rename(temporary.c_str(), path.c_str()) == 0
                         : TFileLayer::Posix().RenameNoReplace(temporary, path) == 0;
        if (!ok)
            ::unlink(temporary.c_str());
    }
    if (!ok)
        PrintError("Die Datei \"" + path + "\" konnte nicht geschrieben werden.");
    return ok;
}

} // namespace

int RunExport(const std::vector<std::string>& args)
{
    bool extended = false;
    bool force = false;
    std::string output;
    TListOptions listed;
    TOptionParser options;
    listed.AddTo(options, true);
    AddCharsetOption(options);
    const std::vector<std::string> rest = options.Flag({"--extended"}, extended)
                                              .Flag({"--force"}, force)
                                              .Value({"--output", "-o"}, [&output](const std::string& v) { output = v; })
                                              .Parse(args);
    if (rest.size() != 2)
        throw TUsageError {};
    const std::string& format = rest[0];
    if (format != "html" && format != "m3u" && format != "xlsx")
        throw TUsageError {"Unbekanntes Format: " + format + " (html, m3u oder xlsx)", false};
    if (output.empty())
        throw TUsageError {"Keine Ausgabedatei angegeben (--output).", false};

    std::error_code ec;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(output, ec))) {
        const std::string name = std::filesystem::path(output).filename().string();
        PrintError(format == "m3u" ? "Die Playlist mit dem Namen \"" + name
                    + "\" existiert bereits.\nWollen Sie diese überschreiben? (--force ersetzt sie)"
                                   : "Die Datei \"" + name
                    + "\" existsiert bereits.\nWollen Sie diese überschreiben? (--force ersetzt sie)");
        return 1;
    }

    const std::vector<int> ids = listed.Ids();
    const TListing listing = ReadListing(rest[1], listed.Recursive, listed.SortKey, ids);
    if (listing.Folder.empty()) {
        PrintError("Ordner nicht gefunden: " + rest[1]);
        return 1;
    }

    bool written = false;
    if (format == "html") {
        const QLocale locale = QLocale::system();
        THtmlList list;
        for (const int id : ids)
            list.Captions << ColumnCaption(id);
        for (const TEintragDaten* entry : listing.Rows) {
            QStringList cells;
            for (const int id : ids)
                cells << CellText(id, *entry, locale);
            list.Rows.push_back(cells);
        }
        list.Folder = Shown(listing.Folder);
        list.Subfolders = listed.Recursive;
        list.Date = locale.toString(QDate::currentDate(), QLocale::ShortFormat);
        written = Write(output, HtmlPage(list).toUtf8(), force);
    } else if (format == "m3u") {
        // Relative paths only for a playlist in the listed folder itself.
        std::string playlistFolder = std::filesystem::path(Normalised(output)).parent_path().string();
        if (playlistFolder.empty() || playlistFolder.back() != '/')
            playlistFolder += '/';
        const std::vector<const TEintragDaten*> rows(listing.Rows.begin(), listing.Rows.end());
        written = Write(output,
            PlaylistText(rows, extended,
                playlistFolder == listing.Folder ? std::optional<std::string>(playlistFolder) : std::nullopt),
            force);
    } else {
        std::vector<QStringList> rows;
        for (const TEintragDaten* entry : listing.Rows)
            rows.push_back(WorkbookRow(*entry));
        // The library writes to a name of its own; the bytes then go the safe way.
        QTemporaryDir folder;
        const QString book = folder.filePath(QStringLiteral("liste.xlsx"));
        QFile file(book);
        if (folder.isValid() && WriteWorkbook(OnDisk(book), rows) && file.open(QIODevice::ReadOnly))
            written = Write(output, file.readAll(), force);
        else
            PrintError("Die Datei \"" + output + "\" konnte nicht geschrieben werden.");
    }
    if (!listing.Error.empty()) {
        PrintError(listing.Error);
        return 1;
    }
    return written && listing.UnreadableFolders == 0 ? 0 : 1;
}

} // namespace km::cli
