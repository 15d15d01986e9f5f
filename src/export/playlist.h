#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace km {

struct TEintragDaten;

// Seconds of a playing time, a half rounded to the even neighbour.
std::uint32_t PlaylistSeconds(std::uint32_t milliseconds);

// `folder` seen from `base`; both end in "/". "../" for every name of `base`
// below their common part, then the rest of `folder`.
std::string RelativeFolder(const std::string& base, const std::string& folder);

// An M3U playlist of the entries in order, lines ended by CR LF. Extended: a
// "#EXTM3U" head and a "#EXTINF:" line before each path. With `relativeTo`
// (the playlist's folder, ending in "/") the paths are relative to it.
// Texts are UTF-8; file names keep their own bytes, so the entries find their files.
// A path with a line break becomes a file URL, a relative one starting with "#" or a blank gets "./".
QByteArray PlaylistText(const std::vector<const TEintragDaten*>& entries, bool extended,
    const std::optional<std::string>& relativeTo);

} // namespace km
