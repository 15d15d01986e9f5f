#pragma once

#include <QString>
#include <QStringView>

namespace km {

// The version page rebuilt so that the page panel lays it out in a moment,
// whatever the server sent: only plain formatting, lists, links and a few
// small tables are kept, nesting and counts are bounded, long unbroken words
// get break chances, and a page longer than the panel needs ends in "…".
// One pass over the text.
QString SafePage(QStringView html);

// A plain-text page under the same bounds of length, lines, unbroken words
// and marks; shown as plain text all the same.
QString SafeText(QStringView text);

} // namespace km
