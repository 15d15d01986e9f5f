#pragma once

#include "model/entry.h"

#include <QLocale>
#include <QString>

#include <cstdint>

namespace km {

// The text of one cell; empty for unknown ids.
QString CellText(int columnId, const TEintragDaten& entry, const QLocale& locale);

// The rules behind the cells, one by one.
QString SizeText(std::int64_t bytes, const QLocale& locale);     // "1.024 KB"
QString AttributeText(std::uint32_t attributes);                 // S R H A
QString MpegVersionText(int version, int layer);                 // "MPEG 1 Layer 3"
QString BitrateText(bool vbr, int bitrate);                      // "vbr 136 kbps"
QString FrequencyText(std::int32_t sampleRate);                  // "44 kHz"
QString ChannelText(int channelMode);                            // "Joint Stereo"
QString DurationText(std::uint32_t milliseconds);                // "1:02:03"
QString FileCountText(int count);                                 // "30 Dateien gesamt"
QString FileDateText(TFileTime fileTime, const QLocale& locale); // local short date and time
// Loads the local time zone's rules again (at the start of a scan): dates are
// converted with rules loaded once, not looked up anew for every row.
void RefreshLocalZone();

} // namespace km
