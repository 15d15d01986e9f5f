#pragma once

#include "tags/fileio.h"
#include "tags/id3v1tag.h"
#include "tags/id3v2patch.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>

namespace km {

// How the user's file names are built: up to three parts, each naming a tag
// field, joined by two separators; and the options that go with it.
struct TNameStructure {
    // Part kinds: 0 nothing, 1 Titelnr., 2 Interpret, 3 Titel, 4 Album, 5 Jahr;
    // anything else counts as nothing.
    std::array<std::uint8_t, 3> DNAufbau {2, 3, 0};
    QString TZ1 = QStringLiteral(" - "); // between part 1 and part 2, blanks included
    QString TZ2;                         // between part 2 and part 3
    bool JahrVonDatei = false;           // the year comes from the file date, and goes back into it
    bool DatumBeibehalten = true;        // writing a tag keeps the file's times
    bool keinTitel0 = true;              // a track number 0 is left out of built names
    bool DirAlbum = false;               // the album comes from the folder name
    bool ID3v2Mitschreiben = false;      // a change of the fields goes into the ID3v2 tag too
    QString ID3v1Zeichensatz = QStringLiteral("windows-1252"); // the set ID3v1 texts are in, by its name
};

enum TNamePart : std::uint8_t { PartNone = 0, PartTitelnr, PartInterpret, PartTitel, PartAlbum, PartJahr };

// A stored kind as the tools read it: 0 for anything outside 0-5.
int PartKind(std::uint8_t stored);
// "Titelnr.", "Interpret", "Titel", "Album", "Jahr"; empty for nothing.
QString PartLabel(int kind);

// The fields a split of a file name produced.
struct TParsedFields {
    bool Titelnr = false;
    bool Interpret = false;
    bool Titel = false;
    bool Album = false;
    bool Jahr = false;
    // The whole pieces, before ID3v1 cut them to its widths; by TID3v2Field.
    std::array<QString, 5> Whole;
};

// A used part 1 needs TZ1, used parts 2 and 3 need TZ2 between them.
bool SeparatorsMissing(const TNameStructure& names);

// A whole number: an optional sign and decimal digits, nothing else.
bool IsWholeNumber(const QString& text);
// A track number as typed in a name: the number modulo 256, 0 when it is none.
std::uint8_t TrackFromText(const QString& text);

// Splits `fileName` (without its folder) along the structure into `tag`: the
// fields the structure names change, all others stay. With DirAlbum the album
// is the last component of `folder` (ending in "/"); with JahrVonDatei the year
// is `fileYear` (empty when the file date could not be read).
void SplitFileName(const QString& fileName, const QString& folder, const QString& fileYear,
    const TNameStructure& names, TID3v1Tag& tag, TParsedFields& parsed);
// The whole pieces of the last split, for the ID3v2 frames.
TID3v2Changes ParsedID3v2Texts(const TParsedFields& parsed);

// The name a tag gives along the structure, without extension; characters a
// file name cannot carry on every system are removed. May be empty.
QString BuildFileName(const TID3v1Tag& tag, const TNameStructure& names);

// The year of a file time in local time, as decimal digits; empty for 0.
QString LocalYear(TFileTime time);
// The local year of a file's last-write time; empty when it cannot be read.
QString FileYear(const std::string& path, TFileLayer& layer);
// `time` with its year in local calendar fields replaced by `jahr` read as a
// number (`currentYear` when it is none); month, day and time of day stay.
// A result that is no valid date gives `time` unchanged.
TFileTime WithYear(TFileTime time, const QString& jahr, int currentYear);

} // namespace km
