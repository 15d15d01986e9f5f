#include "cli/commands.h"
#include "cli/json.h"
#include "model/id3v2compare.h"
#include "platform/charset.h"
#include "platform/cp1252.h"
#include "tags/id3v2reader.h"

#include <cstdio>

namespace km::cli {

const char* const kInfoHelp =
    "klangmappe-cli info [--id3v2] [--charset NAME] DATEI...\n"
    "\n"
    "Liest jede Datei so, wie das Hauptfenster sie liest, und gibt je Datei eine\n"
    "Zeile mit einem JSON-Objekt aus. Schlüssel in dieser Reihenfolge:\n"
    "  path           der Pfad, wie er angegeben wurde\n"
    "  pathHex        nur wenn der Pfad kein gültiges UTF-8 ist (in path steht\n"
    "                 dann U+FFFD): seine Bytes als Hex in Kleinbuchstaben\n"
    "  fileSize       Dateigröße in Bytes\n"
    "  hasID3v1       ein ID3v1-Block steht am Dateiende\n"
    "  hasID3v2       ein ID3v2-Tag wurde gefunden\n"
    "  hasAudioFrame  ein MPEG-Frame-Kopf wurde gefunden\n"
    "  id3v2Offset    Position des (letzten gefundenen) ID3v2-Tags\n"
    "  id3v2Size      seine Größe samt Kopf und Fußzeile\n"
    "  id3v2Version   Hauptversion des ersten führenden ID3v2-Tags (2, 3 oder 4;\n"
    "                 0 ohne einen solchen Tag)\n"
    "  id3v2Differs   die Felder, in denen dieser Tag vom ID3v1-Block abweicht,\n"
    "                 als Liste aus title, artist, album, year, comment, track\n"
    "                 und genre\n"
    "  duration       Spieldauer in Millisekunden\n"
    "  version        MPEG-Version (1, 2; 0 = unbekannt)\n"
    "  layer          Layer (1 bis 3; 0 = unbekannt)\n"
    "  bitrate        Bitrate in kbit/s (bei VBR der Mittelwert)\n"
    "  sampleRate     Abtastrate in Hz\n"
    "  channelMode    0 Stereo, 1 Joint Stereo, 2 Zweikanal, 3 Mono\n"
    "  vbr            ein Xing-Kopf wurde gefunden\n"
    "  title, artist, album, year, comment\n"
    "                 die ID3v1-Felder, getrimmt, von Windows-1252 (oder dem\n"
    "                 Zeichensatz von --charset) nach UTF-8\n"
    "  track          Titelnummer (0 = keine)\n"
    "  genreIndex     Genre-Byte (255 = keins)\n"
    "  genre          Genre als \"(17)Rock\"; leer ohne Namen\n"
    "  frames         Liste von {\"id\": Frame-Kennung, \"data\": Inhalt als Hex}\n"
    "\n"
    "Ohne --id3v2 werden die Frames eines führenden ID3v2-Tags nicht gelesen;\n"
    "fehlt ein ID3v2-Tag, stehen in frames die Felder des ID3v1-Blocks.\n"
    "Mit --id3v2 werden auch die Frames eines führenden Tags entschlüsselt.\n"
    "--charset NAME liest die ID3v1-Texte in einem anderen Zeichensatz: windows-1250,\n"
    "windows-1251, koi8-r, windows-1253 bis windows-1258, windows-874, shift_jis,\n"
    "gbk, big5 oder euc-kr (Vorgabe windows-1252).\n"
    "Komprimierte Frames werden je Datei, über alle Tags zusammen, auf höchstens\n"
    "64 MiB entpackt; ein Frame darüber hinaus behält seine gespeicherten Bytes.\n"
    "\n"
    "Eine fehlende Datei ergibt leere Werte und \"Datei nicht gefunden: PFAD\";\n"
    "eine unlesbare Datei ergibt eine Fehlermeldung und keine Zeile.\n"
    "Rückgabewert 1, wenn eine Datei fehlte oder nicht gelesen werden konnte.\n";

namespace {

// The fields in which the first leading ID3v2 tag disagrees with the ID3v1 block, by their keys.
std::string DiffersList(const TID3v2Reader& r)
{
    const std::uint8_t differs = ID3v2Differences(r.ID3v2Fields, TagFromInfos(r.ID3v1));
    std::string list = "[";
    for (int k = 0; k < kID3v2FieldCount; ++k) {
        if (!(differs & (1u << k)))
            continue;
        if (list.size() > 1)
            list += ',';
        list += JsonQuote(ID3v2FieldKeys[static_cast<std::size_t>(k)]);
    }
    return list + "]";
}

// Written piece by piece: frame data may be tens of MiB, and a line built
// in memory first would hold it several times over.
void PrintInfoLine(const std::string& path, const TID3v2Reader& r)
{
    TJsonObject head;
    head.Str("path", path);
    if (!IsValidUtf8(path))
        head.Str("pathHex", LowerHex(std::span(reinterpret_cast<const std::uint8_t*>(path.data()), path.size())));
    std::string text = head
        .Num("fileSize", r.FileSize)
        .Bool("hasID3v1", r.HasID3v1)
        .Bool("hasID3v2", r.HasID3v2)
        .Bool("hasAudioFrame", r.HasAudioFrame)
        .Num("id3v2Offset", r.ID3v2Offset)
        .Num("id3v2Size", r.ID3v2Size)
        .Num("id3v2Version", r.ID3v2Fields.Version)
        .Raw("id3v2Differs", DiffersList(r))
        .Num("duration", r.Duration)
        .Num("version", r.MP3Info.Version)
        .Num("layer", r.MP3Info.Layer)
        .Num("bitrate", r.MP3Info.Bitrate)
        .Num("sampleRate", r.MP3Info.SampleRate)
        .Num("channelMode", r.MP3Info.ChannelMode)
        .Bool("vbr", r.MP3Info.VBR)
        .Str("title", ID3v1Charset().ToUtf8(r.ID3v1.Title))
        .Str("artist", ID3v1Charset().ToUtf8(r.ID3v1.Artist))
        .Str("album", ID3v1Charset().ToUtf8(r.ID3v1.Album))
        .Str("year", ID3v1Charset().ToUtf8(r.ID3v1.Year))
        .Str("comment", ID3v1Charset().ToUtf8(r.ID3v1.Comment))
        .Num("track", r.ID3v1.Track)
        .Num("genreIndex", r.ID3v1.GenreIndex)
        .Str("genre", Cp1252ToUtf8(r.ID3v1.Genre))
        .Raw("frames", "[")
        .Text();
    text.pop_back(); // the object's closing brace comes after the frames
    std::fputs(text.c_str(), stdout);
    bool first = true;
    for (const TID3Frame& f : r.Frames) {
        std::printf("%s{\"id\":%s,\"data\":\"", first ? "" : ",", JsonQuote(Cp1252ToUtf8(f.FrameID)).c_str());
        WriteLowerHex(stdout, f.Data);
        std::fputs("\"}", stdout);
        first = false;
    }
    std::fputs("]}\n", stdout);
}

} // namespace

int RunInfo(const std::vector<std::string>& args)
{
    bool readId3v2 = false;
    TOptionParser options;
    options.Flag({"--id3v2"}, readId3v2);
    AddCharsetOption(options);
    const std::vector<std::string> files = options.Parse(args);
    if (files.empty())
        throw TUsageError {};

    TID3v2Reader reader;
    reader.ReadID3v2 = readId3v2;
    reader.CopyID3v2IfEmptyFromID3v1 = true;
    reader.ReadFields = true;
    if (!ID3v1Charset().IsDefault())
        reader.ID3v1ToUtf8 = [](std::string_view bytes) { return ID3v1Charset().ToUtf8(bytes); };
    int result = 0;
    for (const std::string& path : files) {
        reader.FileName = path;
        try {
            reader.ReadTags();
        } catch (const TFileError& e) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", e.what());
            result = 1;
            continue;
        }
        PrintInfoLine(path, reader);
        if (!reader.FileExists) {
            std::fflush(stdout);
            std::fprintf(stderr, "Datei nicht gefunden: %s\n", path.c_str());
            result = 1;
        }
    }
    return result;
}

} // namespace km::cli
