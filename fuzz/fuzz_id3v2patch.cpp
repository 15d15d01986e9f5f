// PatchID3v2Tag on a tag and changes taken from the input, then the result
// read back: only the changed fields' frames differ, they read as intended,
// and RestoreID3v2Tag gives the old tag byte for byte.
//
// Input: a kind byte (bit 0: 2.4, else 2.3; bit 1: extended header; bit 2:
// footer; bit 3: the frames are the rest of the input as it is), the extended
// header's flag byte, the padding's length, a byte with a bit per field that
// changes; per changing field an operation byte (0 text, 1 remove, 2 upper
// case, 3 lower case of the frame's own text) and but for a removal a text's
// length and bytes; then frames: id (an index into a table, or 4 bytes of its own),
// status, format, length and body.
#include "tags/id3v2fields.h"
#include "tags/id3v2patch.h"
#include "tags/id3v2reader.h"
#include "tags/utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Expect(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_id3v2patch: %s\n", what);
    std::abort();
}

class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    Bytes Take(std::size_t n)
    {
        n = std::min(n, m_size - m_at);
        Bytes out(m_data + m_at, m_data + m_at + n);
        m_at += n;
        return out;
    }
    bool Empty() const { return m_at >= m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void Put(Bytes& out, std::uint32_t v, bool synchsafe)
{
    for (int shift = synchsafe ? 21 : 24; shift >= 0; shift -= synchsafe ? 7 : 8)
        out.push_back(static_cast<std::uint8_t>((v >> shift) & (synchsafe ? 0x7F : 0xFF)));
}

std::uint32_t Get(const std::uint8_t* b, bool synchsafe)
{
    return synchsafe ? km::TID3v2Reader::DecodeSynchsafe(b)
                     : (std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | b[3]);
}

Bytes Header(std::uint8_t version, std::uint8_t flags, std::size_t body)
{
    Bytes out {'I', 'D', '3', version, 0, flags};
    Put(out, static_cast<std::uint32_t>(body), true);
    return out;
}

// UTF-8 as the program hands it over: whole characters, no zeros, no surrogates.
std::string Clean(const Bytes& bytes)
{
    const std::string_view in(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const char32_t c = km::NextUtf8(in, i);
        if (c != 0 && (c < 0xD800 || c > 0xDFFF))
            km::AppendUtf8(out, c);
    }
    return out;
}

// The characters of a text; bytes that are no UTF-8 (a frame's own text may
// hold them) count as U+FFFD, as they come back from an encoding that cannot hold them.
std::string Characters(std::string_view in)
{
    std::string out;
    for (std::size_t i = 0; i < in.size();) {
        const char32_t c = km::NextUtf8(in, i);
        km::AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? char32_t(0xFFFD) : c);
    }
    return out;
}

std::string Cased(std::string_view text, bool upper)
{
    std::string out(text);
    for (char& c : out)
        if (upper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z'))
            c = static_cast<char>(c ^ 0x20);
    return out;
}

// The frames, by our own walk; false when they do not fill the tag up to zero padding.
bool Frames(std::span<const std::uint8_t> tag, std::vector<Bytes>& frames, std::size_t& extEnd)
{
    const std::uint8_t version = tag[3];
    const std::size_t end = tag.size() - (version == 4 && (tag[5] & 0x10) ? 10 : 0);
    std::size_t pos = 10;
    if (tag[5] & 0x40)
        pos += version == 3 ? Get(&tag[10], false) + 4 : Get(&tag[10], true);
    if (pos > end)
        return false;
    extEnd = pos;
    while (pos + 10 <= end && tag[pos] != 0) {
        const std::size_t size = Get(&tag[pos + 4], version == 4);
        if (size > end - pos - 10)
            return false;
        frames.emplace_back(tag.begin() + static_cast<std::ptrdiff_t>(pos),
            tag.begin() + static_cast<std::ptrdiff_t>(pos + 10 + size));
        pos += 10 + size;
    }
    return std::all_of(tag.begin() + static_cast<std::ptrdiff_t>(pos), tag.begin() + static_cast<std::ptrdiff_t>(end),
        [](std::uint8_t b) { return b == 0; });
}

km::TID3v2Fields Read(std::span<const std::uint8_t> tag)
{
    return km::ReadID3v2Fields(
        [tag](std::int64_t at, std::uint8_t* dst, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i) {
                const auto k = static_cast<std::size_t>(at) + i;
                dst[i] = k < tag.size() ? tag[k] : 0;
            }
        },
        0, static_cast<std::int64_t>(tag.size()));
}

// What the reader makes of one frame alone as the field's frame.
std::optional<std::string> TextOf(const Bytes& frame, std::uint8_t version, km::TID3v2Field field)
{
    Bytes tag = Header(version, 0, frame.size());
    tag.insert(tag.end(), frame.begin(), frame.end());
    return Read(tag).Texts[field];
}

// The frame ids the window's own decoder finds.
std::vector<std::string> DecodedIds(std::span<const std::uint8_t> tag)
{
    km::TID3v2Reader reader;
    reader.ParseID3v2Tag(tag);
    std::vector<std::string> ids;
    for (const km::TID3Frame& f : reader.Frames)
        ids.push_back(f.FrameID);
    return ids;
}

std::vector<std::string> IdsOf(const std::vector<Bytes>& frames)
{
    std::vector<std::string> ids;
    for (const Bytes& f : frames)
        ids.emplace_back(f.begin(), f.begin() + 4);
    return ids;
}

constexpr const char* kIds[] = {"TIT2", "TPE1", "TALB", "TYER", "TDRC", "COMM", "TRCK", "TCON", "APIC", "TXXX", "PRIV",
    "TIT3"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TInput in(data, size);
    const std::uint8_t kind = in.Byte();
    const std::uint8_t extFlags = in.Byte();
    const std::uint8_t padding = in.Byte();
    const std::uint8_t changing = in.Byte();
    const std::uint8_t version = kind & 1 ? 4 : 3;
    const bool extended = kind & 2, footer = version == 4 && (kind & 4);

    km::TID3v2Changes changes;
    std::array<int, km::kID3v2FieldCount> casing {}; // 0: none, 1 upper, 2 lower
    for (std::size_t k = 0; k < km::kID3v2FieldCount; ++k) {
        if (!(changing & (1u << k)))
            continue;
        const std::uint8_t op = in.Byte() & 3;
        km::TID3v2Change change;
        if (op != 1)
            change.Text = Clean(in.Take(in.Byte()));
        // Case conversion reaches the four texts only.
        if (op >= 2 && k != km::V2Year && k != km::V2Track && k != km::V2Genre) {
            casing[k] = op - 1;
            change.Convert = [upper = op == 2](std::string_view text) { return Cased(text, upper); };
        }
        changes[k] = std::move(change);
    }

    Bytes body;
    if (extended) {
        if (version == 3) {
            Put(body, 6, false);
            body.insert(body.end(), {extFlags, 0, 0, 0, 0, padding});
        } else {
            Put(body, 6, true);
            body.insert(body.end(), {1, extFlags});
        }
    }
    if (kind & 8) {
        const Bytes rest = in.Take(size);
        body.insert(body.end(), rest.begin(), rest.end());
    } else {
        while (!in.Empty()) {
            const std::uint8_t pick = in.Byte();
            const Bytes id = pick < std::size(kIds) ? Bytes(kIds[pick], kIds[pick] + 4) : in.Take(4);
            const std::uint8_t status = in.Byte(), format = in.Byte();
            const Bytes content = in.Take(in.Byte());
            body.insert(body.end(), id.begin(), id.end());
            body.resize(body.size() + 4 - std::min<std::size_t>(4, id.size()), ' ');
            Put(body, static_cast<std::uint32_t>(content.size()), version == 4);
            body.insert(body.end(), {status, format});
            body.insert(body.end(), content.begin(), content.end());
        }
        body.resize(body.size() + padding, 0);
    }
    const std::uint8_t flags = (extended ? 0x40 : 0) | (footer ? 0x10 : 0) | (kind & 0x80);
    Bytes old = Header(version, flags, body.size());
    old.insert(old.end(), body.begin(), body.end());
    if (footer) {
        Bytes foot = Header(version, flags, body.size());
        std::memcpy(foot.data(), "3DI", 3);
        old.insert(old.end(), foot.begin(), foot.end());
    }

    const km::TID3v2Patch patch = km::PatchID3v2Tag(old, changes);
    if (!patch.Refused.empty()) {
        Expect(!patch.Changed, "a refusal with a change");
        return 0;
    }
    const Bytes& now = patch.Tag;
    Expect(patch.Changed == (now != old), "Changed says otherwise");
    Expect(patch.Changed != patch.Undo.Empty(), "a change without undo, or undo without a change");
    if (!patch.Changed)
        return 0;

    // Header and frames.
    std::vector<Bytes> was, is;
    std::size_t oldExtEnd = 0, extEnd = 0;
    Expect(Frames(old, was, oldExtEnd), "a tag taken that our walk cannot read");
    Expect(now.size() >= 10 && std::equal(old.begin(), old.begin() + 6, now.begin()), "another tag header");
    Expect(10 + km::TID3v2Reader::DecodeSynchsafe(&now[6]) + (footer ? 10 : 0) == now.size(), "a wrong tag size");
    Expect(Frames(now, is, extEnd) && extEnd == oldExtEnd, "a new tag our walk cannot read");
    if (footer)
        Expect(now[now.size() - 10] == '3' && std::equal(now.end() - 7, now.end(), now.begin() + 3), "a wrong footer");
    std::size_t needed = extEnd;
    for (const Bytes& f : is)
        needed += f.size();
    if (footer)
        Expect(now.size() == needed + 10, "a footer tag with padding");
    else if (needed <= old.size())
        Expect(now.size() == old.size(), "a tag that fits changed its size");
    else
        Expect(now.size() == needed + km::kID3v2GrowPadding, "grown by other than the padding");

    // Exactly the recorded frames changed; new ones come last, in field order.
    std::vector<std::optional<Bytes>> expected(was.begin(), was.end());
    std::vector<std::string> replaced(was.size());
    std::vector<std::string> added;
    std::array<const km::TID3v2Undo::TFrame*, km::kID3v2FieldCount> record {};
    for (const km::TID3v2Undo::TFrame& r : patch.Undo.Frames) {
        Expect(r.Field < km::kID3v2FieldCount && changes[r.Field] && !record[r.Field], "an undo record for no change");
        record[r.Field] = &r;
        const std::string id(km::ID3v2FieldId(static_cast<km::TID3v2Field>(r.Field), version));
        if (r.Index < 0) {
            Expect(r.NewPresent && r.Old.empty(), "an undo record for nothing");
            added.push_back(id);
            continue;
        }
        const auto i = static_cast<std::size_t>(r.Index);
        Expect(i < was.size() && r.Old == was[i] && IdsOf({was[i]})[0] == id, "an undo record of another frame");
        if (r.Field != km::V2Comment)
            for (std::size_t j = 0; j < i; ++j)
                Expect(IdsOf({was[j]})[0] != id, "not the field's first frame");
        expected[i].reset();
        if (r.NewPresent)
            replaced[i] = id;
    }
    std::size_t at = 0;
    for (std::size_t i = 0; i < was.size(); ++i) {
        if (!expected[i] && replaced[i].empty())
            continue;
        Expect(at < is.size(), "a frame lost");
        if (expected[i])
            Expect(is[at] == *expected[i], "a frame not changed has other bytes or another place");
        else
            Expect(IdsOf({is[at]})[0] == replaced[i], "a replaced frame has another id");
        ++at;
    }
    for (const std::string& id : added) {
        Expect(at < is.size() && IdsOf({is[at]})[0] == id, "an added frame missing");
        ++at;
    }
    Expect(at == is.size(), "frames that were not asked for");

    // The window's decoder walks the new tag as it walked the old one.
    if (version == 4 && DecodedIds(old) == IdsOf(was))
        Expect(DecodedIds(now) == IdsOf(is), "the window's decoder walks the new tag otherwise");

    // Read back: the changed fields as intended, the others as they were.
    const km::TID3v2Fields before = Read(old), after = Read(now);
    for (std::size_t k = 0; k < km::kID3v2FieldCount; ++k) {
        const auto field = static_cast<km::TID3v2Field>(k);
        if (!changes[k]) {
            Expect(after.Texts[k] == before.Texts[k], "a field not changed reads otherwise");
            continue;
        }
        const km::TID3v2Undo::TFrame* r = record[k];
        std::optional<std::string> oldText = !r ? before.Texts[k]
            : r->Index >= 0                     ? std::optional(TextOf(r->Old, version, field).value_or(""))
                                                : std::nullopt;
        std::string want = casing[k] && oldText ? Cased(*oldText, casing[k] == 1) : changes[k]->Text;
        if (field == km::V2Track && !want.empty() && oldText)
            if (const auto slash = oldText->find('/'); slash != std::string::npos)
                want += oldText->substr(slash);
        if (want.empty())
            Expect(r ? !r->NewPresent : !before.Texts[k], "an emptied field's frame stayed");
        else
            Expect(after.Texts[k] && Characters(*after.Texts[k]) == Characters(want),
                "a changed field reads otherwise");
    }

    // Taken back: the old tag, byte for byte.
    const km::TID3v2Patch back = km::RestoreID3v2Tag(now, patch.Undo);
    Expect(back.Refused.empty(), "the patched tag cannot be restored");
    Expect(back.Tag == old, "the restored tag differs from the old one");
    return 0;
}
