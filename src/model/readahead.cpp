#include "model/readahead.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <system_error>

namespace km {

namespace {
// Cold, four reads at a time list 20,000 files in half the time one takes;
// eight gain a little more there but nothing warm, where they compete with
// the window for the cores (bench/run, "cold scan by readers").
constexpr int kDefaultWorkers = 4;
constexpr int kMostWorkers = 64;
} // namespace

int ScanWorkers()
{
    const char* text = std::getenv("KLANGMAPPE_READERS");
    if (!text || !*text)
        return kDefaultWorkers;
    char* end = nullptr;
    const long readers = std::strtol(text, &end, 10);
    if (*end != '\0' || readers < 0)
        return kDefaultWorkers;
    return readers < 2 ? 0 : static_cast<int>(std::min<long>(readers, kMostWorkers));
}

TReadAhead::TReadAhead(
    const TEntryList& entries, TID3v2Reader& reader, int workers, std::size_t window, std::function<void()> wake)
    : m_reader(reader)
    , m_window(std::max<std::size_t>(window, 1))
    , m_wake(std::move(wake))
{
    m_items.reserve(entries.size());
    for (const auto& entry : entries)
        m_items.push_back(entry.get());
    m_end = m_items.size();
    m_endSeen = m_end;
    // More workers than entries would only wait.
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(workers, 0)), m_items.size());
    if (count == 0)
        return;
    m_state = std::make_unique<std::atomic<std::uint8_t>[]>(m_items.size());
    m_readers.assign(count, reader);
    for (TID3v2Reader& own : m_readers) {
        SetUpListReader(own);
        own.ReadFields = reader.ReadFields;
    }
    m_threads.reserve(count);
    try {
        for (TID3v2Reader& own : m_readers) {
            ++m_running;
            try {
                m_threads.emplace_back(&TReadAhead::Work, this, std::ref(own));
            } catch (...) {
                --m_running;
                throw;
            }
        }
    } catch (...) {
        // Fewer threads than asked still read ahead; none, and the caller reads.
    }
}

TReadAhead::~TReadAhead() { Stop(); }

void TReadAhead::RequestStop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_roomCv.notify_all();
}

void TReadAhead::Stop()
{
    RequestStop();
    for (std::thread& thread : m_threads)
        thread.join();
}

bool TReadAhead::Ready(std::size_t k, std::size_t target, std::uint8_t& state) const
{
    state = m_state[k].load(std::memory_order_seq_cst);
    return state == kFailed || (state == kRead && BatchRead(k, target));
}

bool TReadAhead::BatchRead(std::size_t from, std::size_t target) const
{
    const std::size_t end = std::min(target, m_endSeen.load());
    for (std::size_t k = from; k < end; ++k)
        if (m_state[k].load(std::memory_order_seq_cst) == kPending)
            return false;
    return true;
}

TEintragDaten& TReadAhead::Next()
{
    const std::size_t k = m_taken.load(std::memory_order_relaxed);
    if (m_threads.empty()) {
        TEintragDaten& entry = *m_items[k];
        ReadEntry(m_reader, entry.FullPath(), entry);
        m_taken.store(k + 1, std::memory_order_relaxed);
        return entry;
    }
    std::uint8_t state = m_state[k].load(std::memory_order_acquire);
    if (state == kPending) {
        // Waiting anyway: for a batch, so the next entries need no wake-up each.
        std::unique_lock lock(m_mutex);
        const std::size_t target = k + Batch();
        m_waitFor.store(k, std::memory_order_seq_cst);
        m_target.store(target, std::memory_order_seq_cst);
        m_readyCv.wait(lock, [&] { return Ready(k, target, state); });
        m_target.store(kNoTarget, std::memory_order_seq_cst);
    }
    return Take(k, state);
}

TEintragDaten* TReadAhead::TryNext()
{
    const std::size_t k = m_taken.load(std::memory_order_relaxed);
    if (m_threads.empty())
        return &Next();
    std::uint8_t state = m_state[k].load(std::memory_order_acquire);
    if (state != kPending)
        return &Take(k, state);
    // Asked to be woken first, then looked again: a worker that finished in
    // between either sees the request or is seen here.
    const std::size_t target = k + Batch();
    m_waitFor.store(k, std::memory_order_seq_cst);
    m_target.store(target, std::memory_order_seq_cst);
    if (!Ready(k, target, state))
        return nullptr;
    m_target.store(kNoTarget, std::memory_order_seq_cst); // a wake already sent does no harm
    return &Take(k, state);
}

TEintragDaten& TReadAhead::Take(std::size_t k, std::uint8_t state)
{
    if (state == kFailed) {
        std::unique_lock lock(m_mutex);
        m_stop = true;
        const std::exception_ptr error = m_error;
        lock.unlock();
        m_roomCv.notify_all();
        std::rethrow_exception(error);
    }
    // The same store-then-load pairing with the workers' ++m_idle and their wait.
    m_taken.store(k + 1, std::memory_order_seq_cst);
    // Idle workers wake for half the window at a time, not for each entry.
    if (m_idle.load(std::memory_order_seq_cst) > 0 && m_claimed + m_window / 2 < k + 1 + m_window
        && !m_roomSignalled.exchange(true)) {
        std::lock_guard lock(m_mutex);
        m_roomCv.notify_all();
    }
    return *m_items[k];
}

void TReadAhead::Publish(std::size_t k, std::uint8_t state)
{
    m_state[k].store(state, std::memory_order_seq_cst);
    // Store then load here, store then load in Next and TryNext: both sequentially
    // consistent, so one side always sees the other and no wake-up is lost.
    const std::size_t target = m_target.load(std::memory_order_seq_cst);
    if (target == kNoTarget)
        return;
    // The caller's entry and the entries behind it up to the target, all done
    // (a failed entry ends the list).
    const std::size_t from = m_waitFor.load(std::memory_order_seq_cst);
    if (k < from || k >= target || !BatchRead(from, target))
        return;
    // One worker wakes the caller.
    std::size_t expected = target;
    if (!m_target.compare_exchange_strong(expected, kNoTarget))
        return;
    if (m_wake) {
        m_wake();
    } else {
        std::lock_guard lock(m_mutex);
        m_readyCv.notify_one();
    }
}

void TReadAhead::Work(TID3v2Reader& reader)
{
    // Entries per claim: the lock is taken once for them.
    constexpr std::size_t kClaim = 16;
    // The last worker to end tells a caller that waits for that.
    struct TEnd {
        TReadAhead& Ahead;
        ~TEnd()
        {
            if (Ahead.m_running.fetch_sub(1) == 1 && Ahead.m_stop && Ahead.m_wake)
                Ahead.m_wake();
        }
    } end {*this};
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_stop && m_claimed < m_end && m_claimed >= m_taken + m_window) {
            ++m_idle;
            m_roomSignalled = false;
            m_roomCv.wait(lock, [&] { return m_stop || m_claimed >= m_end || m_claimed + m_window / 2 < m_taken + m_window; });
            --m_idle;
        }
        if (m_stop || m_claimed >= m_end)
            return;
        const std::size_t first = m_claimed;
        const std::size_t last = std::min({first + kClaim, m_end, m_taken + m_window});
        m_claimed = last;
        lock.unlock();
        // A cancel waits for one file per worker, not for a whole claim.
        for (std::size_t k = first; k < last && !m_stop; ++k) {
            try {
                ReadEntry(reader, m_items[k]->FullPath(), *m_items[k]);
            } catch (...) {
                lock.lock();
                if (k < m_failedAt) {
                    m_failedAt = k;
                    m_error = std::current_exception();
                }
                // Entries after a failed one are never shown: claim no more.
                m_end = std::min(m_end, k + 1);
                m_endSeen = m_end;
                lock.unlock();
                Publish(k, kFailed);
                break;
            }
            Publish(k, kRead);
        }
        lock.lock();
    }
}

} // namespace km
