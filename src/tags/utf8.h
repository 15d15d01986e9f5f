#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace km {

// Decodes the UTF-8 character at i and steps past it; broken input gives
// U+FFFD and a step of one byte.
char32_t NextUtf8(std::string_view s, std::size_t& i);
void AppendUtf8(std::string& out, char32_t c);

} // namespace km
