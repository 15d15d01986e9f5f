#pragma once

#include "tags/fileio.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2patch.h"
#include "tags/id3v2reader.h"

#include <functional>
#include <string>

namespace km {

// The writer's texts; the caller shows them ("\r" is a line break).
inline constexpr const char* kFileGoneText =
    "Die Datei existiert nicht mehr.\rDie Titelinformationen konnten nicht geschrieben werden.";
inline constexpr const char* kRetryWriteText =
    "Die Titelinformationen konnten nicht geschrieben werden, weil der  Dateizugriff verweigert wurde. "
    "Wahrscheinlich ist die Datei oder der Datenträger schreibgeschützt.\rWollen sie es erneuert versuchen?";
inline constexpr const char* kRetryNoSpaceText =
    "Die Titelinformationen konnten nicht geschrieben werden, weil auf dem Datenträger nicht genügend Platz ist."
    "\rWollen sie es erneuert versuchen?";
// The retry question for a failure with -errno `err` (0: unknown).
const char* RetryWriteText(int err);
// Told by the caller for TWriteResult::DamagedID3v2; `name` is the file's name.
std::string DamagedID3v2Text(const std::string& name);

// How the writer talks to the user: it never shows anything itself.
struct TWriteQuestions {
    std::function<void()> FileGone;             // kFileGoneText, information, OK
    // The question to show (RetryWriteText of the failure), confirmation, Yes (true) / No.
    std::function<bool(const char* question)> RetryAfterFailure;
    // Written with keepTimes, but the times could not be set back (-errno).
    std::function<void(int err)> TimesNotKept;
};

// Byte for byte over the full 125 bytes, the bytes behind a terminating zero included.
bool SameTag(const TID3v1Tag& a, const TID3v1Tag& b);

// Puts `tag` into the file's ID3v1 block: overwrites the block the reader
// reads in place, appends one otherwise, or removes it for the empty tag; a
// file of 130 bytes or less is left alone. Only the last 128 bytes change (or
// 128 are appended or cut off); a write that fails leaves the file as it was.
// With `keepTimes` the file's times survive the write (when they cannot be
// read, nothing is written; when they cannot be set back, TimesNotKept is
// told). A failure asks
// RetryAfterFailure and repeats the whole write while it answers true. False:
// the file is gone, its leading ID3v2 tag runs past its end, or the user gave up.
bool WriteID3v1Tag(const std::string& path, const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask,
    TFileLayer& layer = TFileLayer::Posix());

// What a write does to the file's first leading ID3v2 tag beside the block.
struct TID3v2Job {
    // Turns the old tag into the new one: a patch, or an undo.
    std::function<TID3v2Patch(std::span<const std::uint8_t> tag)> Change;
    // Filled by the write that put the block in.
    std::string Refused;  // why the tag stayed as it was; empty: changed, or nothing to change
    bool Changed = false; // by any pass: a retry finds the change made and keeps this
    TID3v2Undo Undo;      // what the patch replaced
    TID3v2Fields Expected; // what the new tag holds, for the read-back
};
// Why a tag was not changed where the tag itself is fine.
inline constexpr const char* kOnlyAppendedText = "Tag nur am Dateiende";
inline constexpr const char* kHardLinksText = "mehrere harte Links";
inline constexpr const char* kAttributesText = "Rechte nicht übertragbar";
inline constexpr const char* kFolderText = "Ordner nicht beschreibbar";

enum class TWriteResult { Written, TooSmall, DamagedID3v2, Failed };
// WriteID3v1Tag, telling apart the files left alone without asking: one too
// small to hold a block, and one whose leading ID3v2 tag claims more bytes
// than the file has (a block appended there would be read as part of it).
// With `id3v2`, the tag there changes with the block: in place with one
// write where it keeps its size, else by writing the whole file anew beside
// it and renaming that over it. A tag that cannot be changed safely stays,
// and id3v2->Refused says why; the block is written all the same.
TWriteResult WriteID3v1Block(const std::string& path, const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask,
    TFileLayer& layer = TFileLayer::Posix(), TID3v2Job* id3v2 = nullptr);

// A file read and written through one open handle, so that a change of its
// tag costs one open: opened for writing, read as the list reads it, then
// written by the rules of WriteID3v1Block.
class TTagFile {
public:
    explicit TTagFile(const std::string& path, TFileLayer& layer = TFileLayer::Posix());
    ~TTagFile();
    TTagFile(const TTagFile&) = delete;
    TTagFile& operator=(const TTagFile&) = delete;

    // 0, or -errno when the file cannot be opened for reading and writing
    // (missing, a folder, write-protected...). Throws TFileError when the
    // open file cannot be read; no frames are decoded.
    int Open();
    // Whether Open read the file; Reader() holds nothing before.
    bool IsRead() const { return m_read; }
    const TID3v2Reader& Reader() const { return m_reader; }
    // WriteID3v1Block through the open file, which it closes; a write the
    // user asks to repeat opens the file afresh.
    TWriteResult Write(const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask, TID3v2Job* id3v2 = nullptr);

private:
    TFileLayer& m_layer;
    TID3v2Reader m_reader;
    int m_fd = -1;
    bool m_read = false;
};

// The file's last-write time; the current time when it cannot be read.
TFileTime ReadLastWriteTime(const std::string& path, TFileLayer& layer = TFileLayer::Posix());
// The same, but 0 (which WriteLastWriteTime leaves alone) when it cannot be read.
TFileTime KnownLastWriteTime(const std::string& path, TFileLayer& layer = TFileLayer::Posix());
// Sets only the last-write time; a failure is silent.
void WriteLastWriteTime(const std::string& path, TFileTime time, TFileLayer& layer = TFileLayer::Posix());

} // namespace km
