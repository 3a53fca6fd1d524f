#include "platform/Console.h"

// Windows has its own in platform/win32/native.
#if !defined(_WIN32)

namespace vantrel {

std::vector<std::string> PrepareConsole(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace vantrel

#endif
