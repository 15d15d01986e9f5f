#include "cli/commands.h"
#include "cli/saving.h"
#include "edit/storetag.h"
#include "tags/genres.h"

#include <QString>

#include <array>
#include <cstdio>
#include <optional>
#include <string>

namespace km::cli {

// Declared here as well, so the text keeps external linkage on its own.
extern const char* const kSetHelp;
const char* const kSetHelp =
    "klangmappe-cli set [OPTIONEN] DATEI...\n"
    "\n"
    "Schreibt Felder in den ID3v1-Block jeder Datei, so wie das Bearbeitungsfeld\n"
    "des Hauptfensters sie speichert. Nur die angegebenen Felder ändern sich, die\n"
    "übrigen bleiben, wie sie in der Datei stehen.\n"
    "\n"
    "  --title TEXT     Titel (höchstens 30 Zeichen)\n"
    "  --artist TEXT    Interpret (höchstens 30 Zeichen)\n"
    "  --album TEXT     Album (höchstens 30 Zeichen)\n"
    "  --year TEXT      Jahr (höchstens 4 Zeichen)\n"
    "  --comment TEXT   Bemerkung (höchstens 29 Zeichen)\n"
    "  --track ZAHL     Titelnummer; keine Zahl ergibt 0, Werte ab 256 zählen\n"
    "                   modulo 256 (256 ergibt 0)\n"
    "  --genre NAME     Musikrichtung mit ihrem genauen Namen aus der Liste,\n"
    "                   z. B. \"Rock\" oder \"Hip-Hop\"; none = keine\n"
    "  --clear          mit einem leeren Block beginnen (die übrigen Optionen\n"
    "                   gelten danach); bleibt er leer, wird der Block entfernt\n"
    "  --touch          das Änderungsdatum auf jetzt setzen; sonst bleiben die\n"
    "                   Zeiten der Datei erhalten\n"
    "  --sync-id3v2     geänderte Felder auch in den ID3v2-Tag am Dateianfang\n"
    "                   schreiben (2.3 und 2.4; es wird keiner angelegt)\n"
    "  --charset NAME   der Zeichensatz der ID3v1-Texte (Vorgabe windows-1252;\n"
    "                   die Namen nennt klangmappe-cli info --help)\n"
    "\n"
    "Texte werden als UTF-8 gelesen und als Windows-1252 gespeichert; Zeichen, die\n"
    "Windows-1252 nicht kennt, werden zu \"?\". Führende und folgende Leer- und\n"
    "Steuerzeichen fallen weg, zu lange Texte werden abgeschnitten; der ID3v2-Tag\n"
    "bekommt mit --sync-id3v2 den ganzen Text.\n"
    "\n"
    "Je Datei eine Zeile \"geschrieben: PFAD\", oder \"unverändert: PFAD\", wenn\n"
    "der Block schon so aussah (dann wird die Datei nicht angerührt). Dateien von\n"
    "130 Bytes oder weniger werden nicht beschrieben. Fehler erscheinen auf der\n"
    "Standardfehlerausgabe, die übrigen Dateien werden trotzdem bearbeitet.\n"
    "Rückgabewert 1, wenn eine Datei fehlte, nicht gelesen oder nicht geschrieben\n"
    "werden konnte oder ihr ID3v2-Tag nicht geändert werden konnte (\"ID3v2 nicht\n"
    "geändert (GRUND): PFAD\"); 2 bei falschem Aufruf, auch bei einem unbekannten Genre.\n";

namespace {

struct TSetFields {
    std::optional<std::string> title, artist, album, year, comment, track;
    std::optional<std::uint8_t> genre;
    bool clear = false;
    bool touch = false;
    bool sync = false;

    bool Any() const { return clear || title || artist || album || year || comment || track || genre; }
};

std::optional<std::uint8_t> GenreByName(const std::string& name)
{
    if (name == "none")
        return kNoGenre;
    for (std::size_t i = 0; i < GenreNames.size(); ++i)
        if (GenreNames[i] == name)
            return static_cast<std::uint8_t>(i);
    return std::nullopt;
}

QString Utf8(const std::optional<std::string>& arg)
{
    return arg ? QString::fromUtf8(arg->data(), static_cast<qsizetype>(arg->size())) : QString();
}

// The options given are the fields typed, stored as the edit panel stores them.
TID3v1Tag NewTag(const TID3v1Tag& current, const TSetFields& f)
{
    const TTypedFields typed {Utf8(f.title), Utf8(f.artist), Utf8(f.album), Utf8(f.year), Utf8(f.comment),
        Utf8(f.track), f.genre};
    const TFieldFlags given {bool(f.title), bool(f.artist), bool(f.album), bool(f.year), bool(f.comment),
        bool(f.track), bool(f.genre)};
    return ApplyTypedFields(f.clear ? EmptyTag() : current, typed, given);
}

} // namespace

int RunSet(const std::vector<std::string>& args)
{
    TSetFields fields;
    TOptionParser options;
    options.Flag({"--clear"}, fields.clear).Flag({"--touch"}, fields.touch).Flag({"--sync-id3v2"}, fields.sync);
    const auto textOption = [&options](const char* name, std::optional<std::string>& field) {
        options.Value({name}, [&field](const std::string& v) { field = v; });
    };
    textOption("--title", fields.title);
    textOption("--artist", fields.artist);
    textOption("--album", fields.album);
    textOption("--year", fields.year);
    textOption("--comment", fields.comment);
    textOption("--track", fields.track);
    options.Value({"--genre"}, [&fields](const std::string& v) {
        if (!(fields.genre = GenreByName(v)))
            throw TUsageError {
                "Unbekannte Musikrichtung: " + v + "\n(der genaue Name aus der Liste, z. B. \"Rock\", oder none)"};
    });
    AddCharsetOption(options);
    const std::vector<std::string> files = options.Parse(args);
    if (!fields.Any())
        throw TUsageError {"Kein Feld angegeben."};
    if (files.empty())
        throw TUsageError {"Keine Datei angegeben."};

    return SaveEach(files, {fields.touch, fields.sync},
        [&fields](const std::string&, const TID3v1Tag& tag, TID3v2Changes& whole) {
            // The frames get the texts as given, not as ID3v1 keeps them; a
            // year stays the four characters a year frame holds.
            const std::array<std::pair<TID3v2Field, const std::optional<std::string>*>, 4> texts {
                {{V2Title, &fields.title}, {V2Artist, &fields.artist}, {V2Album, &fields.album},
                    {V2Comment, &fields.comment}}};
            for (const auto& [field, text] : texts)
                if (*text)
                    whole[field] = TID3v2Change {ID3v2TypedText(Utf8(*text)), {}};
            return NewTag(tag, fields);
        });
}

} // namespace km::cli
