// SplitFileName with a structure taken from the input: three part bytes, an
// option byte, then TZ1, TZ2, the file name, the folder and the file year as
// UTF-8, each ended by a byte 0x1F.
#include "model/structure.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Expect(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_split: %s\n", what);
    std::abort();
}

// A field holds its text, then zeros only.
template <std::size_t N>
bool ZeroFilled(const char (&field)[N])
{
    const std::size_t used = km::FieldView(field).size();
    for (std::size_t i = used; i < N; ++i)
        if (field[i] != 0)
            return false;
    return true;
}

template <std::size_t N>
bool Same(const char (&a)[N], const char (&b)[N])
{
    return std::memcmp(a, b, N) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    km::TNameStructure names;
    names.DNAufbau = {data[0], data[1], data[2]};
    names.JahrVonDatei = data[3] & 1;
    names.DirAlbum = data[3] & 2;
    names.keinTitel0 = data[3] & 4;
    names.DatumBeibehalten = data[3] & 8;
    const QStringList pieces =
        QString::fromUtf8(reinterpret_cast<const char*>(data + 4), static_cast<qsizetype>(size - 4)).split(QChar(0x1F));
    const auto piece = [&pieces](qsizetype i) { return i < pieces.size() ? pieces[i] : QString(); };
    // No path holds a zero byte.
    const auto path = [&piece](qsizetype i) { return piece(i).remove(QChar(0)); };
    if (pieces.size() > 1) {
        names.TZ1 = piece(0);
        names.TZ2 = piece(1);
    }
    const QString fileName = pieces.size() > 1 ? path(2) : path(0);
    const QString folder = path(3);
    const QString fileYear = path(4);

    km::TID3v1Tag before;
    std::memset(&before, 'Q', sizeof before);
    before.Titelnr = 0x77;
    before.Musikrichtung = 0x42;
    km::TID3v1Tag tag = before;
    km::TParsedFields parsed;
    km::SplitFileName(fileName, folder, fileYear, names, tag, parsed);

    // Only the fields the structure names change, and each one that changes is reported.
    bool named[6] = {};
    for (const std::uint8_t part : names.DNAufbau)
        named[km::PartKind(part)] = true;
    Expect(!parsed.Titelnr || named[km::PartTitelnr], "a track number the structure does not name");
    Expect(!parsed.Interpret || named[km::PartInterpret], "an artist the structure does not name");
    Expect(!parsed.Titel || named[km::PartTitel], "a title the structure does not name");
    Expect(!parsed.Album || named[km::PartAlbum] || names.DirAlbum, "an album the structure does not name");
    Expect(!parsed.Jahr || named[km::PartJahr] || names.JahrVonDatei, "a year the structure does not name");
    Expect(parsed.Titelnr || tag.Titelnr == before.Titelnr, "the track number changed unreported");
    Expect(parsed.Interpret || Same(tag.Interpret, before.Interpret), "the artist changed unreported");
    Expect(parsed.Titel || Same(tag.Titel, before.Titel), "the title changed unreported");
    Expect(parsed.Album || Same(tag.Album, before.Album), "the album changed unreported");
    Expect(parsed.Jahr || Same(tag.Jahr, before.Jahr), "the year changed unreported");
    Expect(Same(tag.Bemerkung, before.Bemerkung) && tag.Musikrichtung == before.Musikrichtung,
        "the comment or genre changed");
    Expect(!parsed.Interpret || ZeroFilled(tag.Interpret), "the artist is not zero-filled");
    Expect(!parsed.Titel || ZeroFilled(tag.Titel), "the title is not zero-filled");
    Expect(!parsed.Album || ZeroFilled(tag.Album), "the album is not zero-filled");
    Expect(!parsed.Jahr || ZeroFilled(tag.Jahr), "the year is not zero-filled");

    // A name built from the tag is one a file can carry.
    const QString built = km::BuildFileName(tag, names);
    for (const QChar c : built)
        Expect(!QStringLiteral("\"*/:<>?\\|").contains(c), "a built name holds a character no file name may");
    return 0;
}
