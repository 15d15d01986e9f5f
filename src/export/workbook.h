#pragma once

#include <QStringList>

#include <string>
#include <vector>

namespace km {

struct TEintragDaten;

// The fifteen texts of an entry's spreadsheet row: folder, name, the tag's
// fields, size, attributes and the stream's properties.
QStringList WorkbookRow(const TEintragDaten& entry);

// Writes one worksheet, a row per entry in order, every value a text cell,
// no heading row. False when the file cannot be written.
bool WriteWorkbook(const std::string& path, const std::vector<QStringList>& rows);

} // namespace km
