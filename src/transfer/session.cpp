// CMyInternetSess: the handle factory of a session.
#include "transfer/session.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <utility>

#include "transfer/remote_transfer.h"

namespace kolvane {

CMyInternetSess::CMyInternetSess(ITransferHost& host, std::string agent,
                                 const STransferLimits& limits)
    : m_host(host), m_strAgent(std::move(agent)), m_limits(limits) {
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
    if (now - session->m_lastPump >= std::chrono::milliseconds(kWakeMs)) {
        session->m_lastPump = now;
        session->Guarded([session] {
            session->m_host.PumpMessages();
            return true;
        });
    }
    if (session->m_nBounded > 0 || !session->Stopping()) return 0;
    // Nonzero ends the transfer; what the pump threw is thrown after the perform.
    session->m_bStopped = true;
    session->CutConnections();
    return 1;
}

bool CMyInternetSess::Stopping() const {
    return m_bStopped || m_kept != nullptr || m_host.Aborted();
}

curl_socket_t CMyInternetSess::OnOpenSocket(void* self, curlsocktype, curl_sockaddr* address) {
    auto* session = static_cast<CMyInternetSess*>(self);
    const curl_socket_t fd =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd == CURL_SOCKET_BAD) return fd;
    const bool kept = session->Guarded([&] {
        session->m_cutOnStop.push_back(fd);
        return true;
    });
    if (kept) return fd;
    ::close(fd);
    return CURL_SOCKET_BAD;
}

int CMyInternetSess::OnCloseSocket(void* self, curl_socket_t fd) {
    return static_cast<CMyInternetSess*>(self)->CloseSocket(fd);
}

int CMyInternetSess::CloseSocket(curl_socket_t fd) {
    auto& open = m_cutOnStop;
    open.erase(std::remove(open.begin(), open.end(), fd), open.end());
    return ::close(fd);
}

void CMyInternetSess::CutConnections() {
    for (curl_socket_t fd : m_cutOnStop) ::shutdown(fd, SHUT_RDWR);
}

CURLcode CMyInternetSess::Perform(CURL* h) {
    return Drive(h);
}

CURLcode CMyInternetSess::PerformBounded(CURL* h, long boundMs) {
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, boundMs);
    ++m_nBounded;
    const CURLcode code = Drive(h);
    --m_nBounded;
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, 0L);
    return code;
}

CURLcode CMyInternetSess::Drive(CURL* h) {
    CURLM* multi = MultiOf(h);
    if (multi == nullptr) return CURLE_OUT_OF_MEMORY;
    if (curl_multi_add_handle(multi, h) != CURLM_OK) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    for (bool done = false; !done;) {
        int running = 0;
        const CURLMcode code = curl_multi_perform(multi, &running);
        if (code != CURLM_OK) {
            result = code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE || message->easy_handle != h) continue;
            result = message->data.result;
            done = true;
        }
        if (!done && running == 0) {
            result = CURLE_FAILED_INIT;
            break;
        }
        // The wait ends early when a socket is ready, so only an idle transfer sleeps here.
        if (!done) curl_multi_poll(multi, nullptr, 0, static_cast<int>(kWakeMs), nullptr);
    }
    curl_multi_remove_handle(multi, h);
    return result;
}

CurlEasy CMyInternetSess::NewHandle(bool shareConnections, bool cutOnStop) {
    CurlEasy h(curl_easy_init());
    if (!h) return h;
    CURL* c = h.get();
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, m_strAgent.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp,ftps,sftp,http,https");
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
    if (cutOnStop) {
        curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
        curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, OnCloseSocket);
        curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    }
    return h;
}

}  // namespace kolvane
