#pragma once

#include <functional>

namespace km {

// Base of the small value objects that can be assigned from one another.
class TPersistent {
public:
    virtual ~TPersistent() = default;
};

// The tag layer knows no window: whoever embeds it decides what a beep is.
void SetBeepHandler(std::function<void()> handler);
void SoundBeep();

} // namespace km
