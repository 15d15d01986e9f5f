#include "persistent.h"

#include <utility>

namespace km {

namespace {
std::function<void()>& BeepHandler()
{
    static std::function<void()> handler;
    return handler;
}
} // namespace

void SetBeepHandler(std::function<void()> handler) { BeepHandler() = std::move(handler); }

void SoundBeep()
{
    if (auto& handler = BeepHandler())
        handler();
}

} // namespace km
