#include "model/id3v2reads.h"

#include "model/id3v2compare.h"

#include <cstring>
#include <system_error>

namespace km {

TID3v2Request::TID3v2Request(const TEintragDaten& entry)
    : Path(entry.FullPath())
    , Tag(entry.Tag)
    , FileSize(entry.FileSize)
    , FileTime(entry.FileTime)
{
}

bool TID3v2Request::StillHolds(const TEintragDaten& entry) const
{
    // The path compared in its two pieces: a million rows make no strings for it.
    const std::string& folder = entry.Folder.str();
    return entry.FileSize == FileSize && entry.FileTime == FileTime
        && std::memcmp(&entry.Tag, &Tag, sizeof Tag) == 0 && Path.size() == folder.size() + entry.FileName.size()
        && Path.compare(0, folder.size(), folder) == 0 && Path.compare(folder.size(), std::string::npos, entry.FileName) == 0;
}

TID3v2Finding ReadID3v2Finding(TID3v2Reader& reader, const TID3v2Request& request)
{
    TID3v2Finding finding;
    reader.FileName = request.Path;
    reader.ReadFields = true;
    try {
        reader.ReadTags();
    } catch (const TFileError&) {
        finding.State = TID3v2Finding::Failed;
        return finding;
    }
    if (!reader.FileExists) {
        finding.State = TID3v2Finding::Gone;
        return finding;
    }
    finding.State = TID3v2Finding::Read;
    finding.Version = reader.ID3v2Fields.Version;
    finding.Differs = ID3v2Differences(reader.ID3v2Fields, request.Tag);
    return finding;
}

bool ApplyID3v2Finding(const TID3v2Request& request, const TID3v2Finding& finding, TEintragDaten& entry)
{
    if (finding.State != TID3v2Finding::Read || !request.StillHolds(entry))
        return false;
    entry.ID3v2Known = true;
    entry.ID3v2Version = finding.Version;
    entry.ID3v2Differs = finding.Differs;
    return true;
}

TID3v2Reads::TID3v2Reads(
    std::vector<TID3v2Request> requests, TFileLayer& layer, int workers, std::function<void()> wake)
    : m_requests(std::move(requests))
    , m_layer(layer)
    , m_wake(std::move(wake))
    , m_findings(std::make_unique<TID3v2Finding[]>(m_requests.size()))
    , m_done(std::make_unique<std::atomic<bool>[]>(m_requests.size()))
{
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(workers, 0)), m_requests.size());
    m_threads.reserve(count);
    try {
        for (std::size_t k = 0; k < count; ++k) {
            ++m_running;
            try {
                m_threads.emplace_back(&TID3v2Reads::Work, this);
            } catch (...) {
                --m_running;
                throw;
            }
        }
    } catch (const std::system_error&) {
        // Fewer threads still read; none, and the caller reads.
    }
}

TID3v2Reads::~TID3v2Reads()
{
    m_stop = true;
    for (std::thread& thread : m_threads)
        thread.join();
}

void TID3v2Reads::Work()
{
    // A wake per finding would cost the caller a turn of its loop each.
    constexpr std::size_t kWakeEvery = 64;
    struct TEnd {
        TID3v2Reads& Reads;
        ~TEnd()
        {
            if (Reads.m_running.fetch_sub(1) == 1 && Reads.m_stop && Reads.m_wake)
                Reads.m_wake();
        }
    } end {*this};
    TID3v2Reader reader(m_layer);
    SetUpListReader(reader);
    while (!m_stop.load(std::memory_order_relaxed)) {
        const std::size_t k = m_next.fetch_add(1, std::memory_order_relaxed);
        if (k >= m_requests.size())
            return;
        m_findings[k] = ReadID3v2Finding(reader, m_requests[k]);
        m_done[k].store(true, std::memory_order_release);
        const std::size_t finished = m_finished.fetch_add(1, std::memory_order_acq_rel) + 1;
        if (m_wake && (finished % kWakeEvery == 0 || finished == m_requests.size()))
            m_wake();
    }
}

TID3v2Finding TID3v2Reads::TryGet(std::size_t k)
{
    if (m_threads.empty()) {
        TID3v2Reader reader(m_layer);
        SetUpListReader(reader);
        return ReadID3v2Finding(reader, m_requests[k]);
    }
    if (!m_done[k].load(std::memory_order_acquire))
        return {};
    return m_findings[k];
}

} // namespace km
