#include "model/entry.h"

#include "model/id3v2compare.h"

namespace km {

void SetUpListReader(TID3v2Reader& reader)
{
    reader.ReadID3v2 = false;
    reader.CopyID3v2IfEmptyFromID3v1 = true;
    reader.DecodeFrames = false; // the list never shows frames
    reader.ReadFields = false;   // only where the ID3v2 column or the panel shows them
}

void ReadEntry(TID3v2Reader& reader, const std::string& path, TEintragDaten& entry)
{
    reader.FileName = path;
    const bool fields = reader.ReadFields;
    reader.ReadFields = fields || entry.ID3v2Known;
    try {
        reader.ReadTags();
    } catch (...) {
        reader.ReadFields = fields;
        throw;
    }
    const bool readFields = reader.ReadFields;
    reader.ReadFields = fields;
    if (!reader.FileExists)
        return;
    entry.MP3Info.Assign(&reader.MP3Info);
    entry.Tag = TagFromInfos(reader.ID3v1);
    entry.Duration = reader.Duration;
    entry.FileSize = reader.FileSize;
    entry.Attributes = reader.FileInformation.Attributes;
    entry.FileTime = reader.FileInformation.LastWriteTime;
    if (readFields) {
        entry.ID3v2Known = true;
        entry.ID3v2Version = reader.ID3v2Fields.Version;
        entry.ID3v2Differs = ID3v2Differences(reader.ID3v2Fields, entry.Tag);
    }
}

} // namespace km
