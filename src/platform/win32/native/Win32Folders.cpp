// windows.h first: the headers after it need its types.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "platform/SystemFolders.h"
#include "platform/win32/native/WideText.h"

namespace vantrel {

std::string RunningExecutablePath()
{
    // Long paths exceed MAX_PATH; the buffer grows until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return Utf8FromWide(path.data(), length);
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::string DefaultUserDataFolder()
{
    PWSTR folder = nullptr;
    std::string result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder)) && folder) {
        result = Utf8FromWide(std::wstring(folder));
        if (!result.empty()) result += "\\Vantrel\\";
    }
    CoTaskMemFree(folder);
    return result;
}

} // namespace vantrel
