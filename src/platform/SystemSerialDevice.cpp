#include "platform/SystemSerialDevice.h"

#ifdef _WIN32
#include "platform/win32/Win32SerialDevice.h"
#else
#include "platform/posix/PosixSerialDevice.h"
#endif

namespace vantrel {

std::unique_ptr<SerialDevice> MakeSystemSerialDevice(const std::string& target)
{
#ifdef _WIN32
    return MakeWin32SerialDevice(target);
#else
    return MakePosixSerialDevice(target);
#endif
}

} // namespace vantrel
