// The internet session of a fetch pass or an upload, and the bounds every transfer runs under.
//
// CMyInternetSess makes the curl easy handles of the connections, all configured alike: the
// agent name, the bounds, certificate verification (against SSL_CERT_FILE / SSL_CERT_DIR when
// set, else the system's trust store), only FTP, HTTP and HTTPS, and never following a redirect
// (the transfer follows one itself). HTTP handles share one connection cache, so a pass over
// many files on one server keeps its connection; the cache lives as long as the session, which
// must therefore outlive every connection made from it.
#pragma once

#include <string>

#include "curl_handles.h"

namespace kolvane {

class CKolvaneEngine;

struct STransferLimits {
    long connectTimeoutSec = 30;                // connecting gives up after this
    long stallTimeoutSec = 60;                  // a transfer that moves no data this long fails
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

private:
    CKolvaneEngine& m_view;  // the log window the session was opened for
    std::string m_strAgent;
    STransferLimits m_limits;
    CurlShare m_share;
};

}  // namespace kolvane
