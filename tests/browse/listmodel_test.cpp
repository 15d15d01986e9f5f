#include "browse/listmodel.h"

#include "model/sorting.h"
#include "support/palettes.h"

#include <QIcon>

#include <gtest/gtest.h>

#include <random>

namespace km {
namespace {

std::vector<TEintragDaten*> Order(const TListModel& model)
{
    std::vector<TEintragDaten*> rows;
    for (int r = 0; r < model.Count(); ++r)
        rows.push_back(model.Entry(r));
    return rows;
}

// Rows added in a batch end up where one-by-one insertion puts them: after
// rows already there, and when the list is sorted anew within the batch.
TEST(ListModel, ABatchSortsLikeInsertingOneByOne)
{
    std::mt19937 rng(11);
    TEntryList entries;
    for (int k = 0; k < 3000; ++k) {
        auto e = std::make_unique<TEintragDaten>();
        e->FileName = "f" + std::to_string(rng() % 40) + ".mp3";
        e->Folder = "/m/";
        StoreField(e->Tag.Titel, std::string(1, static_cast<char>('a' + rng() % 4)));
        e->FileSize = rng() % 5;
        entries.push_back(std::move(e));
    }
    const std::vector<TListModel::TColumn> columns {{1, Qt::AlignLeft}, {9, Qt::AlignRight}};
    const auto keyOf = [](std::size_t k) { return k < 2000 ? 2 : -10; };
    const auto step = [&](TListModel& model, std::size_t k) {
        if (k == 2000) // a header click while the scan runs
            model.Sort(-10);
        model.InsertSorted(entries[k].get(), TListModel::FileIcon, keyOf(k));
    };

    TListModel single;
    single.SetColumns(columns);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (k != 500) // where the batch below starts anew
            step(single, k);
    }

    TListModel batch;
    batch.SetColumns(columns);
    int serves = 0;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (k == 500) {
            batch.EndBatch();
            batch.BeginBatch();
            continue;
        }
        if (k == 0)
            batch.BeginBatch();
        step(batch, k);
    }
    EXPECT_EQ(batch.rowCount(), 500) << "the view hears of the second batch when it ends";
    batch.EndBatch([&serves] { ++serves; });
    EXPECT_EQ(batch.rowCount(), 2999);
    EXPECT_EQ(Order(batch), Order(single));
    EXPECT_GT(serves, 0);
}

// A header click or a column change while the rows settle (the window is
// served between slices) waits for them: nothing is sorted twice or lost.
TEST(ListModel, ASortAskedForWhileTheRowsSettleComesAfter)
{
    std::mt19937 rng(3);
    TEntryList entries;
    for (int k = 0; k < 20000; ++k) {
        auto e = std::make_unique<TEintragDaten>();
        e->FileName = "f" + std::to_string(rng() % 5000) + ".mp3";
        e->Folder = "/m/";
        e->FileSize = rng() % 9;
        entries.push_back(std::move(e));
    }
    const std::vector<TListModel::TColumn> columns {{0, Qt::AlignLeft}, {9, Qt::AlignRight}};
    TListModel single;
    single.SetColumns(columns);
    for (const auto& e : entries)
        single.InsertSorted(e.get(), TListModel::FileIcon, 1);
    single.Sort(-10);

    TListModel batch;
    batch.SetColumns(columns);
    batch.BeginBatch();
    for (const auto& e : entries)
        batch.InsertSorted(e.get(), TListModel::FileIcon, 1);
    int serves = 0;
    batch.EndBatch([&] {
        if (++serves == 2) {
            batch.SetColumns(columns);
            batch.Sort(-10);
            batch.RemoveRows({0, 1});
        }
    });
    EXPECT_GT(serves, 2);
    EXPECT_EQ(batch.Count(), 20000);
    EXPECT_EQ(Order(batch), Order(single));

    // A header click sorts in slices with the rows shown as they were; another
    // click or a removal meanwhile starts it anew.
    TListModel clicked;
    clicked.SetColumns(columns);
    for (const auto& e : entries)
        clicked.InsertSorted(e.get(), TListModel::FileIcon, 1);
    const std::vector<TEintragDaten*> shown = Order(clicked);
    std::vector<TEintragDaten*> expected = shown;
    expected.erase(expected.begin(), expected.begin() + 2);
    const std::vector<int> ids = clicked.ColumnIds();
    std::stable_sort(expected.begin(), expected.end(),
        [&](const TEintragDaten* a, const TEintragDaten* b) { return CompareRows(-10, ids, *a, *b) < 0; });
    serves = 0;
    clicked.Sort(9, [&] {
        ++serves;
        if (serves < 3) {
            EXPECT_EQ(Order(clicked), shown);
        }
        if (serves == 2)
            clicked.Sort(-10);
        if (serves == 3)
            clicked.RemoveRows({0, 1});
    });
    EXPECT_GT(serves, 5);
    EXPECT_EQ(clicked.Count(), 19998);
    EXPECT_EQ(Order(clicked), expected);
}

// The row pictures and the sort arrow are as sharp as the screen, and the
// arrow stands out from the header in light and dark palettes.
TEST(ListModel, RowAndHeaderPicturesAreSharpAndReadable)
{
    TEintragDaten entry;
    entry.FileName = "a.mp3";
    entry.Folder = "/m/";
    TListModel model;
    model.SetColumns({{1, Qt::AlignLeft}});
    model.InsertSorted(&entry, TListModel::TemplateIcon, 2);
    model.InsertSorted(&entry, TListModel::FileIcon, 2);
    for (int row : {0, 1}) {
        const auto icon = model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>();
        for (const qreal dpr : {1.5, 2.0}) {
            const QPixmap pm = icon.pixmap(QSize(16, 16), dpr);
            EXPECT_EQ(pm.devicePixelRatio(), dpr) << row;
            EXPECT_EQ(pm.size(), QSize(16, 16) * dpr) << row;
        }
    }

    for (const int key : {2, -2}) {
        model.SetSortArrows(key);
        const auto arrow = model.headerData(1, Qt::Horizontal, Qt::DecorationRole).value<QIcon>();
        ASSERT_FALSE(arrow.isNull()) << key;
        EXPECT_EQ(arrow.pixmap(QSize(12, 12), 2.0).size(), QSize(24, 24));
        for (const QPalette& palette : {test::LightPalette(), test::DarkPalette()}) {
            const test::TPaletteScope scope(palette);
            const QColor face = palette.color(QPalette::Button);
            EXPECT_GE(test::StrongestContrast(arrow.pixmap(QSize(12, 12), 1.0).toImage(), face), 3.0)
                << key << " on " << face.name().toStdString();
        }
    }
}

} // namespace
} // namespace km
