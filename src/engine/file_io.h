// The thin file layer under the engine: whole-file reads with the engine's size limit, and
// files written whole or not at all (a temporary file in the target's directory, flushed to
// disk, then renamed over the target).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kolvane {

inline constexpr std::size_t kMaxFileSize = 480000;

enum class EReadResult { Ok, OpenFailed, Empty, TooBig, ReadFailed };

// Reads a regular file whole into `data` followed by two NUL bytes (data.size() is the length
// + 2). Anything but a regular file (a directory, a FIFO, a device) fails to open, so a read
// never blocks. `length` receives the file's length when it could be taken.
EReadResult ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& data,
                          std::size_t* length = nullptr);

// A file that replaces its target only when committed. Writes are buffered; `Commit` flushes,
// syncs, gives the new file the permissions of the file it replaces (or the usual ones for a new
// file) and renames it over the target. Destroying an uncommitted file removes the temporary.
class CAtomicFile {
  public:
    CAtomicFile() = default;
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    bool Open(const std::string& target);
    bool Write(std::string_view bytes);
    bool Commit();
    void Abandon();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& TempPath() const { return m_strTemp; }

  private:
    bool Flush();

    int m_fd = -1;
    bool m_bFailed = false;
    std::string m_strTarget;
    std::string m_strTemp;
    std::string m_buffer;
};

// An append-only file for the error log.
class CAppendFile {
  public:
    CAppendFile() = default;
    ~CAppendFile() { Close(); }
    CAppendFile(const CAppendFile&) = delete;
    CAppendFile& operator=(const CAppendFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    bool Write(std::string_view bytes);
    void Close();

  private:
    int m_fd = -1;
};

}  // namespace kolvane
