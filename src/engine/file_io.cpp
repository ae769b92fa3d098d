// POSIX implementation of the engine's file layer.
#include "engine/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/text_ops.h"

namespace kolvane {
namespace {

bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The file a chain of symbolic links ends at (or would be created at). Replacing the link
// itself would turn it into a plain file; the file it points to is what the user means. A link
// is followed only when it belongs to the running user or to the owner of the folder holding it
// (the kernel's rule for sticky folders, kept in every folder): false at one that does not.
bool FollowOwnLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        if (st.st_uid != ::geteuid()) {
            const std::string dir = DirectoryOf(path);
            struct stat folder {};
            if (::stat(dir.empty() ? "." : dir.c_str(), &folder) != 0 || folder.st_uid != st.st_uid)
                return false;
        }
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size()) return true;
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : JoinPath(DirectoryOf(path), link);
    }
    return true;  // a loop: the open or rename then fails and is reported
}

// The start of the temporary files' names for the target name `base`: "." base ".kolvane-",
// then six random characters. When that would pass the longest name a folder holds, `base` is
// cut (never inside a UTF-8 sequence) and a hash of the whole name follows it, so that two long
// names with the same start keep apart.
std::string TemporaryPrefix(std::string_view base) {
    constexpr std::size_t kNameMax = 255;
    constexpr std::string_view kTail = ".kolvane-";
    if (1 + base.size() + kTail.size() + 6 <= kNameMax)
        return "." + std::string(base) + ".kolvane-";
    std::string_view cut = base.substr(0, kNameMax - 6 - kTail.size() - 2 - 16);
    while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80)
        cut.remove_suffix(1);
    if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.remove_suffix(1);
    return "." + std::string(cut) + "~" + HashName(base) + std::string(kTail);
}

// Temporary files (`prefix` + "XXXXXX") in `dir` that a killed run left behind.
// Only those older than ten minutes go: a younger one may belong to a runner still writing.
void RemoveStaleTemporaries(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* e = ::readdir(d)) {
        std::string_view name = e->d_name;
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && now - st.st_mtime >= kStaleTemporarySeconds)
            ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

// Reads `fd` on to its end, after the bytes already in `bytes`: a file that reports no size
// (the kernel's files under /proc and /sys) or a pipe. A pipe is open without blocking: one
// that no writer has open reads its end at once; one whose writer is slow is waited for, but
// kPipeWaitMilliseconds at most in all, and a signal ends the wait (the run then sees it).
EReadResult ReadToEnd(int fd, bool pipe, std::size_t maxSize, std::string& bytes) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kPipeWaitMilliseconds);
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t r = ::read(fd, chunk, sizeof chunk);
        if (r > 0) {
            if (bytes.size() + static_cast<std::size_t>(r) > maxSize) return EReadResult::TooBig;
            bytes.append(chunk, static_cast<std::size_t>(r));
            continue;
        }
        if (r == 0) {
            if (bytes.size() > maxSize) return EReadResult::TooBig;  // it grew past the limit
            return bytes.empty() ? EReadResult::Empty : EReadResult::Ok;
        }
        if (errno == EINTR) continue;
        if (!pipe || errno != EAGAIN) return EReadResult::ReadFailed;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        struct pollfd wait {
            fd, POLLIN, 0
        };
        if (left.count() <= 0 || ::poll(&wait, 1, static_cast<int>(left.count())) <= 0)
            return EReadResult::ReadFailed;
    }
}

}  // namespace

void CTextBuffer::Set(std::string_view bytes) {
    // An empty view may have a null data(): memcpy from a null pointer is undefined even for
    // 0 bytes.
    char* to = Prepare(bytes.size());
    if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
    Complete(bytes.size());
}

char* CTextBuffer::Prepare(std::size_t size) {
    Release();
    if (size + 2 > m_nCapacity) {
        // At least twice the old room: files that come larger and larger fault in at most
        // twice the largest, not the sum of them all (room never written is never faulted in).
        m_nCapacity = std::max(size + 2, 2 * m_nCapacity);
        m_data.reset(static_cast<char*>(::operator new[](m_nCapacity, kAlign)));
    }
    return m_data.get();
}

void CTextBuffer::Complete(std::size_t size) {
    m_data[size] = '\0';
    m_data[size + 1] = '\0';
    m_nSize = size;
    m_nLength = TextEnd({m_data.get(), size}, m_bCrlf);
    m_bHeld = true;
}

const char* OthersMayWrite(const SFileFacts& facts) {
    if (facts.mode & S_IWOTH) return "is writable by every user";
    if (::geteuid() != 0) return nullptr;
    if (facts.mode & S_IWGRP) return "is writable by its group";
    if (facts.uid != 0) return "is owned by another user";
    return nullptr;
}

EReadResult ReadWholeFile(const std::string& path, std::size_t maxSize, CTextBuffer& buffer,
                          std::size_t* length, SFileFacts* facts) {
    buffer.Release();
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return EReadResult::OpenFailed;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) {
        ::close(fd);
        return EReadResult::OpenFailed;
    }
    const bool pipe = S_ISFIFO(st.st_mode);
    const std::size_t size = pipe ? 0 : static_cast<std::size_t>(st.st_size);
    if (length) *length = size;
    if (facts) *facts = {st.st_uid, st.st_mode & 07777u};
    if (size > maxSize) {
        ::close(fd);
        return EReadResult::TooBig;
    }
    std::string rest;  // a file whose size is unknown (or was wrong) is gathered here
    EReadResult result = EReadResult::Ok;
    std::size_t got = 0;
    if (size > 0) {
        // The usual case: a file of known size, read straight into the buffer; one more read
        // (into the room for the NULs) confirms the end.
        char* data = buffer.Prepare(size);
        ssize_t r = 0;
        while (got < size) {
            r = ::read(fd, data + got, size - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;  // an error, or the end came early (the file shrank)
            got += static_cast<std::size_t>(r);
        }
        if (got == size) {
            do r = ::read(fd, data + size, 1);
            while (r < 0 && errno == EINTR);
        }
        if (r < 0) {
            result = EReadResult::ReadFailed;
        } else if (r == 0) {
            if (got > 0) buffer.Complete(got);
            result = got > 0 ? EReadResult::Ok : EReadResult::Empty;
        } else {  // the file grew since it was measured
            rest.assign(data, size + 1);
            buffer.Release();
            result = ReadToEnd(fd, false, maxSize, rest);
        }
    } else {
        result = ReadToEnd(fd, pipe, maxSize, rest);
    }
    ::close(fd);
    if (result == EReadResult::Ok && !rest.empty()) {
        buffer.Set(rest);
        got = rest.size();
    }
    if (result == EReadResult::Ok && length) *length = got;
    return result;
}

EReadResult ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& data,
                          std::size_t* length) {
    CTextBuffer buffer;
    EReadResult result = ReadWholeFile(path, maxSize, buffer, length);
    data.clear();
    if (result == EReadResult::Ok) {
        data.reserve(buffer.Bytes().size() + 2);
        data.append(buffer.Bytes());
        data.append(2, '\0');
    }
    return result;
}

CAtomicFile::~CAtomicFile() {
    Abandon();
}

bool CAtomicFile::Open(const std::string& target) {
    Abandon();
    m_strTarget = target;
    m_bRefusedLink = !FollowOwnLinks(m_strTarget);
    if (m_bRefusedLink) return false;
    const std::string dir = DirectoryOf(m_strTarget);
    const std::string_view base = FileNameOf(m_strTarget);
    if (base.empty()) return false;
    const std::string prefix = TemporaryPrefix(base);
    RemoveStaleTemporaries(dir, prefix);
    m_strTemp = JoinPath(dir, prefix + "XXXXXX");
    m_fd = ::mkstemp(m_strTemp.data());
    if (m_fd < 0) {
        m_strTemp.clear();
        return false;
    }
    ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
    m_bFailed = false;
    m_buffer.clear();
    m_buffer.reserve(64 * 1024);
    return true;
}

bool CAtomicFile::Flush() {
    if (m_bFailed) return false;
    if (!m_buffer.empty() && !WriteAll(m_fd, m_buffer.data(), m_buffer.size())) m_bFailed = true;
    m_buffer.clear();
    return !m_bFailed;
}

bool CAtomicFile::Write(std::string_view bytes) {
    if (m_fd < 0 || m_bFailed) return false;
    if (m_buffer.size() + bytes.size() <= m_buffer.capacity()) {
        m_buffer.append(bytes);
        return true;
    }
    if (!Flush()) return false;
    if (bytes.size() >= m_buffer.capacity()) {
        if (!WriteAll(m_fd, bytes.data(), bytes.size())) m_bFailed = true;
        return !m_bFailed;
    }
    m_buffer.append(bytes);
    return true;
}

bool CAtomicFile::Commit(bool durable) {
    if (m_fd < 0) return false;
    if (!Flush()) {
        Abandon();
        return false;
    }
    // The file being replaced; anything else put there since Open (a link, say) is replaced
    // as it is, never followed.
    struct stat st {};
    mode_t mode;
    if (::lstat(m_strTarget.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        // The owner and group the user gave the old file (a page that root replaces for the web
        // server's user stays that user's). Only a privileged process may give a file away; a
        // group may be set by an owner who is in it; anything else keeps the runner's own.
        // When they are already the new file's (the usual case), no change of owner touches
        // the inode before the fsync.
        struct stat own {};
        if (::fstat(m_fd, &own) != 0 || own.st_uid != st.st_uid || own.st_gid != st.st_gid) {
            if (::fchown(m_fd, st.st_uid, st.st_gid) != 0)
                (void)!::fchown(m_fd, uid_t(-1), st.st_gid);
        }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (m_nMode >= 0) mode = static_cast<mode_t>(m_nMode) & 07777;
    if (m_bHidden) mode &= ~mode_t(077);
    // After the chown, which may clear the set-id bits.
    bool ok = ::fchmod(m_fd, mode) == 0 && (!durable || ::fsync(m_fd) == 0);
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    if (ok && ::rename(m_strTemp.c_str(), m_strTarget.c_str()) == 0) {
        m_strTemp.clear();
        return true;
    }
    ::unlink(m_strTemp.c_str());
    m_strTemp.clear();
    return false;
}

void CAtomicFile::Abandon() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_strTemp.empty()) {
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
    m_buffer.clear();
}

bool CAppendFile::Open(const std::string& path) {
    Close();
    m_bRefusedLink = false;
    constexpr int kFlags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
    // A link or a file that appears between the look and the open is looked at again.
    for (int tries = 0; tries < 8 && m_fd < 0; ++tries) {
        std::string file = path;
        if (!FollowOwnLinks(file)) {
            m_bRefusedLink = true;
            return false;
        }
        m_fd = ::open(file.c_str(), kFlags);
        if (m_fd < 0 && errno == ENOENT)
            m_fd = ::open(file.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
        if (m_fd < 0 && errno != ELOOP && errno != EEXIST && errno != ENOENT) return false;
    }
    if (m_fd < 0) return false;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Close();
        return false;
    }
    return true;
}

bool CAppendFile::Write(std::string_view bytes) {
    return m_fd >= 0 && WriteAll(m_fd, bytes.data(), bytes.size());
}

void CAppendFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace kolvane
