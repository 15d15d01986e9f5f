// A layer whose open of one file or folder hangs until released, as a share
// gone away would.
#pragma once

#include "tags/fileio.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace km::test {

class TStalledFile : public TFileLayer {
public:
    std::string stalled;       // a file whose open hangs
    std::string stalledFolder; // a folder whose open from its parent hangs
    std::atomic<bool> reached {false};
    std::atomic<bool> released {false};
    bool ManyThreads() const override { return true; }
    int Open(const std::string& path, int flags) override
    {
        if (path == stalled)
            Stall();
        return TFileLayer::Open(path, flags);
    }
    int OpenAt(int dirFd, const std::string& name, int flags) override
    {
        if (name == stalledFolder)
            Stall();
        return TFileLayer::OpenAt(dirFd, name, flags);
    }

private:
    void Stall()
    {
        reached = true;
        while (!released)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

} // namespace km::test
