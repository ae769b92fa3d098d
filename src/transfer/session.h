// The internet session of a fetch pass or an upload, and the bounds every transfer runs under.
//
// CMyInternetSess makes the curl easy handles of the connections, all configured alike: the
// agent name, the bounds, certificate verification (against SSL_CERT_FILE / SSL_CERT_DIR when
// set, else the system's trust store), only FTP, HTTP and HTTPS, and never following a redirect
// (the transfer follows one itself). HTTP handles share one connection cache, so a pass over
// many files on one server keeps its connection; the cache lives as long as the session, which
// must therefore outlive every connection made from it.
#pragma once

#include <chrono>
#include <exception>
#include <string>
#include <utility>

#include "curl_handles.h"

namespace kolvane {

class CKolvaneEngine;

struct STransferLimits {
    long connectTimeoutSec = 30;  // connecting gives up after this
    // A transfer that moves fewer than minBytesPerSec on average over stallTimeoutSec fails:
    // one that stalls, and one that drips a few bytes now and then, which would hold a run
    // for hours.
    long stallTimeoutSec = 60;
    long minBytesPerSec = 1024;
    curl_off_t maxBodyBytes = 64LL * 1024 * 1024;  // a larger response body fails
};

class CMyInternetSess {
  public:
    // Throws std::runtime_error when libcurl cannot be set up, std::bad_alloc without memory.
    CMyInternetSess(CKolvaneEngine& view, std::string agent, const STransferLimits& limits);
    ~CMyInternetSess();
    CMyInternetSess(const CMyInternetSess&) = delete;
    CMyInternetSess& operator=(const CMyInternetSess&) = delete;

    CKolvaneEngine& View() { return m_view; }
    const std::string& Agent() const { return m_strAgent; }
    const STransferLimits& Limits() const { return m_limits; }

    // A new easy handle with the session's settings; null when libcurl has no memory.
    CurlEasy NewHandle(bool shareConnections);

    // Runs `work` (code called back from inside libcurl); an exception it throws is kept for
    // RethrowKept() and counts as false. No exception may cross libcurl's C frames: the run
    // host's pump throws to end the program at once on a second interrupt.
    template <class F>
    bool Guarded(F&& work) noexcept {
        try {
            return work();
        } catch (...) {
            if (!m_kept) m_kept = std::current_exception();
            return false;
        }
    }
    // Called after each curl_easy_perform: throws what a callback kept during it.
    void RethrowKept() {
        if (m_kept) std::rethrow_exception(std::exchange(m_kept, nullptr));
    }

    // libcurl's progress callback: drains the run host's pending events about ten times a
    // second, so that the window (and the console's interrupt) is served during a long or
    // stalled transfer as between transfers, not only after up to 60 s of silence.
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  private:
    CKolvaneEngine& m_view;  // the log window the session was opened for
    std::string m_strAgent;
    STransferLimits m_limits;
    CurlShare m_share;
    std::exception_ptr m_kept;
    std::chrono::steady_clock::time_point m_lastPump;
};

}  // namespace kolvane
