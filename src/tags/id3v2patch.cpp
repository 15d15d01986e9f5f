#include "id3v2patch.h"

#include "id3v2reader.h"
#include "utf8.h"

#include <algorithm>
#include <cstring>

namespace km {

namespace {

constexpr std::size_t kHeader = 10;
constexpr std::int64_t kMostTagBody = (std::int64_t(1) << 28) - 1; // what a synchsafe size holds

std::uint32_t BigEndian(const std::uint8_t* b)
{
    return (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
}

void PutSize(std::uint8_t* b, std::uint32_t v, bool synchsafe)
{
    for (int i = 3; i >= 0; --i) {
        b[i] = static_cast<std::uint8_t>(synchsafe ? v & 0x7F : v & 0xFF);
        v >>= synchsafe ? 7 : 8;
    }
}

struct TFrameAt {
    std::size_t Offset;
    std::size_t Length; // header included
};

// Where the parts of a 2.3 or 2.4 tag stand.
struct TLayout {
    std::uint8_t Version = 0;
    bool Footer = false;
    std::size_t ExtEnd = kHeader;  // the extended header is [kHeader, ExtEnd)
    std::size_t End = 0;           // frames and padding end here (the footer follows)
    std::vector<TFrameAt> Frames;
};

bool ValidId(const std::uint8_t* id)
{
    return std::all_of(id, id + 4, [](std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

bool AllZero(std::span<const std::uint8_t> bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// The tag's frames; a refusal when it is not one this code may change.
std::string Walk(std::span<const std::uint8_t> tag, TLayout& layout)
{
    if (tag.size() < kHeader || std::memcmp(tag.data(), "ID3", 3) != 0)
        return "Tag beschädigt";
    const std::uint8_t version = tag[3];
    const std::uint8_t flags = tag[5];
    if (version == 2)
        return "Version 2.2";
    if (version != 3 && version != 4)
        return "unbekannte Version 2." + std::to_string(version);
    if (flags & 0x80)
        return "Tag als Ganzes unsynchronisiert";
    layout.Version = version;
    layout.Footer = version == 4 && (flags & 0x10);
    const std::size_t declared = TID3v2Reader::DecodeSynchsafe(tag.data() + 6) + kHeader + (layout.Footer ? 10 : 0);
    if (declared != tag.size())
        return "Tag beschädigt";
    layout.End = tag.size() - (layout.Footer ? 10 : 0);

    std::size_t pos = kHeader;
    if (flags & 0x40) {
        if (pos + 6 > layout.End)
            return "Tag beschädigt";
        const std::uint8_t* ext = tag.data() + pos;
        std::size_t size = 0;
        bool crc = false;
        if (version == 3) {
            size = std::size_t(BigEndian(ext)) + 4;
            crc = ext[4] & 0x80;
            if (size != 10 && size != 14)
                return "Tag beschädigt";
        } else {
            size = TID3v2Reader::DecodeSynchsafe(ext);
            crc = ext[5] & 0x20;
            if (size < 6)
                return "Tag beschädigt";
        }
        if (crc)
            return "erweiterter Header mit CRC";
        if (size > layout.End - pos)
            return "Tag beschädigt";
        pos += size;
    }
    layout.ExtEnd = pos;

    while (pos + kHeader <= layout.End && tag[pos] != 0) {
        const std::uint8_t* h = tag.data() + pos;
        if (!ValidId(h) || (version == 4 && (BigEndian(h + 4) & 0x80808080u)))
            return "Tag beschädigt";
        const std::size_t size = version == 3 ? BigEndian(h + 4) : TID3v2Reader::DecodeSynchsafe(h + 4);
        if (size > layout.End - pos - kHeader)
            return "Tag beschädigt";
        layout.Frames.push_back({pos, kHeader + size});
        pos += kHeader + size;
    }
    // Padding is zeros; anything else is a frame this walk cannot read.
    if (!AllZero(tag.subspan(pos, layout.End - pos)))
        return "Tag beschädigt";
    return {};
}

bool Compressed(std::uint8_t version, std::uint8_t format)
{
    return version == 3 ? (format & 0xC0) != 0 : (format & 0x0C) != 0;
}

// The frame's data as its flags leave it; none when compressed or encrypted.
std::optional<std::vector<std::uint8_t>> Body(std::span<const std::uint8_t> tag, const TFrameAt& f, std::uint8_t version)
{
    const std::uint8_t format = tag[f.Offset + 9];
    if (Compressed(version, format))
        return std::nullopt;
    std::size_t skip = 0;
    if (version == 3)
        skip = (format & 0x20) ? 1 : 0;
    else
        skip = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
    const std::size_t size = f.Length - kHeader;
    if (skip > size)
        return std::vector<std::uint8_t> {};
    auto data = tag.subspan(f.Offset + kHeader + skip, size - skip);
    if (version == 4 && (format & 0x02))
        return RemoveUnsynchronisation(data);
    return std::vector<std::uint8_t>(data.begin(), data.end());
}

// The frame that stands for `field`: its index, -1 for none; a refusal when
// one that might be it cannot be read.
std::string FindField(std::span<const std::uint8_t> tag, const TLayout& layout, TID3v2Field field, int& index)
{
    index = -1;
    const std::string_view id = ID3v2FieldId(field, layout.Version);
    for (std::size_t i = 0; i < layout.Frames.size(); ++i) {
        const TFrameAt& f = layout.Frames[i];
        if (std::memcmp(tag.data() + f.Offset, id.data(), 4) != 0)
            continue;
        const auto body = Body(tag, f, layout.Version);
        if (!body)
            return "Feld komprimiert oder verschlüsselt";
        if (field == V2Comment && !ID3v2CommentText(*body))
            continue;
        index = static_cast<int>(i);
        return {};
    }
    return {};
}

bool Latin1(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size();)
        if (NextUtf8(utf8, i) > 0xFF)
            return false;
    return true;
}

// The text in the encoding its version takes, without the encoding byte.
std::vector<std::uint8_t> Encoded(std::string_view utf8, std::uint8_t encoding)
{
    std::vector<std::uint8_t> out;
    if (encoding == 3)
        return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
    if (encoding == 1)
        out = {0xFF, 0xFE};
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = NextUtf8(utf8, i);
        if (encoding == 0) {
            out.push_back(static_cast<std::uint8_t>(c));
            continue;
        }
        const auto unit = [&out](char32_t u) {
            out.push_back(static_cast<std::uint8_t>(u & 0xFF));
            out.push_back(static_cast<std::uint8_t>(u >> 8));
        };
        if (c >= 0x10000) {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            unit(c);
        }
    }
    return out;
}

std::uint8_t EncodingFor(std::string_view utf8, std::uint8_t version)
{
    return Latin1(utf8) ? 0 : version == 3 ? 1 : 3;
}

std::vector<std::uint8_t> Frame(std::string_view id, const std::vector<std::uint8_t>& body, std::uint8_t version)
{
    std::vector<std::uint8_t> frame(kHeader);
    std::memcpy(frame.data(), id.data(), 4);
    PutSize(frame.data() + 4, static_cast<std::uint32_t>(body.size()), version == 4);
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

// Header, extended header, frames and padding (and footer) of `size` bytes.
std::vector<std::uint8_t> Assemble(std::span<const std::uint8_t> tag, const TLayout& layout,
    std::span<const std::uint8_t> extended, const std::vector<std::vector<std::uint8_t>>& frames, std::size_t size)
{
    const std::size_t end = size - (layout.Footer ? 10 : 0);
    std::vector<std::uint8_t> out(size, 0);
    std::memcpy(out.data(), tag.data(), kHeader);
    std::size_t at = kHeader;
    if (!extended.empty())
        std::memcpy(out.data() + at, extended.data(), extended.size());
    at += extended.size();
    for (const auto& f : frames) {
        std::memcpy(out.data() + at, f.data(), f.size());
        at += f.size();
    }
    const std::size_t padding = end - at;
    PutSize(out.data() + 6, static_cast<std::uint32_t>(size - kHeader - (layout.Footer ? 10 : 0)), true);
    // 2.3 keeps the padding's size in its extended header.
    if (layout.Version == 3 && extended.size() >= 10)
        PutSize(out.data() + kHeader + 6, static_cast<std::uint32_t>(padding), false);
    if (layout.Footer) {
        std::memcpy(out.data() + end, out.data(), kHeader);
        std::memcpy(out.data() + end, "3DI", 3);
    }
    return out;
}

// The size the frames go into: the old one where they fit, else grown with
// padding; a footer allows no padding.
std::size_t SizeFor(std::size_t needed, std::size_t wanted, const TLayout& layout)
{
    const std::size_t footer = layout.Footer ? 10 : 0;
    if (layout.Footer)
        return needed + footer;
    return needed <= wanted - footer ? wanted : needed + kID3v2GrowPadding;
}

std::size_t Sum(const std::vector<std::vector<std::uint8_t>>& frames)
{
    std::size_t n = 0;
    for (const auto& f : frames)
        n += f.size();
    return n;
}

} // namespace

std::vector<std::uint8_t> EncodeID3v2Text(std::string_view utf8, std::uint8_t version)
{
    const std::uint8_t encoding = EncodingFor(utf8, version);
    std::vector<std::uint8_t> body {encoding};
    const auto text = Encoded(utf8, encoding);
    body.insert(body.end(), text.begin(), text.end());
    return body;
}

TID3v2Patch PatchID3v2Tag(std::span<const std::uint8_t> tag, const TID3v2Changes& changes)
{
    TID3v2Patch result;
    TLayout layout;
    if (result.Refused = Walk(tag, layout); !result.Refused.empty())
        return result;
    const std::uint8_t version = layout.Version;

    std::vector<std::optional<std::vector<std::uint8_t>>> replaced(layout.Frames.size()); // by old frame
    std::vector<bool> removed(layout.Frames.size(), false);
    std::vector<std::vector<std::uint8_t>> added;
    for (std::size_t k = 0; k < kID3v2FieldCount; ++k) {
        const auto& change = changes[k];
        if (!change)
            continue;
        const auto field = static_cast<TID3v2Field>(k);
        int index = -1;
        if (result.Refused = FindField(tag, layout, field, index); !result.Refused.empty())
            return result;
        std::optional<std::vector<std::uint8_t>> body;
        std::optional<std::string> old;
        if (index >= 0) {
            body = Body(tag, layout.Frames[static_cast<std::size_t>(index)], version);
            old = field == V2Comment ? ID3v2CommentText(*body) : ID3v2Text(*body);
        }
        std::string text = change->Convert && old ? change->Convert(*old) : change->Text;
        if (field == V2Track && !text.empty() && old)
            if (const auto slash = old->find('/'); slash != std::string::npos)
                text += old->substr(slash);

        std::optional<std::vector<std::uint8_t>> frame;
        if (!text.empty()) {
            const std::string_view id = ID3v2FieldId(field, version);
            std::vector<std::uint8_t> newBody;
            if (field == V2Comment) {
                const std::uint8_t encoding = EncodingFor(text, version);
                newBody.push_back(encoding);
                if (body && body->size() >= 4)
                    newBody.insert(newBody.end(), body->begin() + 1, body->begin() + 4);
                else
                    newBody.insert(newBody.end(), {'d', 'e', 'u'});
                const auto description = Encoded("", encoding);
                newBody.insert(newBody.end(), description.begin(), description.end());
                newBody.insert(newBody.end(), encoding == 1 ? 2 : 1, 0);
                const auto encoded = Encoded(text, encoding);
                newBody.insert(newBody.end(), encoded.begin(), encoded.end());
            } else {
                newBody = EncodeID3v2Text(text, version);
            }
            // No status flags: "discard when the tag changes" was meant for the old frame, not ours.
            frame = Frame(id, newBody, version);
        }

        TID3v2Undo::TFrame record;
        record.Field = static_cast<std::uint8_t>(k);
        record.Index = index;
        record.NewPresent = frame.has_value();
        if (index >= 0) {
            const TFrameAt& f = layout.Frames[static_cast<std::size_t>(index)];
            const auto oldFrame = tag.subspan(f.Offset, f.Length);
            if (frame && std::equal(frame->begin(), frame->end(), oldFrame.begin(), oldFrame.end()))
                continue; // the same bytes: nothing to change
            record.Old.assign(oldFrame.begin(), oldFrame.end());
            if (frame)
                replaced[static_cast<std::size_t>(index)] = std::move(frame);
            else
                removed[static_cast<std::size_t>(index)] = true;
        } else {
            if (!frame)
                continue; // nothing there, nothing wanted
            added.push_back(std::move(*frame));
        }
        result.Undo.Frames.push_back(std::move(record));
    }

    if (result.Undo.Frames.empty()) {
        result.Tag.assign(tag.begin(), tag.end());
        return result;
    }
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t i = 0; i < layout.Frames.size(); ++i) {
        if (removed[i])
            continue;
        if (replaced[i]) {
            frames.push_back(std::move(*replaced[i]));
            continue;
        }
        const auto f = tag.subspan(layout.Frames[i].Offset, layout.Frames[i].Length);
        frames.emplace_back(f.begin(), f.end());
    }
    for (auto& f : added)
        frames.push_back(std::move(f));

    const std::size_t size = SizeFor(layout.ExtEnd + Sum(frames), tag.size(), layout);
    if (static_cast<std::int64_t>(size) - static_cast<std::int64_t>(kHeader) > kMostTagBody) {
        result.Refused = "Tag zu groß";
        result.Undo = {};
        return result;
    }
    const auto extended = tag.subspan(kHeader, layout.ExtEnd - kHeader);
    result.Tag = Assemble(tag, layout, extended, frames, size);
    result.Undo.OldSize = static_cast<std::int64_t>(tag.size());
    result.Undo.OldExtendedHeader.assign(extended.begin(), extended.end());
    result.Changed = true;
    return result;
}

TID3v2Patch RestoreID3v2Tag(std::span<const std::uint8_t> tag, const TID3v2Undo& undo)
{
    TID3v2Patch result;
    TLayout layout;
    if (result.Refused = Walk(tag, layout); !result.Refused.empty())
        return result;

    // What the patch wrote goes, whatever stands around it stays.
    std::vector<bool> drop(layout.Frames.size(), false);
    for (const TID3v2Undo::TFrame& r : undo.Frames) {
        if (!r.NewPresent || r.Field >= kID3v2FieldCount)
            continue;
        int index = -1;
        if (result.Refused = FindField(tag, layout, static_cast<TID3v2Field>(r.Field), index); !result.Refused.empty())
            return result;
        if (index >= 0)
            drop[static_cast<std::size_t>(index)] = true;
    }
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t i = 0; i < layout.Frames.size(); ++i)
        if (!drop[i]) {
            const auto f = tag.subspan(layout.Frames[i].Offset, layout.Frames[i].Length);
            frames.emplace_back(f.begin(), f.end());
        }
    std::vector<const TID3v2Undo::TFrame*> back;
    for (const TID3v2Undo::TFrame& r : undo.Frames)
        if (r.Index >= 0 && !r.Old.empty())
            back.push_back(&r);
    std::sort(back.begin(), back.end(), [](const auto* a, const auto* b) { return a->Index < b->Index; });
    for (const auto* r : back) {
        const auto at = std::min(static_cast<std::size_t>(r->Index), frames.size());
        frames.insert(frames.begin() + static_cast<std::ptrdiff_t>(at), r->Old);
    }

    auto extended = tag.subspan(kHeader, layout.ExtEnd - kHeader);
    const std::size_t oldSize = undo.OldSize > 0 ? static_cast<std::size_t>(undo.OldSize) : tag.size();
    const std::size_t needed = layout.ExtEnd + Sum(frames);
    // A footer tag that had padding all the same gets it back.
    const std::size_t size = layout.Footer && needed + 10 <= oldSize ? oldSize : SizeFor(needed, oldSize, layout);
    // The old extended header comes back with the old size (its padding count was the old one).
    if (size == oldSize && undo.OldExtendedHeader.size() == extended.size())
        extended = undo.OldExtendedHeader;
    if (static_cast<std::int64_t>(size) - static_cast<std::int64_t>(kHeader) > kMostTagBody) {
        result.Refused = "Tag zu groß";
        return result;
    }
    result.Tag = Assemble(tag, layout, extended, frames, size);
    if (size == oldSize && undo.OldExtendedHeader.size() == extended.size() && layout.Version == 3 && !extended.empty())
        std::copy(undo.OldExtendedHeader.begin(), undo.OldExtendedHeader.end(), result.Tag.begin() + kHeader);
    result.Changed = !std::equal(result.Tag.begin(), result.Tag.end(), tag.begin(), tag.end());
    return result;
}

} // namespace km
