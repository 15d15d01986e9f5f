#include "cli/json.h"

#include "platform/cp1252.h"

namespace km::cli {

std::string JsonQuote(std::string_view utf8)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextUtf8(utf8, i);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                AppendUtf8(out, c);
            }
        }
    }
    return out + "\"";
}

std::string LowerHex(std::span<const std::uint8_t> bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

void WriteLowerHex(std::FILE* out, std::span<const std::uint8_t> bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    char buf[8192];
    std::size_t n = 0;
    for (const std::uint8_t b : bytes) {
        buf[n++] = kHex[b >> 4];
        buf[n++] = kHex[b & 15];
        if (n == sizeof buf) {
            std::fwrite(buf, 1, n, out);
            n = 0;
        }
    }
    std::fwrite(buf, 1, n, out);
}

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t at = i;
        // A real U+FFFD takes three bytes; a replaced byte only one.
        if (NextUtf8(bytes, i) == 0xFFFD && i - at != 3)
            return false;
    }
    return true;
}

TJsonObject& TJsonObject::Raw(std::string_view key, std::string_view json)
{
    if (m_text.size() > 1)
        m_text += ',';
    m_text += JsonQuote(key);
    m_text += ':';
    m_text += json;
    return *this;
}

} // namespace km::cli
