#pragma once

#include "tags/id3v1tag.h"

#include <functional>
#include <string>
#include <vector>

namespace km::cli {

using TTagChange = std::function<TID3v1Tag(const TID3v1Tag& current)>;

// Reads each file's ID3v1 tag, changes it and saves it by the window's rules:
// a tag that stays the same is not written, the file times are kept unless
// `touch`. One line per file on stdout ("geschrieben: PATH" or "unverändert:
// PATH"), failures on stderr. 1 when any file failed, else 0.
int SaveEach(const std::vector<std::string>& files, bool touch, const TTagChange& change);

} // namespace km::cli
