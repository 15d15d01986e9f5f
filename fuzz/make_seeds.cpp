// Writes the named seeds under fuzz/corpus/ from the layouts the tests use;
// the inputs named by hash were added from fuzzing runs with -merge=1.
// Build and run by hand when the layouts change:
//   g++ -std=c++20 -Itests/tags fuzz/make_seeds.cpp -o /tmp/make_seeds && /tmp/make_seeds fuzz/corpus
#include "mp3bytes.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

using namespace km::test;

std::filesystem::path g_root;

void Put(const std::string& target, const std::string& name, const Bytes& bytes)
{
    const auto dir = g_root / target;
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Put(const std::string& target, const std::string& name, std::string_view text) { Put(target, name, Str(text)); }

Bytes Audio(std::size_t n) { return Fill(n, 0x11); }

Bytes Deflate(const Bytes& in)
{
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    Bytes out(len);
    compress(out.data(), &len, in.data(), static_cast<uLong>(in.size()));
    out.resize(len);
    return out;
}

// Tags as ParseID3v2Tag sees them: flags of every kind, compressed and unsynchronised bodies.
std::vector<std::pair<std::string, Bytes>> Tags()
{
    const Bytes text = Str("Ein etwas laengerer Text, der sich gut packen laesst. Ein etwas laengerer Text.");
    const Bytes packed = Deflate(text);
    return {
        {"plain", Tag(Cat({TextFrame("TIT2", "Hallo"), TextFrame("TPE1", "Wer"), Frame("COMM", Str(std::string_view("\0deu\0Kommentar", 14)))}))},
        {"flags", Tag(Cat({Frame("TPE1", Cat({{0}, Str("Wer")}), 0x70, 0x04), Frame("TXX9", Str("digits count"))}))},
        {"padding", Tag(Cat({TextFrame("TIT2", "a"), Fill(40)}))},
        {"extended", Tag(Cat({Synchsafe(6), {1, 0}, TextFrame("TIT2", "x")}), 0x40)},
        {"unsync_tag", Tag(TextFrame("TIT2", "x"), 0x80)},
        {"unsync_frame", Tag(Frame("APIC", Bytes {0xFF, 0x00, 0x00, 0x41, 0xFF, 0x00, 0xE0}, 0, 0x02))},
        {"compressed", Tag(Cat({Frame("TIT2", Cat({{0x23}, Synchsafe(static_cast<std::uint32_t>(text.size())), packed}), 0, 0x49),
                               TextFrame("TALB", "next")}))},
        {"compressed_plain", Tag(Frame("TXXX", Cat({Synchsafe(static_cast<std::uint32_t>(text.size())), packed}), 0, 0x09))},
        {"too_small", Tag(Cat({Frame("TIT2", {0x01, 0x02}, 0, 0x41), TextFrame("TALB", "b")}))},
        {"footer", Tag(TextFrame("TIT2", "x"), 0x10)},
        {"v3", Tag(TextFrame("TIT2", "drei"), 0, 3)},
    };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_seeds CORPUS_DIR\n";
        return 2;
    }
    g_root = argv[1];

    for (const auto& [name, tag] : Tags())
        Put("fuzz_id3v2", name, tag);

    // fuzz_id3v2patch: kind, extended header flags, padding, the fields that
    // change and their operations, then frames (table index, status, format,
    // length, body).
    const auto op = [](std::uint8_t what, std::string_view text = {}) {
        return what == 1 ? Bytes {1} : Cat({{what, static_cast<std::uint8_t>(text.size())}, Str(text)});
    };
    const auto frame = [](std::uint8_t pick, const Bytes& body, std::uint8_t format = 0) {
        return Cat({{pick, 0, format, static_cast<std::uint8_t>(body.size())}, body});
    };
    const auto text = [](std::string_view t) { return Cat({{0}, Str(t)}); };
    Put("fuzz_id3v2patch", "in_place", Cat({{1, 0, 100, 0x01}, op(0, "Neu"), frame(0, text("Alt")), frame(1, text("Band")), frame(8, Fill(40, 0x42))}));
    Put("fuzz_id3v2patch", "grown_v3", Cat({{0, 0, 0, 0x11}, op(0, "Gr\xc3\xb6\xc3\x9f\x65r \xe2\x82\xac"), op(0, "Kommentar"),
        frame(0, text("Alt")), frame(5, Cat({{0}, Str("eng"), {0}, Str("alt")}))}));
    Put("fuzz_id3v2patch", "track_total", Cat({{1, 0, 20, 0x20}, op(0, "5"), frame(6, text("3/12"))}));
    Put("fuzz_id3v2patch", "comments", Cat({{1, 0, 10, 0x10}, op(0, "neu"), frame(5, Cat({{0}, Str("eng"), Str("desc"), {0}, Str("a")})),
        frame(5, Cat({{0}, Str("deu"), {0}, Str("b")}))}));
    Put("fuzz_id3v2patch", "remove", Cat({{1, 0, 0, 0x42}, op(1), op(1), frame(1, text("Band")), frame(7, text("Rock")), frame(0, text("T"))}));
    Put("fuzz_id3v2patch", "casing", Cat({{0, 0, 30, 0x05}, op(2), op(3), frame(0, text("gross")), frame(2, text("KLEIN"))}));
    Put("fuzz_id3v2patch", "extended_v3", Cat({{2, 0, 16, 0x01}, op(0, "x"), frame(0, text("y"))}));
    Put("fuzz_id3v2patch", "extended_v4", Cat({{3, 0, 16, 0x08}, op(0, "2026"), frame(4, text("1999"))}));
    Put("fuzz_id3v2patch", "footer", Cat({{5, 0, 0, 0x01}, op(0, "Lang genug zum Wachsen"), frame(0, text("a"))}));
    Put("fuzz_id3v2patch", "frame_flags", Cat({{1, 0, 10, 0x03}, op(0, "neu"), op(0, "wer"), frame(0, Cat({{7, 0}, Str("a")}), 0x40),
        frame(1, Bytes {0, 0xFF, 0x00, 'b'}, 0x02)}));
    Put("fuzz_id3v2patch", "compressed", Cat({{1, 0, 0, 0x01}, op(0, "x"), frame(0, Cat({Synchsafe(4), Str("x\x9c")}), 0x09)}));
    Put("fuzz_id3v2patch", "raw", Cat({{9, 0, 0, 0x01}, op(0, "neu"), TextFrame("TIT2", "alt"), Frame("TXXX", Str("x")), Fill(20)}));

    const Bytes lead = Tag(Cat({TextFrame("TIT2", "Lied"), Fill(100)}));
    const Bytes appended = Tag(TextFrame("TIT2", "Hinten"), 0x10);
    const Bytes info = Cat({Header(0xFB, 0x50), Fill(32), Str("Info"), BigEndian(0x0F), BigEndian(20), Fill(200)});
    Put("fuzz_reader", "tag_frame_v1", Cat({lead, Fill(5), Header(), Audio(600), V1("V1 Titel", "Band", "Platte", "1999", "Bem", 3, 17)}));
    Put("fuzz_reader", "chained", Cat({Tag(TextFrame("TIT2", "1")), Tag(TextFrame("TALB", "2")), Audio(30), Header(), Audio(100)}));
    Put("fuzz_reader", "appended_v1", Cat({Header(), Audio(300), appended, V1("Eins")}));
    Put("fuzz_reader", "appended_end", Cat({Header(), Audio(300), appended}));
    Put("fuzz_reader", "bogus_footer", Cat({Audio(100), Str("3DI"), {4, 0, 0x10}, Synchsafe(90), V1("x")}));
    Put("fuzz_reader", "only_v1", Cat({Fill(10), V1("Nur", "B")}));
    Put("fuzz_reader", "xing", Cat({Tag(Fill(30)), XingFrame(Header(), 32, 0x0F, 9000), Audio(400), V1("x")}));
    Put("fuzz_reader", "xing_mpeg2", Cat({XingFrame(Header(0xF3, 0x80), 17, 0x01, 300, 208), Audio(200)}));
    Put("fuzz_reader", "info_rate", Cat({Tag(Fill(40)), info, Header(), Audio(300), V1("x")}));
    Put("fuzz_reader", "noise_frame", Cat({Noise(300, 3), Header(0xFD, 0xEA, 0xC0), Audio(100)}));
    Put("fuzz_reader", "v1_in_tag", Tag(Cat({Fill(10), V1("Drin")})));
    Put("fuzz_reader", "compressed", Cat({Tags()[6].second, Header(), Audio(200)}));
    Put("fuzz_reader", "footer_lead", Cat({appended, Header(), Audio(200)}));
    Put("fuzz_reader", "gap", Cat({Tag(Fill(20)), Audio(2100), Header(), Audio(50)}));

    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const std::string section = "[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe\\2]\n";
    Put("fuzz_registry", "values", header + section
            + "\"Sort\"=dword:0000000a\n\"Negativ\"=dword:ffffffff\n\"DNAufbau\"=hex:02,03,00\n\"Leer\"=hex:\n"
              "\"TZ2\"=\"\"\n\"Tricky\"=\"C:\\\\Musik\\\\\\\"Best of\\\"\\\\ x\"\n@=\"Standard\"\n"
              "\"NurCR\"=hex(1):61,00,0d,00,62,00,00,00\n");
    Put("fuzz_registry", "continued", "\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe\\2]\r\n"
            "\"Spalten\"=hex:00,00,00,00,b4,00,00,00,01,00,00,00,96,00,00,00,02,00,00,00,96,\\\r\n"
            "  00,00,00,03,00,00,00,96,00,00,00,\\\r\n  04,00,00,00,2D,00,00,00\r\n"
            "\"Text\"=hex(1):61,00,0d,00,0a,00,62,00,\\\r\n  00,00\r\n"
            "\"Alt\"=hex(4):0a,00,00,00\r\n\"Bin\"=hex(3):01\r\n\"Q\"=hex(b):01,02,03,04,05,06,07,08\r\n");
    Put("fuzz_registry", "sections", header + "; Kommentar\n[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe]\n\n"
            + section + "\"A\"=\"1\"\n\"a\"=\"2\"\n[-HKEY_CURRENT_USER\\Weg]\n[HKEY_CURRENT_USER]\n\"Wurzel\"=dword:1\n"
            + "[HKEY_LOCAL_MACHINE\\Software]\n\"X\"=-\n" + section + "\"B\"=hex(0):\n");
    const std::u16string utf16 = u"Windows Registry Editor Version 5.00\r\n\r\n"
                                 u"[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe\\2]\r\n\"LastDir\"=\"C:\\\\M\u00fcsik\\\\\"\r\n";
    Bytes le = {0xFF, 0xFE};
    for (const char16_t c : utf16) {
        le.push_back(static_cast<std::uint8_t>(c & 0xFF));
        le.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    Put("fuzz_registry", "utf16", le);
    Put("fuzz_registry", "cut", header + section + "\"DNAufbau\"=hex:02,03,\\\n\n\"LastDir\"=\"/home/an");

    Put("fuzz_version", "plain", "2\n7\n");
    Put("fuzz_version", "crlf", " +3\r\n\t-12\r\nrest\r\n");
    Put("fuzz_version", "cr", "2\r06");
    Put("fuzz_version", "big", "2147483647\n-2147483648\n");
    Put("fuzz_version", "short", "2\n");
    Put("fuzz_version", "html", "<html>\n<body>\n");

    // Three part bytes, options, then TZ1 TZ2 name folder year, each ended by 0x1F.
    const auto split = [](std::string_view parts, std::string_view rest) {
        return Cat({Str(parts), Str(rest)});
    };
    Put("fuzz_split", "artist_title", split("\x02\x03\x00\x04", " - \x1f\x1f" "Band - Lied.mp3\x1f/musik/\x1f"));
    Put("fuzz_split", "track", split("\x01\x02\x03\x04", " - \x1f - \x1f" "07 - Band - Lied.mp3\x1f/musik/Album/\x1f" "2001"));
    Put("fuzz_split", "no_track", split("\x01\x02\x03\x04", " - \x1f - \x1f" "Band - Lied.mp3\x1f/\x1f"));
    Put("fuzz_split", "dir_year", split("\x05\x04\x03\x03", "_\x1f.\x1f" "1999_Platte.Titel.mp3\x1f/a/Ordner \x01/\x1f" "1987"));
    Put("fuzz_split", "umlaut", split("\x03\x02\x00\x00", " \xe2\x80\x93 \x1f\x1f" "Stra\xc3\x9f" "e \xe2\x80\x93 K\xc3\xbcnstler\x1f"));
    Put("fuzz_split", "odd_parts", split("\x09\x01\xff\x0f", "\x1f\x1f" "-300.mp3\x1f"));
    return 0;
}
