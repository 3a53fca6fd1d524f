#include "platform/Files.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "platform/SystemFolders.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vantrel {
namespace {

std::string& ProgramFolderOverride()
{
    static std::string folder;
    return folder;
}

std::string& UserDataOverride()
{
    static std::string folder;
    return folder;
}

#ifdef _WIN32
constexpr const char* kPathSeparators = "\\/";
#else
constexpr const char* kPathSeparators = "/";
#endif

std::string WithSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += kPathSeparators[0];
    return folder;
}

}  // namespace

#if !defined(_WIN32)
std::string RunningExecutablePath()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string DefaultUserDataFolder()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return WithSeparator(xdg) + "vantrel/";
    if (const char* home = std::getenv("HOME"); home && *home) return WithSeparator(home) + ".local/share/vantrel/";
    return {};
}
#endif

std::filesystem::path PathFromUtf8(const std::string& path)
{
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(PathFromUtf8(path).c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::string ProgramFolder()
{
    if (!ProgramFolderOverride().empty()) return ProgramFolderOverride();
    const std::string path = RunningExecutablePath();
    const auto cut = path.find_last_of(kPathSeparators);
    return cut == std::string::npos ? "./" : path.substr(0, cut + 1);
}

void SetProgramFolder(const std::string& folder) { ProgramFolderOverride() = WithSeparator(folder); }

std::string UserDataFolder()
{
    std::string folder = UserDataOverride();
    if (folder.empty()) folder = DefaultUserDataFolder();
    if (folder.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(PathFromUtf8(folder), ec);
    if (ec && !std::filesystem::is_directory(PathFromUtf8(folder), ec)) return {};
    return folder;
}

void SetUserDataFolder(const std::string& folder) { UserDataOverride() = WithSeparator(folder); }

bool IsRegularFile(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(PathFromUtf8(path), ec);
}

bool CanWriteInFolder(const std::string& folder, std::string& why)
{
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(PathFromUtf8(folder), ec)) {
        why = "the folder " + folder + " does not exist and cannot be created";
        return false;
    }
    const std::string probe = WithSeparator(folder) + ".vantrel-write-test";
    std::FILE* file = OpenFile(probe, "wb");
    if (!file) {
        why = "no file can be created in " + folder;
        return false;
    }
    const bool written = std::fputc('V', file) != EOF;
    const bool closed = std::fclose(file) == 0;
    const bool removed = std::filesystem::remove(PathFromUtf8(probe), ec);
    if (!written || !closed || !removed) {
        why = "a file in " + folder + " cannot be written and removed";
        return false;
    }
    return true;
}

std::string FileNameTimestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    if (std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local) == 0) return "00000000-000000";
    return text;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out)
{
    out.clear();
    std::FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    uint8_t chunk[65536];
    bool ok = true;
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            ok = !std::ferror(f);
            break;
        }
    }
    std::fclose(f);
    return ok;
}

BoundedRead ReadFileAtMost(const std::string& path, size_t maxSize, std::vector<uint8_t>& out)
{
    out.clear();
    std::FILE* f = OpenFile(path, "rb");
    if (!f) return BoundedRead::CannotOpen;
    uint8_t chunk[65536];
    BoundedRead result = BoundedRead::Ok;
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        if (n > maxSize - out.size()) {
            result = BoundedRead::TooLarge;
            break;
        }
        out.insert(out.end(), chunk, chunk + n);
        if (n < sizeof chunk) {
            if (std::ferror(f)) result = BoundedRead::ReadError;
            break;
        }
    }
    std::fclose(f);
    if (result != BoundedRead::Ok) out.clear();
    return result;
}

bool ReadFileAtMost(const std::string& path, size_t maxSize, const std::string& kind, std::vector<uint8_t>& out,
                    std::string& error)
{
    switch (ReadFileAtMost(path, maxSize, out)) {
    case BoundedRead::Ok:
        return true;
    case BoundedRead::CannotOpen:
        error = "cannot open " + path;
        return false;
    case BoundedRead::TooLarge:
        error = path + " is too large for a " + kind;
        return false;
    case BoundedRead::ReadError:
        break;
    }
    error = "cannot read " + path;
    return false;
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open(const std::string& path)
{
    Discard();
    m_path = path;
    m_tempPath = path + ".part";
    m_failed = false;
    m_file = OpenFile(m_tempPath, "wb");
    // Image files are written in many small pieces; a large buffer keeps the
    // number of system calls low.
    if (m_file) std::setvbuf(m_file, nullptr, _IOFBF, 64 * 1024);
    return m_file != nullptr;
}

bool AtomicFileWriter::Write(const void* data, size_t size)
{
    if (!m_file || m_failed) return false;
    if (size != 0 && std::fwrite(data, 1, size, m_file) != size) m_failed = true;
    return !m_failed;
}

bool AtomicFileWriter::Commit()
{
    if (!m_file) return false;
    bool ok = !m_failed && std::fflush(m_file) == 0;
#ifdef _WIN32
    if (ok) ok = ::_commit(::_fileno(m_file)) == 0;
#else
    if (ok) ok = ::fsync(::fileno(m_file)) == 0;
#endif
    if (std::fclose(m_file) != 0) ok = false;
    m_file = nullptr;
    if (ok) {
        std::error_code ec;
        std::filesystem::rename(PathFromUtf8(m_tempPath), PathFromUtf8(m_path), ec);
        ok = !ec;
    }
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(PathFromUtf8(m_tempPath), ec);
    }
    return ok;
}

void AtomicFileWriter::Discard()
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
        std::error_code ec;
        std::filesystem::remove(PathFromUtf8(m_tempPath), ec);
    }
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size)
{
    AtomicFileWriter writer;
    return writer.Open(path) && writer.Write(data, size) && writer.Commit();
}

}  // namespace vantrel
