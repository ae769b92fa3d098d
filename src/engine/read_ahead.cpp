#include "engine/read_ahead.h"

#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <system_error>
#include <utility>

namespace kolvane {
namespace {

// How long either side waits without sleeping, for room or for its file. Waits are mostly a
// fraction of a millisecond; a side that sleeps costs the other a call to wake it, and on a
// virtual machine the wake-up itself can take a millisecond, while the other side runs dry.
constexpr auto kPoll = std::chrono::milliseconds(2);

// Gives the processor up until `ready` or `until`.
template <class Ready>
void PollUntil(std::chrono::steady_clock::time_point until, Ready ready) {
    while (!ready() && std::chrono::steady_clock::now() < until) sched_yield();
}

// The tasks of the whole system that can run right now, this one included; 0 when unknown.
int RunnableTasks() {
    std::string text;
    if (ReadWholeFile("/proc/loadavg", 4096, text) != EReadResult::Ok) return 0;
    int running = 0;  // after the three load averages, which a locale's decimal comma would stop
    return std::sscanf(text.c_str(), "%*s %*s %*s %d/", &running) == 1 ? running : 0;
}

}  // namespace

CReadAhead::CReadAhead(std::vector<std::string> paths, std::size_t maxSize)
    : m_paths(std::move(paths)), m_nMaxSize(maxSize) {
    if (m_paths.size() < 2) return;
    // The run keeps to the processor it is on, the thread to the others it may use, when
    // another processor is idle: a busy one would hold the run or the thread back, and the
    // scheduler then shares the processors out better.
    cpu_set_t threadCpus;
    CPU_ZERO(&threadCpus);
    const int cpu = sched_getcpu();
    if (sched_getaffinity(0, sizeof m_runCpus, &m_runCpus) != 0) {
        if (std::thread::hardware_concurrency() < 2) return;
    } else if (CPU_COUNT(&m_runCpus) < 2) {
        return;
    } else if (cpu >= 0 && cpu < CPU_SETSIZE && CPU_ISSET(cpu, &m_runCpus) &&
               RunnableTasks() < CPU_COUNT(&m_runCpus)) {
        threadCpus = m_runCpus;
        CPU_CLR(cpu, &threadCpus);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        m_bKept = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    // Signals go to the run's own thread, which acts on them; the reading thread never sees one.
    sigset_t all, former;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &former);
    try {
        m_thread = std::thread([this, threadCpus] {
            if (m_bKept) sched_setaffinity(0, sizeof threadCpus, &threadCpus);
            Work();
        });
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
    m_room.notify_all();
    if (m_thread.joinable()) m_thread.join();
    if (m_bKept) sched_setaffinity(0, sizeof m_runCpus, &m_runCpus);
}

bool CReadAhead::Take(const std::string& path, CTextBuffer& buffer, EReadResult& result,
                      std::size_t* length) {
    const std::size_t index = m_nTaken++;
    if (!m_thread.joinable() || index >= m_paths.size()) return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto until = std::chrono::steady_clock::now() + kPoll;
    while (!m_files.count(index)) {
        // While the thread reads its file, the run reads the next one that nobody has started:
        // when reading is the slower side, the two then share it.
        if (m_nNext < m_paths.size() && m_nRooms > 0) {
            ReadNext(lock);
        } else if (m_bKept && std::chrono::steady_clock::now() < until) {
            // With a processor of its own the run polls, as the thread does for room.
            const std::size_t seen = m_nFilesRead;
            lock.unlock();
            PollUntil(until, [&] { return m_nFilesRead != seen; });
            lock.lock();
        } else {
            m_bRunSleeps = true;
            m_read.wait(lock, [&] { return m_files.count(index) > 0; });
            m_bRunSleeps = false;
        }
    }
    SRead read = std::move(m_files.at(index));
    m_files.erase(index);
    ++m_nRooms;
    const bool wake = m_bThreadSleeps;
    const bool taken = read.regular && path == m_paths[index];
    if (taken) {
        std::swap(buffer, read.buffer);
        result = read.result;
        if (length) *length = read.length;
    }
    read.buffer.Release();
    m_spare.push_back(std::move(read.buffer));
    lock.unlock();
    if (wake) m_room.notify_all();
    return taken;
}

void CReadAhead::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (m_nNext < m_paths.size()) {
        auto room = [this] { return m_bQuit || m_nRooms > 0; };
        if (!room()) {
            lock.unlock();
            PollUntil(std::chrono::steady_clock::now() + kPoll, room);
            lock.lock();
            m_bThreadSleeps = true;
            m_room.wait(lock, room);
            m_bThreadSleeps = false;
        }
        if (m_bQuit) return;
        if (m_nNext < m_paths.size()) ReadNext(lock);
    }
}

void CReadAhead::ReadNext(std::unique_lock<std::mutex>& lock) {
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
    m_files.emplace(index, std::move(read));
    ++m_nFilesRead;
    if (m_bRunSleeps) m_read.notify_all();
}

}  // namespace kolvane
