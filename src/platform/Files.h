#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vantrel {

// Paths are UTF-8 strings everywhere in the program. These reach the file
// system with them on every platform (wide-character paths on Windows, where
// a narrow path would go through the local code page).
std::filesystem::path PathFromUtf8(const std::string& path);
std::string Utf8FromPath(const std::filesystem::path& path);
// std::fopen on a UTF-8 path.
std::FILE* OpenFile(const std::string& path, const char* mode);

// The program folder: the running executable's folder, separator kept
// ("/opt/vantrel/", "C:\Program Files\Vantrel\"). Every image file is looked up there. A front end may
// point it elsewhere (the CLI's --folder).
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);

// Per-user data folder for backups and undo files ($XDG_DATA_HOME/vantrel/ or
// ~/.local/share/vantrel/; on Windows Vantrel\ in the local application-data
// folder), created on demand, separator kept. Empty when it cannot be created.
std::string UserDataFolder();
void SetUserDataFolder(const std::string& folder);  // tests and --data-dir

// The local date and time as "YYYYMMDD-HHMMSS", for names of files that must
// never replace an earlier one (backups, undo data).
std::string FileNameTimestamp();

// True for an existing regular file (not a folder, device or pipe).
bool IsRegularFile(const std::string& path);

// Whether a file can be made in the folder: a probe file is created, written
// and removed again. why says what failed.
bool CanWriteInFolder(const std::string& folder, std::string& why);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

// Reads a file that has a known largest sensible size. The limit is enforced
// on the bytes actually read, so a file that grows while it is read, or a
// device that never ends, is refused without being loaded.
enum class BoundedRead { Ok, CannotOpen, TooLarge, ReadError };
BoundedRead ReadFileAtMost(const std::string& path, size_t maxSize, std::vector<uint8_t>& out);
// The same with the reason in words: "cannot open PATH", "PATH is too large
// for a KIND", "cannot read PATH".
bool ReadFileAtMost(const std::string& path, size_t maxSize, const std::string& kind, std::vector<uint8_t>& out,
                    std::string& error);

// Writes an output file so that the operator only ever sees a complete file or
// none: the bytes go to a temporary file beside the target, which is flushed,
// synced and renamed over the target by Commit. Destroying the writer without
// a successful Commit removes the temporary file. Every write is checked.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool Open(const std::string& path);
    bool Write(const void* data, size_t size);
    bool Commit();
    void Discard();
    bool IsOpen() const { return m_file != nullptr; }

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_tempPath;
    bool m_failed = false;
};

// Writes a whole file through AtomicFileWriter.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size);

}  // namespace vantrel
