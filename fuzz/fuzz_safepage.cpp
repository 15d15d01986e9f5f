// SafePage and SafeText on the input as a downloaded version page (UTF-8).
#include "help/safepage.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

void Expect(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_safepage: %s\n", what);
    std::abort();
}

// Tables opened in the made-safe page, and how deep they nest.
void CountTables(const QString& page, int& total, int& deepest)
{
    total = deepest = 0;
    int depth = 0;
    for (qsizetype at = page.indexOf(QLatin1Char('<')); at >= 0; at = page.indexOf(QLatin1Char('<'), at + 1)) {
        const QStringView tag = QStringView(page).mid(at + 1, 6);
        if (tag.startsWith(QLatin1String("table"), Qt::CaseInsensitive)) {
            ++total;
            deepest = std::max(deepest, ++depth);
        } else if (tag.startsWith(QLatin1String("/table"), Qt::CaseInsensitive)) {
            --depth;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString in = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // What makes the panel slow stays bounded, whatever came in.
    const QString page = km::SafePage(in);
    int tables = 0, deepest = 0;
    CountTables(page, tables, deepest);
    Expect(tables <= 16, "more than 16 tables kept");
    Expect(deepest <= 2, "tables nested deeper than two");

    // 100,000 characters of two UTF-16 units at most, a break chance after every 64, and the closing "…".
    const QString text = km::SafeText(in);
    Expect(text.size() <= 2 * 100000 + 100000 / 64 + 16, "the text grew beyond its bounds");
    // The page made safe once is safe: a second pass keeps its tables.
    int again = 0, againDeepest = 0;
    CountTables(km::SafePage(page), again, againDeepest);
    Expect(again <= tables, "a second pass found more tables");
    return 0;
}
