#include "model/settings.h"
#include "tags/mp3bytes.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

namespace km {
namespace {

// The home folder with one trailing "/", also where home is the root.
QString Home()
{
    const QString home = QDir::homePath();
    return home.endsWith('/') ? home : home + "/";
}

// Points the store at a temporary folder for the length of a test.
class Store : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_had = old != nullptr;
        m_old = old ? old : "";
        ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_had)
            ::setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
    }

    test::TempDir dir;

private:
    bool m_had = false;
    std::string m_old;
};

TEST_F(Store, DefaultsWithoutTheKey)
{
    TRegistry registry;
    TSettings s = DefaultSettings();
    EXPECT_FALSE(ReadSettings(registry, s));
    EXPECT_FALSE(QFile::exists(TRegistry::DefaultPath())) << "reading creates nothing";
    EXPECT_EQ(s.LastDir, Home());
    EXPECT_EQ(s.TZ1, " - ");
    EXPECT_EQ(s.TZ2, "");
    EXPECT_EQ(s.DNAufbau, (std::array<std::uint8_t, 3> {2, 3, 0}));
    EXPECT_FALSE(s.JahrVonDatei);
    EXPECT_TRUE(s.DatumBeibehalten);
    EXPECT_TRUE(s.keinTitel0);
    EXPECT_FALSE(s.DirAlbum);
    EXPECT_EQ(s.Sort, 1);
    EXPECT_FALSE(s.Unterordner);
    EXPECT_FALSE(s.ID3v2Mitschreiben);
    EXPECT_EQ(s.BW, 185);
    EXPECT_FALSE(s.ET);
    EXPECT_EQ(s.Spalten, DefaultColumnLayout());
    EXPECT_FALSE(s.Placement.has_value());
}

TEST_F(Store, EveryValueRoundTripsInTableOrder)
{
    TSettings s = DefaultSettings();
    s.LastDir = "/musik/ä \"x\"\\/";
    s.TZ1 = "_";
    s.TZ2 = " ~ ";
    s.DNAufbau = {1, 3, 2};
    s.JahrVonDatei = true;
    s.DatumBeibehalten = false;
    s.keinTitel0 = false;
    s.DirAlbum = true;
    s.ID3v2Mitschreiben = true;
    s.ID3v1Zeichensatz = "shift_jis";
    s.Sort = -4;
    s.Unterordner = true;
    s.BW = 250;
    s.ET = true;
    s.CopyTo = "/ziel/";
    s.MoveTo = "/woanders/";
    s.Spalten = {{16, 120}, {1, 90}};
    TWindowPlacement p;
    p.ShowCmd = kShowMaximized;
    p.SetNormalRect(QRect(10, 20, 700, 500));
    s.Placement = p;
    {
        TRegistry registry;
        ASSERT_TRUE(WriteSettings(registry, s));
        ASSERT_TRUE(registry.OpenKey(kSettingsKey, false));
        EXPECT_EQ(registry.GetValueNames(),
            QStringList({"LastDir", "TZ1", "TZ2", "DNAufbau", "JahrVonDatei", "DatumBeibehalten", "keinTitel0",
                "DirAlbum", "Sort", "Unterordner", "BW", "ET", "CopyTo", "MoveTo", "Spalten", "Placement", "ID3v2Mitschreiben",
                "ID3v1Zeichensatz"}));
    }
    TRegistry again;
    TSettings r = DefaultSettings();
    ASSERT_TRUE(ReadSettings(again, r));
    EXPECT_EQ(r.LastDir, s.LastDir);
    EXPECT_EQ(r.TZ1, s.TZ1);
    EXPECT_EQ(r.TZ2, s.TZ2);
    EXPECT_EQ(r.DNAufbau, s.DNAufbau);
    EXPECT_EQ(r.JahrVonDatei, s.JahrVonDatei);
    EXPECT_EQ(r.DatumBeibehalten, s.DatumBeibehalten);
    EXPECT_EQ(r.keinTitel0, s.keinTitel0);
    EXPECT_EQ(r.DirAlbum, s.DirAlbum);
    EXPECT_TRUE(r.ID3v2Mitschreiben);
    EXPECT_EQ(r.ID3v1Zeichensatz, "shift_jis");
    EXPECT_EQ(r.Sort, s.Sort);
    EXPECT_EQ(r.Unterordner, s.Unterordner);
    EXPECT_EQ(r.BW, s.BW);
    EXPECT_EQ(r.ET, s.ET);
    EXPECT_EQ(r.CopyTo, s.CopyTo);
    EXPECT_EQ(r.MoveTo, s.MoveTo);
    EXPECT_EQ(r.Spalten, s.Spalten);
    ASSERT_TRUE(r.Placement.has_value());
    EXPECT_EQ(*r.Placement, p);
}

TEST_F(Store, WrongTypesAndSizesKeepTheDefaults)
{
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kSettingsKey, true));
        registry.WriteString("Sort", "3");                       // a string where a number belongs
        registry.WriteInteger("LastDir", 5);                     // a number where a string belongs
        registry.WriteBinaryData("DNAufbau", QByteArray("\x01\x02\x03\x04", 4)); // too long
        registry.WriteBinaryData("Placement", QByteArray(40, 0)); // not 44 bytes
        registry.WriteBinaryData("Spalten", QByteArray("\x01\x00\x00\x00", 4)); // too short: default columns
        registry.WriteInteger("Unterordner", 7);                 // any number but 0 is true
        registry.WriteBinaryData("BW", QByteArray(4, 1));        // binary where a number belongs
        registry.WriteString("ID3v1Zeichensatz", "ebcdic");     // a set we do not know
        ASSERT_TRUE(registry.CloseKey());
    }
    TRegistry registry;
    TSettings s = DefaultSettings();
    ASSERT_TRUE(ReadSettings(registry, s));
    EXPECT_EQ(s.Sort, 1);
    EXPECT_EQ(s.LastDir, Home());
    EXPECT_EQ(s.DNAufbau, (std::array<std::uint8_t, 3> {2, 3, 0}));
    EXPECT_FALSE(s.Placement.has_value());
    EXPECT_EQ(s.Spalten, DefaultColumnLayout());
    EXPECT_TRUE(s.Unterordner);
    EXPECT_EQ(s.BW, 185);
    EXPECT_EQ(s.ID3v1Zeichensatz, "windows-1252");

    // Twelve bytes hold one whole pair.
    TRegistry twelve;
    ASSERT_TRUE(twelve.OpenKey(kSettingsKey, false));
    twelve.WriteBinaryData("Spalten", QByteArray("\x03\x00\x00\x00\x4d\x00\x00\x00\x09\x09\x09\x09", 12));
    twelve.WriteInteger("Sort", 0);
    twelve.WriteString("ID3v1Zeichensatz", "KOI8-R"); // names are case-insensitive
    ASSERT_TRUE(twelve.CloseKey());
    TSettings t = DefaultSettings();
    ASSERT_TRUE(ReadSettings(twelve, t));
    EXPECT_EQ(t.Spalten, (std::vector<TColumnPair> {{3, 77}}));
    EXPECT_EQ(t.Sort, 0);
    EXPECT_EQ(t.ID3v1Zeichensatz, "koi8-r");
}

} // namespace
} // namespace km
