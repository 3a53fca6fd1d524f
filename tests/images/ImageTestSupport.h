#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vantrel::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder with the platform's separator, as the exports take it (so
    // that a name added to it reads as File() gives it).
    std::string Path() const { return (m_path / "").string(); }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    void Write(const std::string& name, const std::string& text) const;
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_path / name); }
    std::vector<uint8_t> Read(const std::string& name) const;
    // Names of the files in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path m_path;
};

// Deterministic bytes for test data.
std::vector<uint8_t> PseudoRandomBytes(size_t count, uint32_t seed);

}  // namespace vantrel::test
