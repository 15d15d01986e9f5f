#include "model/entry.h"

namespace km {

void SetUpListReader(TID3v2Reader& reader)
{
    reader.ReadID3v2 = false;
    reader.CopyID3v2IfEmptyFromID3v1 = true;
    reader.DecodeFrames = false; // the list never shows frames
}

void ReadEntry(TID3v2Reader& reader, const std::string& path, TEintragDaten& entry)
{
    reader.FileName = path;
    reader.ReadTags();
    if (!reader.FileExists)
        return;
    entry.MP3Info.Assign(&reader.MP3Info);
    entry.Tag = TagFromInfos(reader.ID3v1);
    entry.Duration = reader.Duration;
    entry.FileSize = reader.FileSize;
    entry.Attributes = reader.FileInformation.Attributes;
    entry.FileTime = reader.FileInformation.LastWriteTime;
}

} // namespace km
