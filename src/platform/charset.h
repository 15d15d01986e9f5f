#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace km {

// A character set ID3v1 texts may be in: what the user sees, the name stored
// and given on the command line, and the converter behind it.
struct TCharsetInfo {
    const char* Label;
    const char* Name;
    const char* Converter; // an iconv name; empty for Windows-1252, which has its own lossless table
    bool MultiByte = false; // a character may take more than one byte
};

inline constexpr std::size_t kCharsetCount = 15;
extern const std::array<TCharsetInfo, kCharsetCount> Charsets;
inline constexpr const char* kDefaultCharset = "windows-1252";

// The set of that name, case-insensitive; nullptr for an unknown one.
const TCharsetInfo* FindCharset(std::string_view name);
// The set of that name, Windows-1252 for an unknown one.
const TCharsetInfo& CharsetOrDefault(std::string_view name);
// The names, comma-separated, for a usage message.
std::string CharsetNames();

// Converts between a set's bytes and text. Bytes the set does not define
// (or a sequence cut off) read as U+FFFD, one a byte; characters it cannot
// hold are written as "?".
class TCharset {
public:
    explicit TCharset(const TCharsetInfo& info) : m_info(&info) {}
    const TCharsetInfo& Info() const { return *m_info; }
    bool IsDefault() const { return *m_info->Converter == 0; }

    std::string ToUtf8(std::string_view bytes) const;
    std::string FromUtf8(std::string_view utf8) const;
    QString ToQString(std::string_view bytes) const;
    std::string FromQString(const QString& text) const;
    // How many of the bytes fit into `width`, never cutting a character.
    std::size_t Fit(std::string_view bytes, std::size_t width) const;
    // The character at `at` and how many bytes it takes (at least one; U+FFFD for an undefined byte).
    std::size_t Step(std::string_view bytes, std::size_t at, char32_t& c) const;
    // Step after Step reads what ToUtf8 reads, from a table: false for
    // Windows-1252 and for sets that join combining marks to the letter before.
    bool StepsAlone() const;
    // The bytes of one character; empty when the set cannot hold it.
    std::string Encode(char32_t c) const;

private:
    const TCharsetInfo* m_info;
};

// Text into an ID3v1 field of `width` bytes in the current set, cut where a
// character ends; what the set cannot hold becomes "?".
void StoreID3v1Text(char* field, std::size_t width, const QString& text);
template <std::size_t N>
void StoreID3v1Text(char (&field)[N], const QString& text) { StoreID3v1Text(field, N, text); }

// The set the program reads and writes ID3v1 texts in: Windows-1252 until
// told otherwise, once at start (the window's setting, the command line's
// --charset) and after the user chose another.
const TCharset& ID3v1Charset();
void SetID3v1Charset(const TCharsetInfo& info);

} // namespace km
