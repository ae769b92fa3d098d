// The internet session of a fetch pass or an upload, and the bounds every transfer runs under.
//
// CMyInternetSess makes the curl easy handles of the connections, all configured alike: the
// agent name, the bounds, certificate verification (against SSL_CERT_FILE / SSL_CERT_DIR when
// set, else the system's trust store), only FTP, FTPS, SFTP, HTTP and HTTPS, and never following a
// redirect (the transfer follows one itself). HTTP handles share one connection cache, so a pass
// over many files on one server keeps its connection; the cache lives as long as the session, which
// must therefore outlive every connection made from it.
#pragma once

#include <chrono>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "transfer/curl_handles.h"

namespace kolvane {

class ITransferHost;

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
    CMyInternetSess(ITransferHost& host, std::string agent, const STransferLimits& limits);
    ~CMyInternetSess();
    CMyInternetSess(const CMyInternetSess&) = delete;
    CMyInternetSess& operator=(const CMyInternetSess&) = delete;

    const std::string& Agent() const { return m_strAgent; }
    const STransferLimits& Limits() const { return m_limits; }

    // A new easy handle with the session's settings; null when libcurl has no memory. The
    // connections of a `cutOnStop` handle are shut down the moment the run stops (FTP: its
    // QUIT is then never awaited); plain TCP only, as a shut TLS socket could raise SIGPIPE.
    CurlEasy NewHandle(bool shareConnections, bool cutOnStop = false);

    // Every transfer of the session runs here: `h` is driven in its own multi handle, waking
    // at least every kWakeMs, and libcurl's progress callback drains the run's pending
    // events about 40 times a second (libcurl's own blocking waits, such as an FTP server's
    // answer after the data, call it once a second). When the run stops (Stopping()) the
    // transfer ends at once with CURLE_ABORTED_BY_CALLBACK. libcurl's code for the transfer.
    CURLcode Perform(CURL* h);
    // A clean-up transfer after a failed or stopped one: no stop, at most `boundMs` in all.
    CURLcode PerformBounded(CURL* h, long boundMs);
    // True once the run asked to stop: the run's abort (the log window's abort, a signal),
    // or an exception the pump threw (the runner's hard stop).
    bool Stopping() const;
    // Shuts down the open connections of the cut-on-stop handles (none is closed: libcurl
    // closes its own sockets).
    void CutConnections();
    // Closes a socket of a cut-on-stop handle (for a handle's own close callback).
    int CloseSocket(curl_socket_t socket);

    static constexpr long kWakeMs = 25;

    // Runs `work` (code called back from inside libcurl); an exception it throws is kept for
    // RethrowKept() and counts as false. No exception may cross libcurl's C frames: the run's
    // pump throws to end the program at once on a second interrupt.
    template <class F>
    bool Guarded(F&& work) noexcept {
        try {
            return work();
        } catch (...) {
            if (!m_kept) m_kept = std::current_exception();
            return false;
        }
    }
    // Called after each transfer: throws what a callback kept during it.
    void RethrowKept() {
        if (m_kept) std::rethrow_exception(std::exchange(m_kept, nullptr));
    }

    // libcurl's progress callback: drains the run's pending events at most every kWakeMs
    // and ends the transfer when the run stops (unless it is a bounded clean-up).
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  private:
    static curl_socket_t OnOpenSocket(void* self, curlsocktype, curl_sockaddr* address);
    static int OnCloseSocket(void* self, curl_socket_t socket);
    CURLcode Drive(CURL* h);

    ITransferHost& m_host;  // the run the session was opened for; it outlives the session
    std::string m_strAgent;
    STransferLimits m_limits;
    CurlShare m_share;
    std::exception_ptr m_kept;
    std::chrono::steady_clock::time_point m_lastPump;
    std::vector<curl_socket_t> m_cutOnStop;  // open sockets of the cut-on-stop handles
    int m_nBounded = 0;                      // > 0 during a bounded clean-up
    bool m_bStopped = false;                 // a transfer was ended by a stop
};

}  // namespace kolvane
