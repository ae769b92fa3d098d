// CHttpConnection and CHttpRequest over a curl easy handle.
#include "transfer/http_connection.h"

#include <algorithm>
#include <cstdio>

#include "transfer/session.h"

namespace kolvane {

namespace {

// The request path as a URL may carry it: bytes that may not appear in a URL (blanks, controls,
// quotes, angle brackets and the like, and bytes above 127) are percent-encoded; everything
// else, "%", "?" and "/" included, goes as the rule wrote it.
std::string UrlPath(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F ||
            std::string_view("\"<>\\^`{|}").find(ch) != std::string_view::npos) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace

std::string CHttpRequest::Url() const {
    return m_connection.Origin() + UrlPath(m_strPath);
}

bool CHttpConnection::Open(CMyInternetSess& session, std::string origin, const std::string& user,
                           const std::string& password) {
    m_pSession = &session;
    m_handle = session.NewHandle(true);
    if (!m_handle) return false;
    m_strOrigin = std::move(origin);
    m_maxBody = session.Limits().maxBodyBytes;
    SetCredentials(user, password);
    return true;
}

void CHttpConnection::SetCredentials(const std::string& user, const std::string& password) {
    CURL* c = m_handle.get();
    if (user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, nullptr);
        curl_easy_setopt(c, CURLOPT_PASSWORD, nullptr);
        curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        return;
    }
    curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.empty() ? nullptr : password.c_str());
    // More than one method: libcurl asks first and answers the server's challenge.
    curl_easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC | CURLAUTH_DIGEST));
}

CHttpRequest::CHttpRequest(CHttpConnection& connection, std::string verb, std::string path)
    : m_connection(connection), m_strVerb(std::move(verb)), m_strPath(std::move(path)) {}

size_t CHttpRequest::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* r = static_cast<CHttpRequest*>(self);
    std::string_view line(data, size * count);
    // Keep the final response's block only (after a "100 Continue" or an auth round).
    if (line.substr(0, 5) == "HTTP/") {
        r->m_rawHeaders.clear();
        r->m_received = 0;
    }
    if (r->m_rawHeaders.size() + line.size() > kMaxHeaderBytes) {
        r->m_bHeadersTooBig = true;
        return 0;
    }
    r->m_rawHeaders.append(line);
    return size * count;
}

size_t CHttpRequest::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* r = static_cast<CHttpRequest*>(self);
    size_t n = size * count;
    long status = 0;
    curl_easy_getinfo(r->m_connection.Handle(), CURLINFO_RESPONSE_CODE, &status);
    r->m_received += static_cast<curl_off_t>(n);
    if (r->TooBig(status)) return 0;
    if (status != 200 || !r->m_sink) return n;
    // The sink shows a status, and so pumps the run host, which may throw.
    if (!r->m_connection.Session().Guarded([&] { return r->m_sink(std::string_view(data, n)); })) {
        r->m_bSinkFailed = true;
        return 0;
    }
    return n;
}

bool CHttpRequest::TooBig(long status) {
    const bool kept = status == 200 && m_sink;
    if (m_received <= (kept ? m_connection.MaxBody() : kMaxDroppedBody)) return false;
    m_bTooBig = true;
    m_tooBigStatus = kept ? 0 : status;
    return true;
}

int CHttpRequest::OnProgress(void* self, curl_off_t, curl_off_t now, curl_off_t, curl_off_t) {
    auto* r = static_cast<CHttpRequest*>(self);
    long status = 0;
    curl_easy_getinfo(r->m_connection.Handle(), CURLINFO_RESPONSE_CODE, &status);
    // A 200's body is counted as it is handed on (OnBody), libcurl's count may hold chunk heads.
    if (status != 200 && now > r->m_received) {
        r->m_received = now;
        if (r->TooBig(status)) return 1;
    }
    return CMyInternetSess::OnProgress(&r->m_connection.Session(), 0, 0, 0, 0);
}

size_t CHttpRequest::OnRead(char* buffer, size_t size, size_t count, void* self) {
    auto* r = static_cast<CHttpRequest*>(self);
    size_t n = std::min(size * count, r->m_body.size() - r->m_bodySent);
    std::copy_n(r->m_body.data() + r->m_bodySent, n, buffer);
    r->m_bodySent += n;
    return n;
}

int CHttpRequest::OnSeek(void* self, curl_off_t offset, int origin) {
    auto* r = static_cast<CHttpRequest*>(self);
    if (origin != SEEK_SET || offset < 0 || static_cast<std::size_t>(offset) > r->m_body.size())
        return CURL_SEEKFUNC_CANTSEEK;
    r->m_bodySent = static_cast<std::size_t>(offset);
    return CURL_SEEKFUNC_OK;
}

bool CHttpRequest::Send() {
    CURL* c = m_connection.Handle();
    m_status = 0;
    m_rawHeaders.clear();
    m_received = 0;
    m_bTooBig = m_bHeadersTooBig = m_bSinkFailed = false;
    m_bodySent = 0;
    m_errorBuffer[0] = '\0';

    std::string url = Url();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, m_headers.get());
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    if (m_strVerb == "PUT") {
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(m_body.size()));
        curl_easy_setopt(c, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(c, CURLOPT_READDATA, this);
        curl_easy_setopt(c, CURLOPT_SEEKFUNCTION, OnSeek);
        curl_easy_setopt(c, CURLOPT_SEEKDATA, this);
    } else {
        curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    }
    m_code = m_connection.Session().Perform(c);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, CMyInternetSess::OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &m_connection.Session());
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &m_status);
    m_connection.Session().RethrowKept();
    return m_code == CURLE_OK;
}

std::string CHttpRequest::RedirectUrl() const {
    char* url = nullptr;
    curl_easy_getinfo(m_connection.Handle(), CURLINFO_REDIRECT_URL, &url);
    return url ? url : "";
}

std::string CHttpRequest::ErrorText() const {
    if (m_bTooBig) {
        char text[96];
        if (m_tooBigStatus != 0)
            std::snprintf(text, sizeof text, "the body of the %ld answer is larger than %lld bytes",
                          m_tooBigStatus, static_cast<long long>(kMaxDroppedBody));
        else
            std::snprintf(text, sizeof text, "the response body is larger than %lld bytes",
                          static_cast<long long>(m_connection.MaxBody()));
        return text;
    }
    if (m_bHeadersTooBig) {
        char text[96];
        std::snprintf(text, sizeof text, "the response headers are larger than %zu bytes",
                      kMaxHeaderBytes);
        return text;
    }
    return CurlErrorText(m_code, m_errorBuffer);
}

}  // namespace kolvane
