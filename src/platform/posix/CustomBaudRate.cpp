#include "platform/posix/CustomBaudRate.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace vantrel {

#if defined(__linux__)

bool SetCustomBaudRate(int fd, uint32_t rate)
{
    if (rate == 0) return false;
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &tio) != 0) return false;
    // The driver writes back the rate it could actually set.
    uint32_t actual = 0;
    if (!GetCustomBaudRate(fd, actual)) return false;
    const uint64_t diff = actual > rate ? actual - rate : rate - actual;
    return diff * 100 <= static_cast<uint64_t>(rate) * 3;
}

bool GetCustomBaudRate(int fd, uint32_t& rate)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    rate = tio.c_ospeed;
    return true;
}

#else

bool SetCustomBaudRate(int, uint32_t)
{
    return false;
}
bool GetCustomBaudRate(int, uint32_t&)
{
    return false;
}

#endif

} // namespace vantrel
