// A file layer over the real one that counts every call by kind, fails the
// chosen ones and lets a test act just before a call.
#pragma once

#include "platform/fileops.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace km::test {

enum class TCall {
    Open, Close, Stat, StatLink, Read, Write, Truncate, Times, Rename, Replace, Remove, Sync, Trash, Attributes,
    Resolve, Count
};

inline const char* CallName(TCall c)
{
    static const char* const names[] = {"open", "close", "stat", "statlink", "read", "write", "truncate", "times",
        "rename", "replace", "remove", "sync", "trash", "attributes", "resolve"};
    return names[static_cast<int>(c)];
}

// The nth call of a kind (from 1) fails with -err; `Half` writes half of it first.
struct TFault {
    TCall Call;
    int Nth;
    int Err;
    bool Half = false;
};

class TFaultLayer : public TFileOpsLayer {
public:
    TFaultLayer() = default;
    explicit TFaultLayer(std::vector<TFault> faults) : Faults(std::move(faults)) {}

    std::vector<TFault> Faults;
    std::vector<std::pair<TCall, int>> Log; // every call with its number within its kind
    // Renames between two folders fail with EXDEV, as between two file systems.
    bool OtherDevice = false;
    std::string TrashFolder; // where a successful MoveToTrash puts the file
    // Runs before each call, with the call's path (empty for descriptor calls).
    std::function<void(TCall, const std::string&)> Before;
    // A descriptor that had changed its file failed to close.
    bool FailedCloseOfAWrite = false;

    int Open(const std::string& path, int flags) override
    {
        return Or(TCall::Open, path, [&] { return TFileOpsLayer::Open(path, flags); });
    }
    int Close(int fd) override
    {
        const TFault* f = Hit(TCall::Close, {});
        const bool changed = m_changed.erase(fd) > 0;
        FailedCloseOfAWrite = FailedCloseOfAWrite || (f && changed);
        const int r = TFileOpsLayer::Close(fd); // a failing close still releases the descriptor
        return f ? -f->Err : r;
    }
    int Stat(int fd, TFileInformation& info) override
    {
        return Or(TCall::Stat, {}, [&] { return TFileOpsLayer::Stat(fd, info); });
    }
    int StatLink(const std::string& path, TFileInformation& info) override
    {
        return Or(TCall::StatLink, path, [&] { return TFileOpsLayer::StatLink(path, info); });
    }
    long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off) override
    {
        return Or(TCall::Read, {}, [&] { return TFileOpsLayer::ReadAt(fd, buf, n, off); });
    }
    long long WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        const TFault* f = Hit(TCall::Write, {});
        if (f && f->Half && n > 1)
            TFileOpsLayer::WriteAt(fd, buf, n / 2, off);
        return f ? -f->Err : Changed(fd, TFileOpsLayer::WriteAt(fd, buf, n, off));
    }
    int Truncate(int fd, std::int64_t size) override
    {
        return Or(TCall::Truncate, {},
            [&] { return static_cast<int>(Changed(fd, TFileOpsLayer::Truncate(fd, size))); });
    }
    int SetTimes(int fd, TFileTime access, TFileTime write) override
    {
        return Or(TCall::Times, {}, [&] { return TFileOpsLayer::SetTimes(fd, access, write); });
    }
    int RenameNoReplace(const std::string& from, const std::string& to) override
    {
        return Or(TCall::Rename, to,
            [&] { return Across(from, to) ? -EXDEV : TFileOpsLayer::RenameNoReplace(from, to); });
    }
    int RenameReplacing(const std::string& from, const std::string& to) override
    {
        return Or(TCall::Replace, to,
            [&] { return Across(from, to) ? -EXDEV : TFileOpsLayer::RenameReplacing(from, to); });
    }
    int Remove(const std::string& path) override
    {
        return Or(TCall::Remove, path, [&] { return TFileOpsLayer::Remove(path); });
    }
    int Sync(int fd) override
    {
        return Or(TCall::Sync, {}, [&] { return TFileOpsLayer::Sync(fd); });
    }
    int CopyAttributes(int from, int to) override
    {
        return Or(TCall::Attributes, {}, [&] { return TFileOpsLayer::CopyAttributes(from, to); });
    }
    int ResolvePath(const std::string& path, std::string& resolved) override
    {
        return Or(TCall::Resolve, path, [&] { return TFileOpsLayer::ResolvePath(path, resolved); });
    }
    bool MoveToTrash(const std::string& path) override
    {
        // Never the user's real trash.
        if (Hit(TCall::Trash, path) || TrashFolder.empty())
            return false;
        std::error_code ec;
        std::filesystem::rename(path, TrashFolder + "/" + std::filesystem::path(path).filename().string(), ec);
        return !ec;
    }

private:
    template <typename F> auto Or(TCall call, const std::string& path, F real) -> decltype(real())
    {
        const TFault* f = Hit(call, path);
        return f ? -f->Err : real();
    }
    bool Across(const std::string& from, const std::string& to) const
    {
        return OtherDevice && std::filesystem::path(from).parent_path() != std::filesystem::path(to).parent_path();
    }
    long long Changed(int fd, long long result)
    {
        if (result >= 0)
            m_changed.insert(fd);
        return result;
    }
    const TFault* Hit(TCall call, const std::string& path)
    {
        const int n = ++m_counts[static_cast<std::size_t>(call)];
        Log.emplace_back(call, n);
        if (Before)
            Before(call, path);
        const auto f = std::find_if(Faults.begin(), Faults.end(),
            [&](const TFault& fault) { return fault.Call == call && fault.Nth == n; });
        return f == Faults.end() ? nullptr : &*f;
    }

    std::array<int, static_cast<std::size_t>(TCall::Count)> m_counts {};
    std::set<int> m_changed;
};

} // namespace km::test
