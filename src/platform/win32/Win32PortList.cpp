#include "platform/win32/Win32PortList.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace vantrel {
namespace {

// The number of a "COMn" name, or 0 for any other name.
unsigned long ComNumber(const std::string& key)
{
    if (key.size() < 4 || key.size() > 12 || key.compare(0, 3, "COM") != 0) return 0;
    unsigned long n = 0;
    for (size_t i = 3; i < key.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(key[i]))) return 0;
        n = n * 10 + static_cast<unsigned long>(key[i] - '0');
    }
    return n;
}

bool ComesFirst(const SerialPortInfo& a, const SerialPortInfo& b)
{
    const unsigned long na = ComNumber(PortNameKey(a.path));
    const unsigned long nb = ComNumber(PortNameKey(b.path));
    if ((na != 0) != (nb != 0)) return na != 0;
    if (na != nb) return na < nb;
    return a.path < b.path;
}

std::string WithoutPortSuffix(const std::string& friendly, const std::string& key)
{
    const std::string suffix = " (" + key + ")";
    if (friendly.size() > suffix.size() && PortNameKey(friendly.substr(friendly.size() - suffix.size())) == suffix)
        return friendly.substr(0, friendly.size() - suffix.size());
    return friendly;
}

} // namespace

std::string PortNameKey(const std::string& portName)
{
    std::string key = portName;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

std::vector<SerialPortInfo> Win32SerialPortList(const std::vector<SystemSerialPort>& map,
                                                const std::map<std::string, std::string>& friendlyNames)
{
    std::vector<SerialPortInfo> ports;
    std::set<std::string> seen;
    for (const SystemSerialPort& entry : map) {
        const std::string key = PortNameKey(entry.portName);
        if (key.empty() || !seen.insert(key).second) continue;
        SerialPortInfo info;
        info.path = entry.portName;
        const auto friendly = friendlyNames.find(key);
        if (friendly != friendlyNames.end() && !friendly->second.empty())
            info.description = WithoutPortSuffix(friendly->second, key);
        else
            info.description = entry.deviceName;
        ports.push_back(std::move(info));
    }
    std::sort(ports.begin(), ports.end(), ComesFirst);
    return ports;
}

} // namespace vantrel
