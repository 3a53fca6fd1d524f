#include "platform/posix/SerialPortList.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// A made-up /sys/class/tty and /dev laid out the way the kernel and udev do.
class FakeMachine {
public:
    FakeMachine()
    {
        char base[] = "/tmp/vantrel-sysfs-XXXXXX";
        root = mkdtemp(base);
        fs::create_directories(root / "class/tty");
        fs::create_directories(root / "dev/serial/by-id");
    }
    ~FakeMachine()
    {
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    // Binds the device at deviceDir to a driver ("bus/name").
    void Bind(const std::string& deviceDir, const std::string& driver)
    {
        const fs::path device = root / "devices" / deviceDir;
        const fs::path bus = fs::path(driver).parent_path();
        fs::create_directories(device);
        fs::create_directories(root / "bus" / bus / "drivers" / fs::path(driver).filename());
        fs::create_symlink(root / "bus" / bus / "drivers" / fs::path(driver).filename(), device / "driver");
    }

    // A tty whose device sits at deviceDir, bound to driver.
    fs::path AddTty(const std::string& name, const std::string& driver, const std::string& deviceDir)
    {
        Bind(deviceDir, driver);
        const fs::path device = root / "devices" / deviceDir;
        const fs::path entry = root / "class/tty" / name;
        fs::create_directories(entry);
        fs::create_symlink(device, entry / "device");
        std::ofstream(root / "dev" / name).put('\0');
        return entry;
    }
    void AddVirtualTty(const std::string& name) { fs::create_directories(root / "class/tty" / name); }
    static void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

    std::vector<SerialPortInfo> List() const
    {
        return ListSerialPortsUnder((root / "class/tty").string(), (root / "dev").string(),
                                    (root / "dev/serial/by-id").string());
    }

    fs::path root;
};

TEST(SerialPortListTest, ListsRealPortsWithDriverProductAndStableName)
{
    FakeMachine machine;
    // Newer kernels put a generic serial-base port between the tty and its UART driver.
    FakeMachine::Write(machine.AddTty("ttyS0", "serial-base/port", "pnp0/00:05/00:05:0/00:05:0.0") / "type", "4\n");
    machine.Bind("pnp0/00:05/00:05:0", "serial-base/ctrl");
    machine.Bind("pnp0/00:05", "pnp/serial");
    FakeMachine::Write(machine.AddTty("ttyS1", "platform/serial8250", "platform/serial8250/tty/ttyS1") / "type", "0\n");
    FakeMachine::Write(machine.AddTty("ttyS10", "pnp/serial8250", "pnp/00:06") / "type", "4\n");
    FakeMachine::Write(machine.AddTty("ttyS2", "pnp/serial8250", "pnp/00:07") / "type", "4\n");
    machine.AddTty("ttyUSB0", "usb-serial/ftdi_sio", "usb1/1-2/1-2:1.0/ttyUSB0");
    FakeMachine::Write(machine.root / "devices/usb1/1-2/product", "FT232R USB UART\n");
    machine.AddTty("ttyACM0", "usb/cdc_acm", "usb1/1-3/1-3:1.0");
    machine.AddVirtualTty("tty0");
    machine.AddVirtualTty("ptmx");
    fs::create_symlink("../../ttyUSB0", machine.root / "dev/serial/by-id/usb-FTDI_FT232R_A10K1234-if00-port0");

    const std::vector<SerialPortInfo> ports = machine.List();
    std::vector<std::string> names;
    for (const SerialPortInfo& p : ports)
        names.push_back(fs::path(p.path).filename().string());
    // No phantom ttyS1, no virtual terminals; ttyS2 sorts before ttyS10.
    EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0"}));
    ASSERT_EQ(ports.size(), 5u);

    const SerialPortInfo& usb = ports[4];
    EXPECT_EQ(usb.path, (machine.root / "dev/ttyUSB0").string());
    EXPECT_EQ(usb.description, "FT232R USB UART (ftdi_sio)");
    EXPECT_EQ(usb.byIdPath, (machine.root / "dev/serial/by-id/usb-FTDI_FT232R_A10K1234-if00-port0").string());
    EXPECT_EQ(ports[1].description, "serial");
    EXPECT_TRUE(ports[1].byIdPath.empty());
    EXPECT_EQ(ports[2].description, "serial8250");
    EXPECT_EQ(ports[0].description, "cdc_acm");
}

TEST(SerialPortListTest, AMachineWithoutTheTreesHasNoPorts)
{
    EXPECT_TRUE(ListSerialPortsUnder("/nonexistent/class/tty", "/nonexistent/dev", "/nonexistent/by-id").empty());
    FakeMachine machine;
    machine.AddVirtualTty("tty1");
    EXPECT_TRUE(machine.List().empty());
}

} // namespace
} // namespace vantrel
