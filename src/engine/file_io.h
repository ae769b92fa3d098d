// The thin file layer under the engine: whole-file reads with the engine's size limit, and
// files written whole or not at all (a temporary file in the target's directory, flushed to
// disk, then renamed over the target).
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace kolvane {

inline constexpr std::size_t kMaxFileSize = 480000;
// The longest a read waits, in all, for the writer of a pipe (a FIFO) to finish.
inline constexpr int kPipeWaitMilliseconds = 2000;
// A temporary file older than this is taken for one that a killed run left behind.
inline constexpr long kStaleTemporarySeconds = 600;

enum class EReadResult { Ok, OpenFailed, Empty, TooBig, ReadFailed };

// What a file write refuses to go through: a symbolic link that belongs neither to the running
// user nor to the owner of the folder holding it (another user planted it in a folder that
// others may write). The entries name the path followed by this text.
inline constexpr std::string_view kForeignLinkText = " is a link owned by another user";

// The owner and mode of a file that was read.
struct SFileFacts {
    unsigned uid = 0;
    unsigned mode = 0;  // the permission bits
};

// Why a rule file with these facts must not be run by this process: others may write it (any
// user may; as root, its group may, or it belongs to another user). Null when it may be run.
const char* OthersMayWrite(const SFileFacts& facts);

// A text as the engine holds a rule, scan or template file: the bytes followed by two NULs, in
// a buffer that is not cleared before it is filled and keeps its capacity when released. The
// text ends at the first NUL; its length is found once, when the buffer is filled.
class CTextBuffer {
  public:
    std::string_view Text() const { return {m_data.get(), m_nLength}; }
    // Every byte held, NULs inside included (without the two after them).
    std::string_view Bytes() const { return {m_data.get(), m_bHeld ? m_nSize : 0}; }
    bool Held() const { return m_bHeld; }
    // Whether a CR LF occurs in Text(): its lines end so.
    bool Crlf() const { return m_bCrlf; }
    void Set(std::string_view bytes);
    void Release() { m_bHeld = false, m_nLength = 0, m_bCrlf = false; }
    // The whole buffer, emptied and sized for `size` bytes plus the two NULs.
    char* Prepare(std::size_t size);
    // The bytes are in: puts the NULs after `size` bytes and finds the text's end.
    void Complete(std::size_t size);

  private:
    // The kernel copies a file into memory about three times faster when the memory starts on a
    // cache line than when it starts 16 bytes past one, as operator new[] gives.
    static constexpr std::align_val_t kAlign{64};
    struct SAlignedDelete {
        void operator()(char* p) const { ::operator delete[](p, kAlign); }
    };
    std::unique_ptr<char[], SAlignedDelete> m_data;
    std::size_t m_nCapacity = 0;
    std::size_t m_nSize = 0;
    std::size_t m_nLength = 0;
    bool m_bCrlf = false;
    bool m_bHeld = false;
};

// Reads a file whole into `buffer`, as ReadWholeFile does below.
EReadResult ReadWholeFile(const std::string& path, std::size_t maxSize, CTextBuffer& buffer,
                          std::size_t* length = nullptr, SFileFacts* facts = nullptr);

// Reads a file whole, to its end, into `data` followed by two NUL bytes (data.size() is the
// length + 2). A regular file is read whatever size it reports (the kernel's files under /proc
// and /sys report none, or a page); Empty when it yields no bytes, TooBig when it yields more
// than maxSize. A FIFO is read without blocking: Empty when no writer has it open, ReadFailed
// when its writer has not finished within kPipeWaitMilliseconds (or a signal came). Anything
// else (a directory, a device, a socket) fails to open. `length` receives the length read (on
// failure, the size the file reported, when it could be taken).
EReadResult ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& data,
                          std::size_t* length = nullptr);

// A file that replaces its target only when committed. Writes are buffered; `Commit` flushes,
// syncs, gives the new file the mode, owner and group of the file it replaces (as far as the
// process may; the usual ones for a new file) and renames it over the target. A target that is
// a symbolic link stays one: the file it points to is replaced, with the temporary file beside
// that file; a link of another user is refused (RefusedLink). The temporary file's name is
// shortened when the target's name leaves no room for it. Opening removes the stale temporary
// files of the same target (see kStaleTemporarySeconds). Destroying an uncommitted file
// removes the temporary.
class CAtomicFile {
  public:
    CAtomicFile() = default;
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    bool Open(const std::string& target);
    bool Write(std::string_view bytes);
    // `durable`: flushed to the disk before the rename, so that the new file survives a power
    // cut. A file that is fetched anew every run (a remote scan file) needs only the rename.
    bool Commit(bool durable = true);
    void Abandon();
    bool IsOpen() const { return m_fd >= 0; }
    // The last Open failed at a symbolic link that belongs to another user.
    bool RefusedLink() const { return m_bRefusedLink; }
    // The permission bits the committed file gets instead of the replaced file's (or the usual
    // ones for a new file); `hidden` clears those of group and others whatever the mode.
    void SetMode(int mode, bool hidden = false) { m_nMode = mode, m_bHidden = hidden; }

  private:
    bool Flush();

    int m_fd = -1;
    bool m_bFailed = false;
    bool m_bRefusedLink = false;
    bool m_bHidden = false;
    int m_nMode = -1;
    std::string m_strTarget;
    std::string m_strTemp;
    std::string m_buffer;
};

// An append-only file for the error log. A symbolic link is followed as CAtomicFile does; a
// new file is created exclusively, so that nothing planted meanwhile is written through.
class CAppendFile {
  public:
    CAppendFile() = default;
    ~CAppendFile() { Close(); }
    CAppendFile(const CAppendFile&) = delete;
    CAppendFile& operator=(const CAppendFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    bool RefusedLink() const { return m_bRefusedLink; }
    bool Write(std::string_view bytes);
    void Close();

  private:
    int m_fd = -1;
    bool m_bRefusedLink = false;
};

}  // namespace kolvane
