#pragma once

#include "model/entry.h"
#include "tags/fileio.h"
#include "tags/id3v1tag.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace km {

// An entry as it stood when the read of its ID3v2 tag was asked for. The
// finding holds for the entry only while it still stands so: a write
// meanwhile (of the block, or of the file) makes it stale.
struct TID3v2Request {
    explicit TID3v2Request(const TEintragDaten& entry);
    bool StillHolds(const TEintragDaten& entry) const;

    std::string Path;
    TID3v1Tag Tag;
    std::int64_t FileSize;
    TFileTime FileTime;
};

// What the read found, compared with the request's block.
struct TID3v2Finding {
    enum : std::uint8_t { Pending, Gone, Failed, Read };
    std::uint8_t State = Pending;
    std::uint8_t Version = 0;
    std::uint8_t Differs = 0;
};

// Reads one request's tag on the calling thread.
TID3v2Finding ReadID3v2Finding(TID3v2Reader& reader, const TID3v2Request& request);

// Puts a finding into the entry it was asked for. False when the entry
// changed since (the caller asks again) or the file could not be read.
bool ApplyID3v2Finding(const TID3v2Request& request, const TID3v2Finding& finding, TEintragDaten& entry);

// Reads the ID3v2 tags of a list's files on worker threads for a caller that
// must not wait on a disk. The workers see only the requests, never an entry:
// the entries stay the caller's to edit meanwhile.
class TID3v2Reads {
public:
    // With no workers, TryGet reads on the calling thread. `wake`, when given,
    // is called from a worker every few findings and after the last one.
    TID3v2Reads(std::vector<TID3v2Request> requests, TFileLayer& layer, int workers, std::function<void()> wake = {});
    // Stops the workers and waits for the reads under way.
    ~TID3v2Reads();
    TID3v2Reads(const TID3v2Reads&) = delete;
    TID3v2Reads& operator=(const TID3v2Reads&) = delete;

    std::size_t Size() const { return m_requests.size(); }
    const TID3v2Request& Request(std::size_t k) const { return m_requests[k]; }
    // Request k's finding; Pending while a worker has not read it yet.
    TID3v2Finding TryGet(std::size_t k);
    // Asks the workers to stop after the file each reads now, without waiting
    // for them; the last to end calls the wake.
    void RequestStop() { m_stop = true; }
    bool Stopped() const { return m_running.load() == 0; }

private:
    void Work();

    const std::vector<TID3v2Request> m_requests;
    TFileLayer& m_layer;
    std::function<void()> m_wake;
    std::unique_ptr<TID3v2Finding[]> m_findings;
    std::unique_ptr<std::atomic<bool>[]> m_done; // finding k is written
    std::atomic<std::size_t> m_next {0};
    std::atomic<std::size_t> m_finished {0};
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_running {0};
    std::vector<std::thread> m_threads; // last: started when everything above stands
};

} // namespace km
