#pragma once

#include "browse/columns.h"
#include "platform/placement.h"
#include "platform/registry.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace km {

inline const QString kSettingsKey = QStringLiteral("Software\\Fennwick\\Klangmappe\\2");

// The sixteen values the main window keeps across starts, in the order they are
// read and written.
struct TSettings {
    QString LastDir;                       // ends in "/"
    QString TZ1 = QStringLiteral(" - ");
    QString TZ2;
    std::array<std::uint8_t, 3> DNAufbau {2, 3, 0};
    bool JahrVonDatei = false;
    bool DatumBeibehalten = true;
    bool keinTitel0 = true;
    bool DirAlbum = false;
    qint32 Sort = 1;
    bool Unterordner = false;
    qint32 BW = 185;
    bool ET = false;
    QString CopyTo;
    QString MoveTo;
    std::vector<TColumnPair> Spalten = DefaultColumnLayout();
    std::optional<TWindowPlacement> Placement;
};

// The defaults; the start folder is the user's home folder.
TSettings DefaultSettings();

// Reads every value that exists with the right type and size into `s`; others
// keep what `s` holds. False when the key does not exist (nothing is created).
bool ReadSettings(TRegistry& registry, TSettings& s);
// Writes all sixteen values (Placement only when known); false when the key
// cannot be opened or created or the file cannot be written.
bool WriteSettings(TRegistry& registry, const TSettings& s);

} // namespace km
