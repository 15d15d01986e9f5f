#include "edit/undorecords.h"

#include <gtest/gtest.h>

#include <cstring>

namespace km {
namespace {

TID3v1Tag TitleTag(const char* title)
{
    TID3v1Tag tag = EmptyTag();
    StoreField(tag.Titel, title);
    return tag;
}

TEST(UndoList, StackOrderAndNothingMerged)
{
    TUndoList list;
    EXPECT_EQ(list.Top(), nullptr);
    list.Pop(); // harmless on an empty list
    list.PushTagWritten("/m/a.mp3", TitleTag("eins"), 11);
    list.PushTagWritten("/m/a.mp3", TitleTag("zwei"), 22);
    list.PushRenamed("/m/neu.mp3", "/m/alt.mp3", 33);
    ASSERT_EQ(list.Count(), 3u);

    const TRueckgaengig* top = list.Top();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Kind, TRueckgaengig::Renamed);
    EXPECT_EQ(top->Path, "/m/neu.mp3");
    EXPECT_EQ(top->OldPath, "/m/alt.mp3");
    EXPECT_EQ(top->FileTime, 33u);
    const TID3v1Tag zero {};
    EXPECT_EQ(std::memcmp(&top->Tag, &zero, sizeof zero), 0) << "a rename keeps no tag";

    list.Pop();
    top = list.Top();
    EXPECT_EQ(top->Kind, TRueckgaengig::TagWritten);
    EXPECT_EQ(FieldText(top->Tag.Titel), "zwei");
    EXPECT_EQ(top->Tag.Musikrichtung, kNoGenre);
    EXPECT_TRUE(top->OldPath.empty());
    EXPECT_EQ(top->FileTime, 22u);
    list.Pop();
    EXPECT_EQ(FieldText(list.Top()->Tag.Titel), "eins");
    list.Pop();
    EXPECT_TRUE(list.Empty());
}

TEST(UndoList, DeletedAndMovedFilesFollow)
{
    TUndoList list;
    list.PushTagWritten("/m/a.mp3", TitleTag("1"), 1);
    list.PushRenamed("/m/b.mp3", "/m/a.mp3", 2);
    list.PushTagWritten("/m/a.mp3", TitleTag("3"), 3);
    list.PushTagWritten("/m/sub/a.mp3", TitleTag("4"), 4);
    list.PushRenamed("/m/a.mp3", "/m/c.mp3", 5);

    TUndoList moved = list;
    moved.RehomePath("/m/a.mp3", "/ziel/");
    const auto& r = moved.Records();
    EXPECT_EQ(r[0].Path, "/ziel/a.mp3");
    EXPECT_EQ(r[1].Path, "/m/b.mp3");
    EXPECT_EQ(r[1].OldPath, "/m/a.mp3") << "the name before a rename stays";
    EXPECT_EQ(r[2].Path, "/ziel/a.mp3");
    EXPECT_EQ(r[3].Path, "/m/sub/a.mp3");
    EXPECT_EQ(r[4].Path, "/ziel/a.mp3");
    EXPECT_EQ(r[4].OldPath, "/m/c.mp3");
    moved.RehomePath("/ziel/a.mp3", "/anders");
    EXPECT_EQ(moved.Records()[0].Path, "/anders/a.mp3");

    list.DropPath("/m/a.mp3");
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Records()[0].Path, "/m/b.mp3");
    EXPECT_EQ(list.Records()[1].Path, "/m/sub/a.mp3");
    EXPECT_EQ(list.Records()[1].FileTime, 4u);
}

} // namespace
} // namespace km
