#include "platform/posix/SerialPortList.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

// A serial-core port that no UART answered reports type 0 (unknown). The
// legacy ttyS0 … ttyS31 all exist in the tree; only these have hardware.
bool IsPhantomUart(const fs::path& entry)
{
    std::error_code ec;
    const fs::path type = entry / "type";
    if (!fs::exists(type, ec)) return false;
    return FirstLine(type) == "0";
}

// The USB product string lives a few levels above the tty's device.
std::string ProductName(const fs::path& entry)
{
    std::error_code ec;
    fs::path dir = fs::canonical(entry / "device", ec);
    if (ec) return {};
    for (int up = 0; up < 4 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
        const fs::path product = dir / "product";
        if (fs::is_regular_file(product, ec)) return FirstLine(product);
    }
    return {};
}

// The driver that runs the port. Since Linux 6.5 a tty's device is a port of
// the "serial-base" bus, whose generic port and controller drivers say nothing;
// the UART or USB driver sits above them.
std::string DriverName(const fs::path& entry)
{
    std::error_code ec;
    fs::path dir = fs::canonical(entry / "device", ec);
    if (ec) return {};
    std::string fallback;
    for (int up = 0; up < 4 && !dir.empty() && dir != dir.root_path(); ++up, dir = dir.parent_path()) {
        std::error_code linkEc;
        const fs::path driver = fs::read_symlink(dir / "driver", linkEc);
        if (linkEc) continue;
        const std::string name = driver.filename().string();
        if (driver.parent_path().parent_path().filename() != "serial-base") return name;
        if (fallback.empty()) fallback = name;
    }
    return fallback;
}

// /dev/serial/by-id names each USB adapter by vendor, product and serial
// number, which survives replugging in another socket.
std::map<std::string, std::string> ByIdLinks(const std::string& byIdDir)
{
    std::map<std::string, std::string> links; // device file name → by-id path
    std::error_code ec;
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        fs::path target = fs::read_symlink(it->path(), linkEc);
        if (linkEc) continue;
        if (target.is_relative()) target = it->path().parent_path() / target;
        links.emplace(target.lexically_normal().filename().string(), it->path().string());
    }
    return links;
}

// ttyS2 before ttyS10: compare the name's stem, then its number.
std::tuple<std::string, unsigned long, std::string> SortKey(const std::string& name)
{
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])))
        --digits;
    const std::string number = name.substr(digits);
    const unsigned long value = number.empty() || number.size() > 9 ? 0 : std::stoul(number);
    return {name.substr(0, digits), value, name};
}

} // namespace

std::vector<SerialPortInfo> ListSerialPortsUnder(const std::string& sysClassTty, const std::string& devDir,
                                                 const std::string& byIdDir)
{
    const std::map<std::string, std::string> byId = ByIdLinks(byIdDir);
    std::vector<std::pair<std::string, SerialPortInfo>> found;
    std::error_code ec;
    for (fs::directory_iterator it(sysClassTty, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        std::error_code driverEc;
        // Virtual terminals, the console and pseudo-terminals have no driver link.
        if (!fs::is_symlink(entry / "device" / "driver", driverEc) || IsPhantomUart(entry)) continue;

        SerialPortInfo info;
        info.path = (fs::path(devDir) / name).string();
        const std::string driverName = DriverName(entry);
        const std::string product = ProductName(entry);
        info.description = product.empty() ? driverName : product + " (" + driverName + ")";
        if (auto link = byId.find(name); link != byId.end()) info.byIdPath = link->second;
        found.emplace_back(name, std::move(info));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return SortKey(a.first) < SortKey(b.first); });
    std::vector<SerialPortInfo> ports;
    ports.reserve(found.size());
    for (auto& [name, info] : found)
        ports.push_back(std::move(info));
    return ports;
}

std::vector<SerialPortInfo> ListSerialPorts()
{
    return ListSerialPortsUnder("/sys/class/tty", "/dev", "/dev/serial/by-id");
}

} // namespace vantrel
