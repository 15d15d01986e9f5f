#pragma once

#include "model/columns.h"
#include "model/structure.h"
#include "platform/placement.h"
#include "platform/registry.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace km {

inline const QString kSettingsKey = QStringLiteral("Software\\Fennwick\\Klangmappe\\2");

// The sixteen values the main window keeps across starts, the file-name
// structure and its options among them.
struct TSettings : TNameStructure {
    QString LastDir;                       // ends in "/"
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
