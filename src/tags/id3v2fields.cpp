#include "id3v2fields.h"

#include "id3v2reader.h"
#include "utf8.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace km {

namespace {

constexpr std::size_t kMostBody = 64 * 1024;  // enough of any text for a field of 30 bytes
constexpr std::int64_t kMostWholeTag = 16 << 20; // a tag unsynchronised as a whole is read at once

constexpr std::array<std::string_view, kID3v2FieldCount> kIds23 {"TIT2", "TPE1", "TALB", "TYER", "COMM", "TRCK", "TCON"};
constexpr std::array<std::string_view, kID3v2FieldCount> kIds24 {"TIT2", "TPE1", "TALB", "TDRC", "COMM", "TRCK", "TCON"};
constexpr std::array<std::string_view, kID3v2FieldCount> kIds22 {"TT2", "TP1", "TAL", "TYE", "COM", "TRK", "TCO"};

std::uint32_t BigEndian(const std::uint8_t* b, int n)
{
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | b[i];
    return v;
}

// One string of the given encoding from the start of `text`; `used` how many bytes it took with its terminator.
std::string DecodeString(std::uint8_t encoding, std::span<const std::uint8_t> text, std::size_t* used = nullptr)
{
    std::string out;
    if (encoding == 1 || encoding == 2) {
        bool bigEndian = encoding == 2;
        std::size_t i = 0;
        if (encoding == 1 && text.size() >= 2 && ((text[0] == 0xFF && text[1] == 0xFE) || (text[0] == 0xFE && text[1] == 0xFF))) {
            bigEndian = text[0] == 0xFE;
            i = 2;
        }
        const auto unit = [&](std::size_t at) {
            return bigEndian ? char16_t((text[at] << 8) | text[at + 1]) : char16_t(text[at] | (text[at + 1] << 8));
        };
        for (; i + 1 < text.size(); i += 2) {
            const char16_t u = unit(i);
            if (u == 0) {
                i += 2;
                break;
            }
            if (u >= 0xD800 && u < 0xDC00 && i + 3 < text.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
                AppendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (unit(i + 2) - 0xDC00));
                i += 2;
            } else {
                AppendUtf8(out, u >= 0xD800 && u < 0xE000 ? char32_t(0xFFFD) : char32_t(u));
            }
        }
        if (used)
            *used = std::min(i, text.size());
        return out;
    }
    const auto end = std::find(text.begin(), text.end(), std::uint8_t(0));
    if (used)
        *used = static_cast<std::size_t>(end - text.begin()) + (end == text.end() ? 0 : 1);
    if (encoding == 3)
        return std::string(text.begin(), end);
    // ISO-8859-1, and any encoding byte we do not know.
    for (auto it = text.begin(); it != end; ++it)
        AppendUtf8(out, *it);
    return out;
}

} // namespace

std::optional<std::string> ID3v2CommentText(std::span<const std::uint8_t> body)
{
    if (body.size() < 4)
        return std::nullopt;
    std::size_t used = 0;
    const std::string description = DecodeString(body[0], body.subspan(4), &used);
    if (!description.empty())
        return std::nullopt;
    return DecodeString(body[0], body.subspan(4 + used));
}

std::string_view ID3v2FieldId(TID3v2Field field, std::uint8_t version)
{
    return (version == 2 ? kIds22 : version == 3 ? kIds23 : kIds24)[field];
}

std::string ID3v2Text(std::span<const std::uint8_t> body)
{
    return body.empty() ? std::string() : DecodeString(body[0], body.subspan(1));
}

TID3v2Fields ReadID3v2Fields(const TReadBytes& readFile, std::int64_t offset, std::int64_t size)
{
    TID3v2Fields fields;
    std::uint8_t header[10];
    readFile(offset, header, sizeof header);
    fields.Version = header[3];
    const std::uint8_t version = header[3];
    const std::uint8_t flags = header[5];
    // 2.2 with its compression bit: a scheme nobody defined; the tag counts as unreadable.
    if ((version != 2 && version != 3 && version != 4) || (version == 2 && (flags & 0x40)))
        return fields;
    const std::int64_t end = size - ((version == 4 && (flags & 0x10)) ? 10 : 0);

    // The frames' bytes, relative to the tag's start: from the file, or from
    // the tag undone of its unsynchronisation as a whole (2.2, 2.3).
    std::vector<std::uint8_t> whole;
    const bool unsynchronised = version < 4 && (flags & 0x80);
    if (unsynchronised) {
        if (size > kMostWholeTag)
            return fields;
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(end));
        readFile(offset, raw.data(), raw.size());
        whole = RemoveUnsynchronisation(std::span(raw).subspan(10));
        whole.insert(whole.begin(), raw.begin(), raw.begin() + 10);
    }
    const std::int64_t limit = unsynchronised ? static_cast<std::int64_t>(whole.size()) : end;
    const auto read = [&](std::int64_t at, std::uint8_t* dst, std::size_t n) {
        if (!unsynchronised) {
            readFile(offset + at, dst, n);
            return;
        }
        const auto from = static_cast<std::size_t>(std::min<std::int64_t>(at, limit));
        const std::size_t have = std::min(n, whole.size() - from);
        std::memcpy(dst, whole.data() + from, have);
        std::memset(dst + have, 0, n - have);
    };

    std::int64_t pos = 10;
    if (version >= 3 && (flags & 0x40)) {
        std::uint8_t ext[4];
        read(pos, ext, sizeof ext);
        // 2.3 counts the extended header without its size bytes, 2.4 with them, synchsafe.
        pos += version == 3 ? std::int64_t(BigEndian(ext, 4)) + 4 : std::int64_t(TID3v2Reader::DecodeSynchsafe(ext));
    }
    const auto& ids = version == 2 ? kIds22 : version == 3 ? kIds23 : kIds24;
    const int headerSize = version == 2 ? 6 : 10;
    const std::size_t idSize = version == 2 ? 3 : 4;

    while (pos + headerSize <= limit) {
        std::uint8_t h[10];
        read(pos, h, static_cast<std::size_t>(headerSize));
        if (h[0] == 0)
            break; // padding
        const std::string_view id(reinterpret_cast<const char*>(h), idSize);
        const std::int64_t frameSize = version == 2 ? BigEndian(h + 3, 3)
            : version == 3                          ? BigEndian(h + 4, 4)
                                                    : TID3v2Reader::DecodeSynchsafe(h + 4);
        const std::int64_t bodyAt = pos + headerSize;
        if (frameSize > limit - bodyAt)
            break;
        pos = bodyAt + frameSize;
        const auto wanted = std::find(ids.begin(), ids.end(), id);
        if (wanted == ids.end())
            continue;
        const auto field = static_cast<std::size_t>(wanted - ids.begin());
        if (fields.Texts[field] && field != V2Comment)
            continue; // the first frame counts

        // What stands between the header and the data: group byte, data length, decompressed size.
        const std::uint8_t format = version == 2 ? 0 : h[9];
        const bool compressed = version == 3 ? (format & 0x80) : (version == 4 && (format & 0x08));
        const bool encrypted = version == 3 ? (format & 0x40) : (version == 4 && (format & 0x04));
        if (encrypted)
            continue;
        std::int64_t skip = 0;
        std::uint32_t inflated = 0;
        if (version == 3) {
            if (compressed) {
                std::uint8_t n[4];
                read(bodyAt, n, 4);
                inflated = BigEndian(n, 4);
                skip += 4;
            }
            skip += (format & 0x20) ? 1 : 0;
        } else if (version == 4) {
            skip += (format & 0x40) ? 1 : 0;
            if (format & 0x01) {
                std::uint8_t n[4];
                read(bodyAt + skip, n, 4);
                inflated = TID3v2Reader::DecodeSynchsafe(n);
                skip += 4;
            }
        }
        if (skip > frameSize)
            continue;
        const auto stored = static_cast<std::size_t>(frameSize - skip);
        if (compressed && stored > kMostWholeTag)
            continue;
        std::vector<std::uint8_t> body(compressed ? stored : std::min(stored, kMostBody));
        if (!body.empty())
            read(bodyAt + skip, body.data(), body.size());
        if (version == 4 && (format & 0x02))
            body = RemoveUnsynchronisation(body);
        if (compressed) {
            std::vector<std::uint8_t> out;
            if (!InflateExactly(body, std::min<std::uint32_t>(inflated, kMostBody), out))
                continue;
            body = std::move(out);
        }
        if (field == V2Comment) {
            if (!fields.Texts[field])
                fields.Texts[field] = ID3v2CommentText(body);
        } else {
            fields.Texts[field] = ID3v2Text(body);
        }
    }
    return fields;
}

} // namespace km
