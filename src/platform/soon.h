#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace km {

// How long the window waits for a disk before it goes on without the answer
// (a folder or file on a share that does not answer).
std::chrono::milliseconds QuickWait();
// Tests on a loaded machine wait longer, so that local disks always answer in time.
void SetQuickWait(std::chrono::milliseconds wait);

// A value looked up on a thread of its own, which the asker waits for a while
// and may look at again later. The thread ends whenever the lookup returns,
// even after the asker is gone: what it uses must live as long as the program.
template <typename T>
class TSoon {
public:
    template <typename Look>
    explicit TSoon(Look look)
        : m_answer(std::make_shared<TAnswer>())
    {
        try {
            std::thread([answer = m_answer, look = std::move(look)]() mutable {
                T value = look();
                {
                    const std::lock_guard lock(answer->Mutex);
                    answer->Value = std::move(value);
                }
                answer->Done.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            m_answer->Value = look(); // no thread to be had: asked here
        }
    }

    // The value, once it came within `wait`.
    std::optional<T> Wait(std::chrono::milliseconds wait) const
    {
        std::unique_lock lock(m_answer->Mutex);
        m_answer->Done.wait_for(lock, wait, [&] { return m_answer->Value.has_value(); });
        return m_answer->Value;
    }
    std::optional<T> Now() const { return Wait(std::chrono::milliseconds(0)); }

private:
    struct TAnswer {
        std::mutex Mutex;
        std::condition_variable Done;
        std::optional<T> Value;
    };
    std::shared_ptr<TAnswer> m_answer;
};

} // namespace km
