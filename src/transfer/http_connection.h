// An HTTP connection (scheme, server, port and credentials over one curl easy handle that keeps
// its TCP connection between requests) and a request made on it.
//
// A request is sent whole by Send: the status and the raw headers of the final response are
// kept; the body of a 200 answer goes to the body sink (at most the session's maxBodyBytes),
// the body of any other status, and every body without a sink, is dropped after reading at
// most kMaxDroppedBody bytes: a server answering with an endless body never holds a run. Send
// returns false only for a failure of the network, of a size bound or of the sink (the library's
// text is in ErrorText()); an HTTP error status is a successful send. What the run host's pump
// throws during the send (see CMyInternetSess::Guarded) comes out of Send after libcurl has
// returned. The request borrows its connection, the connection borrows the session that made its
// handle; each must outlive what borrows it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "transfer/curl_handles.h"

namespace kolvane {

class CMyInternetSess;

class CHttpConnection {
  public:
    CHttpConnection() = default;
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    // Makes the handle; does not contact the server. `origin` is "scheme://host:port".
    bool Open(CMyInternetSess& session, std::string origin, const std::string& user,
              const std::string& password);
    // Credentials for the requests from now on; an empty user sends none. They are sent only
    // when the server asks for them.
    void SetCredentials(const std::string& user, const std::string& password);

    CURL* Handle() const { return m_handle.get(); }
    CMyInternetSess& Session() const { return *m_pSession; }
    const std::string& Origin() const { return m_strOrigin; }
    curl_off_t MaxBody() const { return m_maxBody; }

  private:
    CMyInternetSess* m_pSession = nullptr;
    CurlEasy m_handle;
    std::string m_strOrigin;
    curl_off_t m_maxBody = 0;
};

class CHttpRequest {
  public:
    // The most bytes of response headers taken (libcurl bounds one header line, not the
    // block): a server sending header lines without end would otherwise grow memory forever.
    static constexpr std::size_t kMaxHeaderBytes = 100 * 1024;
    // The most bytes read of a body that is dropped (an error page, the answer to a PUT).
    static constexpr curl_off_t kMaxDroppedBody = 64 * 1024;

    // Called with each piece of a 200 answer's body; false stops the transfer.
    using BodySink = std::function<bool(std::string_view piece)>;

    CHttpRequest(CHttpConnection& connection, std::string verb, std::string path);
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Adds a request header line ("Name: value"; "Name:" removes a header libcurl would add).
    bool AddHeader(const std::string& line) { return m_headers.Append(line); }
    // The body of a PUT; borrowed, it must outlive every Send.
    void SetBody(std::string_view body) { m_body = body; }
    void SetBodySink(BodySink sink) { m_sink = std::move(sink); }

    bool Send();

    long Status() const { return m_status; }
    const std::string& RawHeaders() const { return m_rawHeaders; }
    std::string ErrorText() const;
    bool SinkFailed() const { return m_bSinkFailed; }
    // The URL requested: the connection's origin and the path, percent-encoded where a URL
    // needs it.
    std::string Url() const;
    // Where the last answer (a redirect) points: its first non-empty "Location" field
    // resolved against Url() by libcurl, or as the server sent it when it does not resolve;
    // empty when there is none ("Content-Location" and the like are other fields).
    std::string RedirectUrl() const;

  private:
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static size_t OnRead(char* buffer, size_t size, size_t count, void* self);
    static int OnSeek(void* self, curl_off_t offset, int origin);
    // Bounds also the body libcurl reads without handing it on (a 401's while it answers the
    // server's challenge), then pumps as the session does.
    static int OnProgress(void* self, curl_off_t, curl_off_t now, curl_off_t, curl_off_t);
    bool TooBig(long status);

    CHttpConnection& m_connection;
    std::string m_strVerb;
    std::string m_strPath;
    CCurlList m_headers;
    std::string_view m_body;
    std::size_t m_bodySent = 0;
    BodySink m_sink;

    long m_status = 0;
    std::string m_rawHeaders;
    curl_off_t m_received = 0;
    bool m_bTooBig = false;
    long m_tooBigStatus = 0;  // the status whose body was too big; 0: the sink's body
    bool m_bHeadersTooBig = false;
    bool m_bSinkFailed = false;
    CURLcode m_code = CURLE_OK;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
};

}  // namespace kolvane
