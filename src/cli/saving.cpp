#include "cli/saving.h"

#include "edit/tagsaver.h"
#include "model/entry.h"
#include "platform/dialogs.h"
#include "tags/id3v2reader.h"

#include <QString>

#include <cstdio>

namespace km::cli {

void PrintError(const std::string& text)
{
    std::fflush(stdout);
    std::string lines = text;
    for (char& c : lines)
        if (c == '\r')
            c = '\n';
    std::fprintf(stderr, "%s\n", lines.c_str());
}

TDialogs::Result TScriptDialogs::Message(const QString& text, Kind, unsigned buttons, unsigned)
{
    PrintError(text.toStdString());
    return (buttons & No) ? Result::No : Result::Ok;
}

bool ReadTagEntry(const std::string& path, TEintragDaten& entry)
{
    TID3v2Reader reader;
    SetUpListReader(reader);
    reader.FileName = path;
    try {
        reader.ReadTags();
    } catch (const TFileError& e) {
        PrintError(e.what());
        return false;
    }
    if (!reader.FileExists) {
        PrintError("Datei nicht gefunden: " + path);
        return false;
    }
    const std::size_t slash = path.rfind('/');
    entry.Folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    entry.FileName = path.substr(entry.Folder.size());
    entry.Tag = TagFromInfos(reader.ID3v1);
    return true;
}

namespace {

// Read, changed and written through one open handle; a file that cannot be
// opened for writing is read on its own, so an unchanged tag is still told
// as such and a failing write is told as the window tells it.
TTagSaver::TSaveResult ReadAndSave(TTagSaver& saver, const std::string& path, const TTagChange& change,
    bool& readable)
{
    readable = true;
    TTagFile file(path, saver.FileLayer());
    TID3v2Changes whole;
    try {
        if (file.Open() == 0) {
            const TID3v1Tag tag = change(path, TagFromInfos(file.Reader().ID3v1), whole);
            return saver.Save(file, tag, whole);
        }
    } catch (const TFileError& e) {
        PrintError(e.what());
        readable = false;
        return TTagSaver::TSaveResult::Failed;
    }
    TEintragDaten entry;
    if (!ReadTagEntry(path, entry)) {
        readable = false;
        return TTagSaver::TSaveResult::Failed;
    }
    const TID3v1Tag tag = change(path, entry.Tag, whole);
    return saver.Save(entry, tag, whole);
}

// True when the file ended up with the tag.
bool SaveFile(TTagSaver& saver, const std::string& path, const TTagChange& change)
{
    bool readable = true;
    const TTagSaver::TSaveResult result = ReadAndSave(saver, path, change, readable);
    if (!readable)
        return false;
    switch (result) {
    case TTagSaver::TSaveResult::Unchanged:
        std::printf("unverändert: %s\n", path.c_str());
        return true;
    case TTagSaver::TSaveResult::Written:
        std::printf("geschrieben: %s\n", path.c_str());
        return true;
    case TTagSaver::TSaveResult::TooSmall:
        PrintError("Datei zu klein für einen ID3v1-Block, nicht geschrieben: " + path);
        return false;
    case TTagSaver::TSaveResult::Failed:
        break;
    }
    PrintError("nicht geschrieben: " + path);
    return false;
}

} // namespace

int SaveEach(const std::vector<std::string>& files, TSaveOptions options, const TTagChange& change)
{
    TScriptDialogs dialogs;
    TTagSaver saver(dialogs);
    saver.SetDatumBeibehalten(!options.Touch);
    saver.SetID3v2Mitschreiben(options.SyncID3v2);
    int result = 0;
    for (const std::string& path : files) {
        if (!SaveFile(saver, path, change))
            result = 1;
        for (const TTagSaver::TID3v2Refusal& refused : saver.TakeID3v2Refusals()) {
            PrintError("ID3v2 nicht geändert (" + refused.Reason + "): " + refused.Path);
            result = 1;
        }
    }
    return result;
}

} // namespace km::cli
