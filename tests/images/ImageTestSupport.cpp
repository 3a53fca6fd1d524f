#include "images/ImageTestSupport.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace vantrel::test {

TempFolder::TempFolder()
{
    static std::atomic<int> serial{0};
    m_path = std::filesystem::temp_directory_path() /
             ("vantrel-images-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

void TempFolder::Write(const std::string& name, const std::string& text) const
{
    // A new file rather than a truncated one: truncating a file with unwritten
    // data makes ext4 write it out first, which slows tests that rewrite often.
    std::error_code ec;
    std::filesystem::remove(m_path / name, ec);
    std::ofstream out(m_path / name, std::ios::binary);
    out << text;
}

std::vector<uint8_t> TempFolder::Read(const std::string& name) const
{
    std::ifstream in(m_path / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> TempFolder::Names() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> PseudoRandomBytes(size_t count, uint32_t seed)
{
    std::vector<uint8_t> bytes(count);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

}  // namespace vantrel::test
