// windows.h first: the headers after it need its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "platform/Console.h"
#include "platform/win32/native/WideText.h"

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace vantrel {

std::vector<std::string> PrepareConsole(int argc, char** argv)
{
    SetConsoleOutputCP(CP_UTF8);
    for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        const HANDLE handle = GetStdHandle(which);
        DWORD mode = 0;
        // Only a console has a mode; a pipe or a file takes the bytes as they are.
        if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode))
            SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }

    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(std::wstring(wide[i])));
    LocalFree(wide);
    return arguments;
}

} // namespace vantrel
