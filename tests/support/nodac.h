// Lets a folder of mode 000 be unreadable to this process even when the tests
// run as root: the capabilities that pass over permissions are switched off
// while an object of this class lives.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace km::test {

class TWithoutDacOverride {
public:
    TWithoutDacOverride()
    {
        m_ok = ::syscall(SYS_capget, &m_header, m_saved) == 0;
        if (!m_ok)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        __user_cap_header_struct header = m_header;
        m_ok = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~TWithoutDacOverride()
    {
        if (m_ok)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    TWithoutDacOverride(const TWithoutDacOverride&) = delete;
    TWithoutDacOverride& operator=(const TWithoutDacOverride&) = delete;

private:
    __user_cap_header_struct m_header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_ok = false;
};

} // namespace km::test
