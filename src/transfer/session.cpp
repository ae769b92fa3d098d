// CMyInternetSess: the handle factory of a session.
#include "session.h"

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <utility>

#include "engine.h"

namespace kolvane {

CMyInternetSess::CMyInternetSess(CKolvaneEngine& view, std::string agent,
                                 const STransferLimits& limits)
    : m_view(view), m_strAgent(std::move(agent)), m_limits(limits) {
    if (!CurlGlobalInit()) throw std::runtime_error("libcurl could not be initialised");
    m_share.reset(curl_share_init());
    if (!m_share) throw std::bad_alloc();
    curl_share_setopt(m_share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
    curl_share_setopt(m_share.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
}

CMyInternetSess::~CMyInternetSess() = default;

int CMyInternetSess::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* session = static_cast<CMyInternetSess*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (now - session->m_lastPump < std::chrono::milliseconds(100)) return 0;
    session->m_lastPump = now;
    // Nonzero aborts the transfer; the kept exception is thrown after the perform.
    return session->Guarded([session] {
        session->m_view.PumpMessages();
        return true;
    })
               ? 0
               : 1;
}

CurlEasy CMyInternetSess::NewHandle(bool shareConnections) {
    CurlEasy h(curl_easy_init());
    if (!h) return h;
    CURL* c = h.get();
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, m_strAgent.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp,http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, m_limits.connectTimeoutSec);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, m_limits.minBytesPerSec);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, m_limits.stallTimeoutSec);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, m_limits.stallTimeoutSec);
    curl_easy_setopt(c, CURLOPT_ACCEPTTIMEOUT_MS, m_limits.connectTimeoutSec * 1000L);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, m_limits.maxBodyBytes);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl reads no certificate environment itself; honour the usual variables as the
    // TLS library's own tools do.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr && *file != '\0')
        curl_easy_setopt(c, CURLOPT_CAINFO, file);
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir != nullptr && *dir != '\0')
        curl_easy_setopt(c, CURLOPT_CAPATH, dir);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    if (shareConnections) curl_easy_setopt(c, CURLOPT_SHARE, m_share.get());
    return h;
}

}  // namespace kolvane
