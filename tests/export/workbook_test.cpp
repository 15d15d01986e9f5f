#include "export/workbook.h"

#include "browse/entry.h"
#include "support/workbookreader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>


namespace km {
namespace {

TEST(Workbook, FifteenTextsPerEntry)
{
    TEintragDaten e;
    e.Folder = "/musik/";
    e.FileName = "a.mp3";
    StoreField(e.Tag.Titel, "Gr\xfcn");
    StoreField(e.Tag.Jahr, "1999");
    e.Tag.Titelnr = 7;
    e.Tag.Musikrichtung = 17;
    e.FileSize = 4096;
    e.Attributes = kAttrReadOnly | kAttrArchive;
    e.MP3Info.Version = 1;
    e.MP3Info.Layer = 3;
    e.MP3Info.Bitrate = 128;
    e.MP3Info.SampleRate = 22050;
    e.MP3Info.ChannelMode = 1;
    EXPECT_EQ(WorkbookRow(e), QStringList({"/musik/", "a.mp3", QString::fromUtf8("Grün"), "", "", "7", "1999", "", "Rock",
                                  "4096", "RA", "MPEG 1 Layer 3", "128 kbps", "22 kHz", "Joint Stereo"}));

    TEintragDaten empty; // no tag, no frame: the cleared stream properties
    EXPECT_EQ(WorkbookRow(empty), QStringList({"", "", "", "", "", "0", "", "", "", "0", "", "MPEG ? Layer ?", "0 kbps",
                                      "0 kHz", "Mono"}));
}

TEST(Workbook, EveryValueIsATextCellInOrder)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/liste.xlsx";
    ASSERT_TRUE(WriteWorkbook(path, {{"0012", "a", "", QString::fromUtf8("Grün & <b>")}, {"1999", "=1+1"}}));
    // The reader fills short rows up to the widest one.
    EXPECT_EQ(test::WorkbookCells(path), "0012|s\ta|s\t\tGr\xc3\xbcn & <b>|s\n1999|s\t=1+1|s\t\t\n");

    ASSERT_TRUE(WriteWorkbook(path, {}));
    EXPECT_EQ(test::WorkbookCells(path), "") << "an empty sheet";
    EXPECT_FALSE(WriteWorkbook(dir.Path() + "/fehlt/liste.xlsx", {{"x"}}));
}

} // namespace
} // namespace km
