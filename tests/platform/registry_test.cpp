#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace km {
namespace {

const QString kKey = QStringLiteral("Software\\Fennwick\\Klangmappe\\2");
const char kSection[] = "[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe\\2]\n";

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_oldXdg = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        m_path = m_dir.path() + QStringLiteral("/Fennwick/Klangmappe.reg");
    }
    void TearDown() override
    {
        if (m_hadXdg)
            qputenv("XDG_CONFIG_HOME", m_oldXdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QTemporaryDir m_dir;
    QString m_path;
    bool m_hadXdg = false;
    QByteArray m_oldXdg;
};

TEST_F(RegistryTest, DefaultPathFollowsXdgConfigHome)
{
    EXPECT_EQ(TRegistry::DefaultPath(), m_path);
    const QString fallback = QDir::homePath() + QStringLiteral("/.config/Fennwick/Klangmappe.reg");
    qputenv("XDG_CONFIG_HOME", "");
    EXPECT_EQ(TRegistry::DefaultPath(), fallback);
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(TRegistry::DefaultPath(), fallback);
}

TEST_F(RegistryTest, EveryTypeSurvivesTheRoundTrip)
{
    QByteArray allBytes;
    for (int i = 0; i < 1000; ++i)
        allBytes += static_cast<char>(i * 7);
    const QString tricky = QStringLiteral("C:\\Musik\\\"Best of\"\\ \\\\server\\");
    const QString umlauts = QStringLiteral("Größe: äöü ÄÖÜ ß € 😀\tTab");
    const QString lines = QStringLiteral("eins\r\nzwei\ndrei\r");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteString("LastDir", "/home/anna/");
        reg.WriteString("TZ2", "");
        reg.WriteString("Tricky", tricky);
        reg.WriteString("Umlaute", umlauts);
        reg.WriteString("Zeilen", lines);
        reg.WriteString("NurCR", "a\rb");
        reg.WriteString("Steuer", "x\x01y");
        reg.WriteInteger("Sort", 10);
        reg.WriteInteger("Negativ", -1);
        reg.WriteInteger("Kleinste", INT_MIN);
        reg.WriteBool("ET", true);
        reg.WriteBool("DirAlbum", false);
        reg.WriteBinaryData("DNAufbau", QByteArray("\x02\x03\x00", 3));
        reg.WriteBinaryData("Leer", QByteArray());
        reg.WriteBinaryData("Lang", allBytes);
        EXPECT_TRUE(reg.CloseKey());
    }

    const QString text = QString::fromUtf8(ReadAll(m_path));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Windows Registry Editor Version 5.00\n\n") + kSection)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"Sort\"=dword:0000000a\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"Negativ\"=dword:ffffffff\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"DNAufbau\"=hex:02,03,00\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"Leer\"=hex:\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"TZ2\"=\"\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"Tricky\"=\"C:\\\\Musik\\\\\\\"Best of\\\"\\\\ \\\\\\\\server\\\\\"\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"Zeilen\"=hex(1):65,00,69,00,")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n\"NurCR\"=hex(1):61,00,0d,00,62,00,00,00\n")));
    for (const QString& line : text.split(u'\n')) {
        EXPECT_LE(line.size(), 80) << "long values wrap like regedit: " << line.toStdString();
        for (QChar c : line)
            EXPECT_TRUE(c >= u' ' || c == u'\t') << "control character in " << line.toStdString();
    }

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(reg.ReadString("LastDir"), "/home/anna/");
    EXPECT_EQ(reg.GetDataType("TZ2"), TRegistry::DataType::String);
    EXPECT_EQ(reg.ReadString("TZ2"), "");
    EXPECT_EQ(reg.GetDataSize("TZ2"), 2);
    EXPECT_EQ(reg.ReadString("Tricky"), tricky);
    EXPECT_EQ(reg.ReadString("Umlaute"), umlauts);
    EXPECT_EQ(reg.ReadString("Zeilen"), lines);
    EXPECT_EQ(reg.ReadString("NurCR"), "a\rb");
    EXPECT_EQ(reg.ReadString("Steuer"), "x\x01y");
    EXPECT_EQ(reg.GetDataType("Zeilen"), TRegistry::DataType::String);
    EXPECT_EQ(reg.GetDataSize("LastDir"), 24) << "UTF-16 with terminator";
    EXPECT_EQ(reg.ReadInteger("Sort"), 10);
    EXPECT_EQ(reg.ReadInteger("Negativ"), -1);
    EXPECT_EQ(reg.ReadInteger("Kleinste"), INT_MIN);
    EXPECT_EQ(reg.GetDataSize("Sort"), 4);
    EXPECT_TRUE(reg.ReadBool("ET"));
    EXPECT_FALSE(reg.ReadBool("DirAlbum"));
    EXPECT_EQ(reg.GetDataType("DirAlbum"), TRegistry::DataType::Integer);
    EXPECT_EQ(reg.ReadBinaryData("DNAufbau"), QByteArray("\x02\x03\x00", 3));
    EXPECT_EQ(reg.GetDataSize("DNAufbau"), 3);
    EXPECT_EQ(reg.GetDataType("Leer"), TRegistry::DataType::Binary);
    EXPECT_EQ(reg.GetDataSize("Leer"), 0);
    EXPECT_EQ(reg.ReadBinaryData("Lang"), allBytes);
}

TEST_F(RegistryTest, ReadsOfTheWrongTypeGiveEmptyResults)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteString("Sort", "1");
    reg.WriteInteger("LastDir", 5);
    EXPECT_EQ(reg.GetDataType("Sort"), TRegistry::DataType::String);
    EXPECT_EQ(reg.ReadInteger("Sort"), 0);
    EXPECT_FALSE(reg.ReadBool("Sort"));
    EXPECT_TRUE(reg.ReadBinaryData("Sort").isEmpty());
    EXPECT_EQ(reg.ReadString("LastDir"), "");
    EXPECT_EQ(reg.GetDataType("Fehlt"), TRegistry::DataType::None);
    EXPECT_EQ(reg.GetDataSize("Fehlt"), -1);
    EXPECT_FALSE(reg.ValueExists("Fehlt"));

    // A later write of another type replaces the value.
    reg.WriteBinaryData("Sort", "\x01");
    EXPECT_EQ(reg.GetDataType("Sort"), TRegistry::DataType::Binary);
    EXPECT_EQ(reg.ReadString("Sort"), "");
}

TEST_F(RegistryTest, OpenKeyCreatesOnlyWhenAsked)
{
    {
        TRegistry reg;
        EXPECT_FALSE(reg.OpenKey(kKey, false));
        EXPECT_FALSE(reg.IsOpen());
        reg.WriteString("LastDir", "/tmp/"); // no key open: ignored
        EXPECT_TRUE(reg.CloseKey());
    }
    EXPECT_FALSE(QFile::exists(m_path)) << "nothing written when nothing changed";

    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        EXPECT_TRUE(reg.IsOpen());
        EXPECT_TRUE(reg.GetValueNames().isEmpty());
    }
    TRegistry reg;
    EXPECT_TRUE(reg.KeyExists(kKey)) << "a created key exists even without values";
    EXPECT_TRUE(reg.KeyExists("software\\FENNWICK\\klangmappe\\2\\")) << "key names ignore case";
    EXPECT_TRUE(reg.KeyExists("Software\\Fennwick")) << "parent of an existing key";
    EXPECT_FALSE(reg.KeyExists("Software\\Fenn"));
    EXPECT_FALSE(reg.KeyExists("Software\\Fennwick\\Klangmappe\\3"));
    EXPECT_TRUE(reg.OpenKey("SOFTWARE\\fennwick\\KLANGMAPPE\\2", false));
    reg.WriteInteger("Sort", 2);
    EXPECT_TRUE(reg.CloseKey());
    EXPECT_FALSE(reg.IsOpen());
    EXPECT_EQ(ReadAll(m_path).count("[HKEY_CURRENT_USER"), 1) << "no second section for another spelling";
}

TEST_F(RegistryTest, ValueNamesIgnoreCaseAndKeepTheFirstSpelling)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteString("LastDir", "/a/");
        reg.WriteInteger("Sort", 1);
        reg.WriteString("LASTDIR", "/b/");
        reg.WriteBinaryData("Spalten", "\x01");
        EXPECT_EQ(reg.GetValueNames(), QStringList({"LastDir", "Sort", "Spalten"}));
        EXPECT_EQ(reg.ReadString("lastdir"), "/b/");
        EXPECT_TRUE(reg.DeleteValue("sort"));
        EXPECT_FALSE(reg.DeleteValue("Sort"));
        EXPECT_FALSE(reg.ValueExists("Sort"));
    }
    const QByteArray file = ReadAll(m_path);
    EXPECT_TRUE(file.contains("\"LastDir\"=\"/b/\"\n"));
    EXPECT_FALSE(file.contains("LASTDIR"));
    EXPECT_FALSE(file.contains("Sort"));

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"LastDir", "Spalten"}));
}

TEST_F(RegistryTest, OtherSectionsAndUnknownKindsAreKept)
{
    const QByteArray other = "[HKEY_CURRENT_USER\\Software\\Anderes]\n"
                             "\"Text\"=\"bleibt\"\n"
                             "\"Zahl\"=dword:00000007\n"
                             "\"Pfad\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\n"
                             "\"Gross\"=hex(b):01,00,00,00,00,00,00,80\n"
                             "@=\"Standard\"\n"
                             "\n";
    WriteAll(m_path, QByteArray("Windows Registry Editor Version 5.00\n\n") + other + kSection
                         + "\"Sort\"=dword:00000001\n\n");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, false));
        reg.WriteInteger("Sort", 2);
    }
    const QByteArray file = ReadAll(m_path);
    EXPECT_TRUE(file.contains(other)) << file.toStdString();
    EXPECT_TRUE(file.contains("\"Sort\"=dword:00000002\n"));

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Anderes", false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"Text", "Zahl", "Pfad", "Gross", ""}));
    EXPECT_EQ(reg.GetDataType("Pfad"), TRegistry::DataType::None);
    EXPECT_EQ(reg.GetDataSize("Pfad"), 14);
    EXPECT_EQ(reg.GetDataSize("Gross"), 8);
    EXPECT_EQ(reg.ReadString(""), "Standard");
}

TEST_F(RegistryTest, GarbledFilesReadAsEmptyAndStayUntouched)
{
    const QByteArray header = "Windows Registry Editor Version 5.00\n\n";
    const QByteArray garbled[] = {
        QByteArray("\x00\x01\x02\xff\xfe\x7f junk \x00\x00", 13),
        QByteArray(4096, '\0'),                              // the tail a crash leaves behind
        QByteArray(kSection) + "\"Sort\"=dword:00000001\n", // no header line
        "Windows Registry Editor\n\n" + QByteArray(kSection) + "\"Sort\"=dword:00000001\n",
        header + kSection + "\"LastDir\"=\"/home/\xc3\x28\"\n", // invalid UTF-8
        header + kSection + "\"Sort\"=dword:00000001\n\"Name\"=\"\x80\"\n",
        header + kSection + "\"Sort\"=dword:00000001\n" + QByteArray("\x00", 1),
        QByteArray(),
    };
    for (const QByteArray& bytes : garbled) {
        WriteAll(m_path, bytes);
        {
            TRegistry reg;
            EXPECT_FALSE(reg.OpenKey(kKey, false)) << bytes.toHex().toStdString();
            EXPECT_FALSE(reg.KeyExists("Software"));
            EXPECT_TRUE(reg.CloseKey());
        }
        EXPECT_EQ(ReadAll(m_path), bytes) << "reading must not rewrite " << bytes.toHex().toStdString();
    }

    // A write afterwards replaces the garbled file with a good one.
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteInteger("Sort", 3);
        EXPECT_TRUE(reg.CloseKey());
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(reg.ReadInteger("Sort"), 3);
}

TEST_F(RegistryTest, TruncatedAndMalformedLinesAreSkipped)
{
    const QByteArray header = QByteArray("Windows Registry Editor Version 5.00\n\n") + kSection;
    const QByteArray truncated[] = {
        header + "\"DNAufbau\"=hex:02,03,\\",     // continuation never comes
        header + "\"DNAufbau\"=hex:02,03,\\\n\n", // blank line instead of a continuation
        header + "\"DNAufbau\"=hex:02,03,",       // cut after a comma
        header + "\"DNAufbau\"=hex:02,03,0",      // cut inside a byte
        header + "\"LastDir\"=\"/home/an",         // cut inside a string
    };
    for (const QByteArray& bytes : truncated) {
        WriteAll(m_path, bytes);
        {
            TRegistry reg;
            ASSERT_TRUE(reg.OpenKey(kKey, false));
            EXPECT_FALSE(reg.ValueExists("DNAufbau")) << bytes.toStdString();
            EXPECT_FALSE(reg.ValueExists("LastDir")) << bytes.toStdString();
        }
        EXPECT_EQ(ReadAll(m_path), bytes);
    }

    WriteAll(m_path, header + "\"Sort\"=dword:00000005\n"
                              "Unsinn ohne Anführungszeichen\n"
                              "\"Zu\"=dword:123456789\n"
                              "\"Kaputt\"=hex:0g,01\n"
                              "\"Falsch\"=wort:1\n"
                              "\"Offen\"=\"kein Ende\n"
                              "\"Rest\"=\"a\" b\n"
                              "; Kommentar\n"
                              "\"Weg\"=-\n"
                              "\"TZ1\"=\" - \"\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(reg.GetValueNames(), QStringList({"Sort", "TZ1"}));
    EXPECT_EQ(reg.ReadInteger("Sort"), 5);
    EXPECT_EQ(reg.ReadString("TZ1"), " - ");
}

TEST_F(RegistryTest, ContinuationLinesAndRegeditExports)
{
    // As regedit writes it: CRLF, long values over several indented lines, upper-case digits.
    QByteArray file = QByteArray("\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n") + kSection;
    file.replace("]\n", "]\r\n");
    file += "\"Spalten\"=hex:00,00,00,00,b4,00,00,00,01,00,00,00,96,00,00,00,02,00,00,00,96,\\\r\n"
            "  00,00,00,03,00,00,00,96,00,00,00,\\\r\n"
            "  04,00,00,00,2D,00,00,00\r\n"
            "\"Text\"=hex(1):61,00,0d,00,0a,00,62,00,\\\r\n"
            "  00,00\r\n"
            "\"Alt\"=hex(4):0a,00,00,00\r\n"
            "\"Bin\"=hex(3):01\r\n"
            "\"Zahl\"=DWORD:FFFFFFFE\r\n";
    WriteAll(m_path, file);
    const QByteArray spalten = QByteArray::fromHex("00000000b4000000010000009600000002000000960000000300000096"
                                                   "000000040000002d000000");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, false));
        EXPECT_EQ(reg.ReadBinaryData("Spalten"), spalten);
        EXPECT_EQ(reg.ReadString("Text"), "a\r\nb");
        EXPECT_EQ(reg.GetDataSize("Text"), 10);
        EXPECT_EQ(reg.ReadInteger("Alt"), 10);
        EXPECT_EQ(reg.ReadBinaryData("Bin"), "\x01");
        EXPECT_EQ(reg.ReadInteger("Zahl"), -2);
    }

    // regedit's own UTF-16 export.
    const QString utf16Text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe\\2]\r\n"
                                             "\"LastDir\"=\"C:\\\\Müsik\\\\\"\r\n");
    QByteArray utf16("\xff\xfe");
    utf16.append(reinterpret_cast<const char*>(utf16Text.utf16()), utf16Text.size() * 2);
    WriteAll(m_path, utf16);
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(reg.ReadString("LastDir"), QStringLiteral("C:\\Müsik\\"));
}

TEST_F(RegistryTest, WritesAreAtomicAndOnlyWhenSomethingChanged)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteString("LastDir", "/home/");
        reg.WriteBinaryData("Lang", QByteArray(300, '\x5a'));
        EXPECT_TRUE(reg.CloseKey());
    }
    const QStringList entries = QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_EQ(entries, QStringList({"Klangmappe.reg"})) << "no temporary file left behind";

    // Writing the values it already holds changes nothing, so the file keeps its own spelling.
    const QByteArray custom = QByteArray("Windows Registry Editor Version 5.00\n\n; von Hand\n") + kSection
                              + "\"LastDir\" = \"/home/\"\n\"Sort\"=dword:1\n";
    WriteAll(m_path, custom);
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, false));
        reg.WriteString("lastdir", "/home/");
        reg.WriteInteger("Sort", 1);
        reg.WriteBool("Sort", true);
        EXPECT_TRUE(reg.CloseKey());
    }
    EXPECT_EQ(ReadAll(m_path), custom);

    // A folder that cannot be created: the write fails and says so.
    WriteAll(m_dir.path() + "/Datei", "kein Ordner");
    TRegistry reg(m_dir.path() + "/Datei/Fennwick/Klangmappe.reg");
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteInteger("Sort", 1);
    EXPECT_FALSE(reg.CloseKey());
}

TEST_F(RegistryTest, WrittenFileParsesBackIdentically)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Anderes\\Tief", true));
        reg.WriteString("", "Standardwert");
        reg.WriteString("Mit \"Anführung\" \\ und =", "x=\"y\"");
        ASSERT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteString("TZ1", " - ");
        reg.WriteString("Zeilen", "a\nb");
        reg.WriteString("Einsam", QString(QChar(0xD800)) + "x"); // unpaired surrogate
        reg.WriteInteger("BW", 185);
        reg.WriteBinaryData("Spalten", QByteArray(200, '\x01'));
        reg.WriteBinaryData("Placement", QByteArray(44, '\xff'));
    }
    const QByteArray first = ReadAll(m_path);
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, false));
        EXPECT_EQ(reg.ReadString("Einsam"), QString(QChar(0xD800)) + "x");
        EXPECT_EQ(reg.ReadString("Zeilen"), "a\nb");
        reg.WriteInteger("Neu", 1); // force a rewrite that should come out the same
        ASSERT_TRUE(reg.DeleteValue("Neu"));
        ASSERT_TRUE(reg.OpenKey("software\\anderes\\tief", false));
        EXPECT_EQ(reg.ReadString(""), "Standardwert");
        EXPECT_EQ(reg.ReadString("mit \"anführung\" \\ und ="), "x=\"y\"");
    }
    EXPECT_EQ(ReadAll(m_path), first);
}

// Writes one value and gives what the registry said on stderr.
std::string WriteSortAndCapture()
{
    ::testing::internal::CaptureStderr();
    {
        TRegistry reg;
        EXPECT_TRUE(reg.OpenKey(kKey, true));
        reg.WriteInteger("Sort", 3);
        EXPECT_TRUE(reg.CloseKey());
    }
    return ::testing::internal::GetCapturedStderr();
}

TEST_F(RegistryTest, UnreadableFilesAreKeptAsDefektBeforeTheyAreReplaced)
{
    const QString aside = m_path + ".defekt";
    const QByteArray header = "Windows Registry Editor Version 5.00\n\n";
    const QByteArray good = header + "[HKEY_CURRENT_USER\\Software\\Anderes]\n\"Text\"=\"bleibt\"\n\n" + kSection
                            + "\"LastDir\"=\"/home/anna/\"\n";
    const QByteArray unreadable[] = {
        good + "\"Name\"=\"Gr\xf6\xdf" "e\"\n", // one Latin-1 byte
        good + QByteArray("\"Name\"=\"a\x00" "b\"\n", 13),
        QByteArray(kSection) + "\"LastDir\"=\"/home/anna/\"\n", // no header line
    };
    WriteAll(aside, "eine ältere Kopie");
    for (const QByteArray& bytes : unreadable) {
        WriteAll(m_path, bytes);
        { TRegistry reg; } // reading alone keeps nothing aside
        EXPECT_NE(ReadAll(aside), bytes);

        const std::string err = WriteSortAndCapture();
        EXPECT_EQ(ReadAll(aside), bytes) << "older copy replaced, bytes unchanged";
        EXPECT_NE(err.find(("Die Einstellungsdatei " + m_path + " war nicht lesbar und wurde als " + aside
                            + " aufbewahrt.").toStdString()),
                  std::string::npos)
            << err;
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kKey, false));
        EXPECT_EQ(reg.GetValueNames(), QStringList({"Sort"}));
    }

    // A good file, or an empty one, is simply rewritten.
    for (const QByteArray& bytes : {good, QByteArray()}) {
        QFile::remove(aside);
        WriteAll(m_path, bytes);
        EXPECT_EQ(WriteSortAndCapture(), "");
        EXPECT_FALSE(QFile::exists(aside));
    }
}

TEST_F(RegistryTest, AnOversizedFileIsKeptAsDefekt)
{
    const qint64 size = 16 * 1024 * 1024 + 1;
    {
        WriteAll(m_path, "");
        QFile f(m_path);
        ASSERT_TRUE(f.resize(size)); // sparse: costs no disk space
    }
    WriteSortAndCapture();
    EXPECT_EQ(ReadAll(m_path + ".defekt"), QByteArray(size, '\0'));
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kKey, false));
    EXPECT_EQ(reg.ReadInteger("Sort"), 3);
}

TEST_F(RegistryTest, KeepingAsideThroughASymbolicLinkKeepsTheOldBytes)
{
    const QString real = m_dir.path() + "/echt.reg";
    const QByteArray bytes = "kein Registry-Text\n";
    WriteAll(real, bytes);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    ASSERT_TRUE(QFile::link(real, m_path));
    WriteSortAndCapture();
    EXPECT_EQ(ReadAll(m_path + ".defekt"), bytes);
}

TEST_F(RegistryTest, Utf16IsReadInEitherByteOrder)
{
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Anderes]\r\n\"Text\"=\"bleibt €\"\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Fennwick\\Klangmappe\\2]\r\n"
                                        "\"LastDir\"=\"C:\\\\Müsik\\\\\"\r\n");
    for (const bool big : {false, true}) {
        QByteArray file = big ? QByteArray("\xfe\xff") : QByteArray("\xff\xfe");
        for (QChar c : text) {
            const char lo = static_cast<char>(c.unicode() & 0xFF);
            const char hi = static_cast<char>(c.unicode() >> 8);
            file += big ? hi : lo;
            file += big ? lo : hi;
        }
        WriteAll(m_path, file);
        QFile::remove(m_path + ".defekt");
        {
            TRegistry reg;
            ASSERT_TRUE(reg.OpenKey(kKey, false)) << big;
            EXPECT_EQ(reg.ReadString("LastDir"), QStringLiteral("C:\\Müsik\\"));
            reg.WriteInteger("Sort", 1);
        }
        EXPECT_FALSE(QFile::exists(m_path + ".defekt"));
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\Anderes", false));
        EXPECT_EQ(reg.ReadString("Text"), QStringLiteral("bleibt €"));
    }
}

} // namespace
} // namespace km
