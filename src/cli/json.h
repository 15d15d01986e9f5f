#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace km::cli {

// A JSON string literal; broken UTF-8 becomes U+FFFD.
std::string JsonQuote(std::string_view utf8);
std::string LowerHex(std::span<const std::uint8_t> bytes);
// LowerHex straight to `out`, so big data costs no second copy in memory.
void WriteLowerHex(std::FILE* out, std::span<const std::uint8_t> bytes);
// False when JsonQuote would have to replace something with U+FFFD.
bool IsValidUtf8(std::string_view bytes);

// Builds one object with its keys in the order they are added.
class TJsonObject {
public:
    TJsonObject& Raw(std::string_view key, std::string_view json);
    TJsonObject& Str(std::string_view key, std::string_view utf8) { return Raw(key, JsonQuote(utf8)); }
    TJsonObject& Num(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    TJsonObject& Bool(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }
    std::string Text() const { return m_text + "}"; }

private:
    std::string m_text = "{";
};

} // namespace km::cli
