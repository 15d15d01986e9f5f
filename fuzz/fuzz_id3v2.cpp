// ParseID3v2Tag on the input as one whole tag, header first.
#include "tags/id3v2reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

void Expect(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_id3v2: %s\n", what);
    std::abort();
}

bool IsFrameIdByte(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int beeps = 0;
    km::SetBeepHandler([&beeps] { ++beeps; });
    km::TID3v2Reader reader;
    const std::span<const std::uint8_t> tag(data, size);
    reader.ParseID3v2Tag(tag);
    km::SetBeepHandler({});

    Expect(beeps <= 1, "more than one beep for one tag");
    Expect(reader.Frames.size() <= size / 10, "more frames than headers fit");
    std::size_t stored = 0;
    for (const km::TID3Frame& f : reader.Frames) {
        Expect(f.FrameID.size() == 4 && std::all_of(f.FrameID.begin(), f.FrameID.end(), IsFrameIdByte),
            "a frame identifier that is none");
        // Only an inflated body may be larger than its bytes in the tag.
        if (!f.Compression || !f.DataLengthIndicator)
            stored += f.Data.size();
    }
    Expect(stored <= size, "frame bodies larger than the tag");

    // The same bytes once more append the same frames.
    const std::size_t count = reader.Frames.size();
    reader.ParseID3v2Tag(tag);
    Expect(reader.Frames.size() == 2 * count, "a second parse found other frames");
    for (std::size_t i = 0; i < count; ++i) {
        const km::TID3Frame& a = reader.Frames[i];
        const km::TID3Frame& b = reader.Frames[count + i];
        Expect(a.FrameID == b.FrameID && a.GroupID == b.GroupID && a.Compression == b.Compression
                && a.DataLengthIndicator == b.DataLengthIndicator && a.Unsynchronisation == b.Unsynchronisation,
            "a second parse found other frame headers");
        // The inflate budget may run out in between; everything else repeats.
        if (!a.Compression || !a.DataLengthIndicator)
            Expect(a.Data == b.Data, "a second parse found other frame bodies");
    }
    return 0;
}
