#pragma once

#include "model/entry.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace km {

// Reads the entries of a list ahead on worker threads while the caller takes
// them in list order. On a cold page cache the disk then has several requests
// at a time instead of one; warm, the reading leaves the caller's thread.
//
// Each worker reads with its own copy of the caller's reader, so through the
// same TFileLayer, which must then be safe to use from several threads.
// A worker never touches an entry once it is taken, nor any entry after the
// destructor returns; the entries must outlive the object.
class TReadAhead {
public:
    // How far the workers may run ahead of the caller: a cancel or an error
    // wastes at most this many reads.
    static constexpr std::size_t kWindow = 256;

    // The caller is woken for this many entries at a time, not for each one:
    // a hand-over costs a wake-up of a thread.
    static constexpr std::size_t kBatch = 64;

    // With no workers, Next reads each entry on the calling thread. `wake`,
    // when given, is called from a worker after TryNext found nothing, once
    // a batch is ready: a caller that must not block waits for it elsewhere.
    TReadAhead(const TEntryList& entries, TID3v2Reader& reader, int workers, std::size_t window = kWindow,
        std::function<void()> wake = {});
    // Stops the workers and waits for the reads under way.
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // The next entry in list order, read. Throws what reading it threw (a
    // TFileError for a file that cannot be read), at that entry's turn only.
    // Not to be called again after a throw or past the end of the list.
    TEintragDaten& Next();
    // The same without waiting: nullptr while the next entry is not read yet
    // (with no workers it reads it, as Next does).
    TEintragDaten* TryNext();

    int Workers() const { return static_cast<int>(m_threads.size()); }

    // Asks the workers to stop after the file each reads now, without waiting
    // for them: one may hang on a share gone away. Each calls the wake as it ends.
    void RequestStop();
    // No worker runs any more: the destructor will not wait.
    bool Stopped() const { return m_running.load() == 0; }

private:
    enum : std::uint8_t { kPending, kRead, kFailed };

    void Work(TID3v2Reader& reader);
    void Publish(std::size_t k, std::uint8_t state);
    void Stop();
    // Whether entry k may be handed over now; its state in `state`.
    bool Ready(std::size_t k, std::size_t target, std::uint8_t& state) const;
    // Entries from `from` up to `target` (or the end) are all read or failed.
    bool BatchRead(std::size_t from, std::size_t target) const;
    TEintragDaten& Take(std::size_t k, std::uint8_t state);
    // The workers never run further ahead than the window.
    std::size_t Batch() const { return std::min(kBatch, m_window); }

    std::vector<TEintragDaten*> m_items; // the list as it was: no worker looks at the caller's vector
    TID3v2Reader& m_reader;
    std::vector<TID3v2Reader> m_readers; // one per worker
    const std::size_t m_window;

    // Set once per entry by the worker that read it; the caller looks
    // without the lock and takes it only to wait.
    std::unique_ptr<std::atomic<std::uint8_t>[]> m_state;
    std::atomic<std::size_t> m_taken {0};     // written by the caller only
    std::atomic<std::size_t> m_claimed {0};   // written under m_mutex only
    std::atomic<bool> m_roomSignalled {false}; // idle workers were woken and have not waited since
    // The caller waits for the entries from m_waitFor up to m_target;
    // kNoTarget when it does not wait. The worker that fulfils it wakes it.
    static constexpr std::size_t kNoTarget = SIZE_MAX;
    std::atomic<std::size_t> m_target {kNoTarget};
    std::atomic<std::size_t> m_waitFor {0};
    std::atomic<int> m_idle {0};              // workers waiting for room
    std::atomic<bool> m_stop {false};         // written under m_mutex only
    std::atomic<std::size_t> m_endSeen {0};   // m_end, for the caller's look without the lock
    std::function<void()> m_wake;
    std::atomic<int> m_running {0};           // workers not ended yet

    std::mutex m_mutex;
    std::condition_variable m_readyCv; // the caller, for its entry
    std::condition_variable m_roomCv;  // the workers, for room in the window
    // Under m_mutex:
    std::size_t m_end = 0;             // no claims from here on
    std::size_t m_failedAt = SIZE_MAX;
    std::exception_ptr m_error;

    std::vector<std::thread> m_threads; // last: started when everything above stands
};

// The workers a scan reads its files with: the default, or as many as
// KLANGMAPPE_READERS says threads should read (for measuring; 1 leaves the
// reading to the caller).
int ScanWorkers();

} // namespace km
