#include "engine/read_ahead.h"

#include <pthread.h>
#include <sys/stat.h>

#include <csignal>
#include <system_error>
#include <utility>

namespace kolvane {

CReadAhead::CReadAhead(std::vector<std::string> paths, std::size_t maxSize)
    : m_paths(std::move(paths)), m_nMaxSize(maxSize) {
    if (m_paths.size() < 2 || std::thread::hardware_concurrency() < 2) return;
    // Signals go to the run's own thread, which acts on them; the reading thread never sees one.
    sigset_t all, former;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &former);
    try {
        m_thread = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread to be had (a limit on processes): the run reads its files itself.
    }
    pthread_sigmask(SIG_SETMASK, &former, nullptr);
}

CReadAhead::~CReadAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool CReadAhead::Take(const std::string& path, CTextBuffer& buffer, EReadResult& result,
                      std::size_t* length) {
    const std::size_t index = m_nTaken++;
    if (!m_thread.joinable() || index >= m_paths.size()) return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [&] { return m_read.count(index) > 0; });
    SRead read = std::move(m_read.at(index));
    m_read.erase(index);
    ++m_nRooms;
    const bool taken = read.regular && path == m_paths[index];
    if (taken) {
        std::swap(buffer, read.buffer);
        result = read.result;
        if (length) *length = read.length;
    }
    read.buffer.Release();
    m_spare.push_back(std::move(read.buffer));
    lock.unlock();
    m_wake.notify_all();
    return taken;
}

void CReadAhead::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nNext < m_paths.size()) {
        m_wake.wait(lock, [this] { return m_bQuit || m_nRooms > 0; });
        if (m_bQuit) return;
        --m_nRooms;
        const std::size_t index = m_nNext++;
        SRead read;
        if (!m_spare.empty()) read.buffer = std::move(m_spare.back()), m_spare.pop_back();
        lock.unlock();
        // Only a regular file: a pipe's writer is waited for, and that wait is the run's own.
        const std::string& path = m_paths[index];
        struct stat st {};
        read.regular = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        if (read.regular) read.result = ReadWholeFile(path, m_nMaxSize, read.buffer, &read.length);
        lock.lock();
        m_read.emplace(index, std::move(read));
        m_wake.notify_all();
    }
}

}  // namespace kolvane
