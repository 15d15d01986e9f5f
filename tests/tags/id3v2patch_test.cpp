#include "tags/id3v2patch.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Fill;
using test::Str;
using namespace std::literals;

// A frame with the sizes of its version: synchsafe in 2.4, plain in 2.3.
Bytes Frame(std::uint8_t version, std::string_view id, const Bytes& content, std::uint8_t format = 0)
{
    if (version == 4)
        return test::Frame(id, content, 0, format);
    return Cat({Str(id), test::BigEndian(static_cast<std::uint32_t>(content.size())), {0, format}, content});
}

Bytes Latin1(std::string_view text) { return Cat({{0}, Str(text)}); }

TID3v2Changes Changes(std::initializer_list<std::pair<TID3v2Field, std::string>> texts)
{
    TID3v2Changes changes;
    for (const auto& [field, text] : texts)
        changes[field] = TID3v2Change {text, {}};
    return changes;
}

// A 2.3 extended header counting `padding`; 2.4's carries no count.
Bytes Extended(std::uint8_t version, std::uint32_t padding)
{
    if (version == 4)
        return {0, 0, 0, 6, 1, 0};
    return Cat({{0, 0, 0, 6, 0, 0}, test::BigEndian(padding)});
}

// Every frame the fields stand beside, a cover in front and frames of no field between them.
TEST(ID3v2Patch, OnlyTheChangedFieldsFramesChangeAndUndoGivesTheTagBack)
{
    const TID3v2Changes changes = Changes({{V2Title, "Grüße ł"}, {V2Album, ""}, {V2Year, "2005"}, {V2Track, "5"},
        {V2Comment, "Grüße"}, {V2Genre, "Jazz"}});
    for (const std::uint8_t version : {3, 4})
        for (const bool extended : {false, true})
            for (const std::size_t padding : {600u, 0u}) {
                SCOPED_TRACE(testing::Message() << "2." << int(version) << (extended ? " extended" : "") << " padding "
                                                << padding);
                const std::string_view yearId = version == 3 ? "TYER" : "TDRC";
                const Bytes apic = Frame(version, "APIC", Cat({Str("\0image/png\0\3\0"sv), Fill(300, 'P')}));
                const Bytes artist = Frame(version, "TPE1", Latin1("Band"));
                const Bytes described = Frame(version, "COMM", Cat({Str("\0engBeschreibung\0anders"sv)}));
                const Bytes priv = Frame(version, "PRIV", Cat({Str("klangmappe"), {0, 1, 2, 3}}));
                const Bytes frames = Cat({apic, Frame(version, "TIT2", Latin1("Alt")), artist,
                    Frame(version, "TALB", Latin1("Platte")), Frame(version, yearId, Latin1("1999")),
                    Frame(version, "TRCK", Latin1("3/12")), Frame(version, "COMM", Str("\0eng\0Bem"sv)), described,
                    priv});
                const std::uint8_t flags = extended ? 0x40 : 0;
                const Bytes old = test::Tag(
                    Cat({extended ? Extended(version, static_cast<std::uint32_t>(padding)) : Bytes {}, frames,
                        Fill(padding)}),
                    flags, version);

                const TID3v2Patch patch = PatchID3v2Tag(old, changes);
                ASSERT_EQ(patch.Refused, "");
                ASSERT_TRUE(patch.Changed);

                // ISO-8859-1 where the text fits, else UTF-16 with BOM (2.3) or UTF-8 (2.4).
                const Bytes title = version == 3
                    ? Bytes {1, 0xFF, 0xFE, 'G', 0, 'r', 0, 0xFC, 0, 0xDF, 0, 'e', 0, ' ', 0, 0x42, 0x01}
                    : Cat({{3}, Str("Grüße ł")});
                const Bytes changed = Cat({apic, Frame(version, "TIT2", title), artist,
                    Frame(version, yearId, Latin1("2005")), Frame(version, "TRCK", Latin1("5/12")),
                    Frame(version, "COMM", Str("\0eng\0Gr\xfc\xdf" "e"sv)), described, priv,
                    Frame(version, "TCON", Latin1("Jazz"))});
                // The old size where the frames fit, else 2048 bytes of padding behind them.
                const std::size_t extSize = extended ? Extended(version, 0).size() : 0;
                const std::size_t newPadding = padding != 0 ? old.size() - 10 - extSize - changed.size() : 2048;
                const Bytes expected = test::Tag(
                    Cat({extended ? Extended(version, static_cast<std::uint32_t>(newPadding)) : Bytes {}, changed,
                        Fill(newPadding)}),
                    flags, version);
                EXPECT_EQ(patch.Tag, expected);
                EXPECT_EQ(patch.Tag.size() == old.size(), padding != 0);

                const TID3v2Patch undone = RestoreID3v2Tag(patch.Tag, patch.Undo);
                EXPECT_EQ(undone.Refused, "");
                EXPECT_TRUE(undone.Changed);
                EXPECT_EQ(undone.Tag, old) << "byte for byte";
            }
}

TEST(ID3v2Patch, NewFramesAFooterAndFieldsThatStay)
{
    // No comment without a description yet: the new one says "deu", after the last frame.
    const Bytes described = Frame(3, "COMM", Str("\0engBeschreibung\0anders"sv));
    const Bytes old = test::Tag(Cat({described, Frame(3, "TRCK", Latin1("3/12")), Fill(100)}), 0, 3);
    const TID3v2Patch patch = PatchID3v2Tag(old, Changes({{V2Comment, "Neu"}, {V2Track, ""}, {V2Artist, "Wer"}}));
    ASSERT_EQ(patch.Refused, "");
    const Bytes frames
        = Cat({described, Frame(3, "TPE1", Latin1("Wer")), Frame(3, "COMM", Str("\0deu\0Neu"sv))});
    EXPECT_EQ(patch.Tag, test::Tag(Cat({frames, Fill(old.size() - 10 - frames.size())}), 0, 3))
        << "an emptied track takes its frame, \"/12\" and all";
    EXPECT_EQ(RestoreID3v2Tag(patch.Tag, patch.Undo).Tag, old);

    // The old frame's "discard when the tag changes" does not pass to the frame written in its place.
    const Bytes flagged = test::Tag(Cat({test::Frame("TIT2", Latin1("Alt"), 0x40), Fill(50)}));
    const TID3v2Patch retitled = PatchID3v2Tag(flagged, Changes({{V2Title, "Neu"}}));
    ASSERT_EQ(retitled.Tag.size(), flagged.size());
    EXPECT_EQ(retitled.Tag[18], 0);
    EXPECT_EQ(RestoreID3v2Tag(retitled.Tag, retitled.Undo).Tag, flagged);

    // A footer allows no padding: the tag is exactly its frames, the footer mirrors the new header.
    const Bytes footed = test::Tag(Cat({Frame(4, "TIT2", Latin1("Alt")), Frame(4, "TPE1", Latin1("Band"))}), 0x10, 4);
    const TID3v2Patch longer = PatchID3v2Tag(footed, Changes({{V2Title, "Viel länger"}}));
    EXPECT_EQ(longer.Tag,
        test::Tag(Cat({Frame(4, "TIT2", Latin1("Viel l\xe4nger")), Frame(4, "TPE1", Latin1("Band"))}), 0x10, 4));
    EXPECT_EQ(RestoreID3v2Tag(longer.Tag, longer.Undo).Tag, footed);

    // A field whose frame already holds the text changes nothing.
    const TID3v2Patch same = PatchID3v2Tag(footed, Changes({{V2Artist, "Band"}}));
    EXPECT_FALSE(same.Changed);
    EXPECT_EQ(same.Tag, footed);
    EXPECT_TRUE(same.Undo.Empty());
}

TEST(ID3v2Patch, RefusesWhatItCannotChangeSafely)
{
    const Bytes title3 = Frame(3, "TIT2", Latin1("Alt"));
    const Bytes title4 = Frame(4, "TIT2", Latin1("Alt"));
    // Compressed: the size it inflates to, then zlib data; encrypted: the method byte first.
    const Bytes packed3 = Frame(3, "TIT2", Cat({test::BigEndian(4), {0x78, 0x9C, 0x63, 0x70}}), 0x80);
    const Bytes locked4 = Frame(4, "TIT2", Cat({{0x80}, Latin1("Alt")}), 0x04);
    const Bytes crc3 = Cat({{0, 0, 0, 10, 0x80, 0}, test::BigEndian(0), {1, 2, 3, 4}});
    const Bytes crc4 = {0, 0, 0, 12, 1, 0x20, 5, 1, 2, 3, 4, 5};
    struct Case {
        const char* what;
        Bytes tag;
        std::string reason;
    };
    const Case cases[] = {
        {"2.2", test::Tag(Cat({Str("TT2"), {0, 0, 4}, Latin1("Alt")}), 0, 2), "Version 2.2"},
        {"2.5", test::Tag(title4, 0, 5), "unbekannte Version 2.5"},
        {"unsynchronised", test::Tag(title3, 0x80, 3), "Tag als Ganzes unsynchronisiert"},
        {"2.3 CRC", test::Tag(Cat({crc3, title3}), 0x40, 3), "erweiterter Header mit CRC"},
        {"2.4 CRC", test::Tag(Cat({crc4, title4}), 0x40, 4), "erweiterter Header mit CRC"},
        {"compressed", test::Tag(Cat({packed3, Fill(50)}), 0, 3), "Feld komprimiert oder verschlüsselt"},
        {"encrypted", test::Tag(Cat({locked4, Fill(50)}), 0, 4), "Feld komprimiert oder verschlüsselt"},
        {"frame past the end", test::Tag(Cat({title4, Str("TPE1"), test::Synchsafe(40), {0, 0}, Latin1("x")}), 0, 4),
            "Tag beschädigt"},
        {"bytes in the padding", test::Tag(Cat({title3, Fill(20), Str("x")}), 0, 3), "Tag beschädigt"},
    };
    for (const Case& c : cases) {
        const TID3v2Patch patch = PatchID3v2Tag(c.tag, Changes({{V2Title, "Neu"}}));
        EXPECT_EQ(patch.Refused, c.reason) << c.what;
        EXPECT_FALSE(patch.Changed) << c.what;
        EXPECT_TRUE(patch.Undo.Empty()) << c.what;
    }

    // A compressed frame of a field that stays is carried as it is.
    const Bytes old = test::Tag(Cat({packed3, Fill(50)}), 0, 3);
    const TID3v2Patch album = PatchID3v2Tag(old, Changes({{V2Album, "Platte"}}));
    EXPECT_EQ(album.Refused, "");
    EXPECT_EQ(album.Tag, test::Tag(Cat({packed3, Frame(3, "TALB", Latin1("Platte")), Fill(50 - 17)}), 0, 3));
}

} // namespace
} // namespace km
