// Reading the scan files of a run ahead of the scan. Copying a file into memory costs about as
// much as scanning it; with a second processor the copies run beside the scans, on a thread
// that only reads the run's files, in order, into a few buffers of its own and touches nothing
// else. A run that waits for its file reads the next one meanwhile. The run takes each file
// when it comes to it, with the result a read of its own would give, so a reader of the log or
// the error log cannot tell the difference.
//
// While it reads, and another processor is idle, the thread and the run keep to processors of
// their own: left to the scheduler, each wake-up of one by the other may move it to the waker's
// processor, and both then share one for the rest of the run (on a virtual machine with two, a
// third of the runs took half again as long). The run's own processors are given back when the
// reading ends.
#pragma once

#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/file_io.h"

namespace kolvane {

class CReadAhead {
  public:
    // Reads the regular files among `paths` as ReadWholeFile reads them, at most kAhead ahead
    // of the one taken last. Reading ahead pays only with a second processor the run may use:
    // with one, nothing is read ahead and every Take says no.
    CReadAhead(std::vector<std::string> paths, std::size_t maxSize);
    ~CReadAhead();
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    static constexpr std::size_t kAhead = 3;
    // The next file of the paths: waits until it is read and hands it over, the bytes into
    // `buffer` (whose former memory is read into later). False when it was no regular file or
    // `path` is not that file; the caller then reads it itself.
    bool Take(const std::string& path, CTextBuffer& buffer, EReadResult& result,
              std::size_t* length);

  private:
    struct SRead {
        bool regular = false;
        EReadResult result = EReadResult::OpenFailed;
        std::size_t length = 0;
        CTextBuffer buffer;
    };
    void Work();
    // Reads file m_nNext, with the lock held on the call and on the return (not while reading).
    void ReadNext(std::unique_lock<std::mutex>& lock);

    const std::vector<std::string> m_paths;
    const std::size_t m_nMaxSize;
    std::mutex m_mutex;
    std::condition_variable m_room;  // the thread sleeps there until a file is taken
    std::condition_variable m_read;  // the run sleeps there until its file is read
    bool m_bThreadSleeps = false, m_bRunSleeps = false;
    std::atomic<bool> m_bQuit = false;
    std::size_t m_nNext = 0;                     // the next file nobody has started to read
    std::atomic<std::size_t> m_nFilesRead = 0;   // by either side, so far
    std::size_t m_nTaken = 0;                    // the next file Take hands over
    std::atomic<std::size_t> m_nRooms = kAhead;  // files it may read before one is taken
    std::map<std::size_t, SRead> m_files;        // read and not taken
    std::vector<CTextBuffer> m_spare;            // memory given back by Take
    std::thread m_thread;
    cpu_set_t m_runCpus;  // the run's processors before the reading, when it was kept to one
    bool m_bKept = false;
};

}  // namespace kolvane
