// The HTTP status chain both HTTP transfers take (HttpStatusChain), and ReportHttpStatus: the
// error-log text for an HTTP error status, then the server's headers.
#include "transfer/http_connection.h"
#include "transfer/redirect_target.h"
#include "transfer/transfer.h"

namespace kolvane {
namespace {

const char* StatusText(long status) {
    switch (status) {
        case 403:
            return "Access is Forbidden!\r\nServer response was:\r\n";
        case 404:
            return "The server has not found anything matching the URI, check your path!\r\n"
                   "Server response was:\r\n";
        case 405:
            return "Server does NOT support Http PUT, use FTP to upload file!\r\n"
                   "Server response was:\r\n";
        case 406:
            return "Server does NOT support requested media type!\r\nServer response was:\r\n";
        case 407:
            return "Proxy authorization required!  Kolvane does NOT currently support proxy "
                   "services.\r\nServer response was:\r\n";
        case 408:
            return "Server time out!\r\nServer response was:\r\n";
        case 409:
            return "Requested resource conflict!\r\nServer response was:\r\n";
        case 410:
            return "Requested resource is no longer available at the server!\r\n"
                   "Server response was:\r\n";
        case 411:
        case 412:
        case 413:
        case 414:
        case 415:
            return "The Server is refusing to service the request!\r\nServer response was:\r\n";
        case 500:
            return "Internal Server Error!\r\nServer response was:\r\n";
        case 501:
            return "The server does not support the functionality required to fulfill the "
                   "request!\r\nServer response was:\r\n";
        case 502:
            return "Bad Gateway!\r\nServer response was:\r\n";
        case 503:
            return "Server is currently unable to handle the request due to a temporary "
                   "overloading or maintenance of the server!\r\nServer response was:\r\n";
        case 504:
            return "Gateway Timeout!\r\nServer response was:\r\n";
        case 505:
            return "HTTP 1.1 Not Supported by Server!\r\nServer response was:\r\n";
        default:
            return "Unknown error!\r\nServer response was:\r\n";
    }
}

}  // namespace

long CScanFileTransfer::HttpStatusChain(const STransferFile& entry, ITransferHost& host,
                                        const SHttpExchange& exchange) {
    if (!exchange.send()) return -1;
    long status = m_pRequest->Status();
    if (status == 401) {
        if (!AskForCredentials(host)) {
            m_strMessage = "Access denied: '" + entry.serverDir + "' Invalid password!\r\n";
            host.LogEntry(m_strMessage);
            return -1;
        }
        if (!exchange.send()) return -1;
        status = m_pRequest->Status();
    }
    if (status >= 402 && status <= 505) {
        ReportHttpStatus(status, m_pRequest->RawHeaders(), host);
        return -1;
    }
    if (IsRedirectStatus(status)) {
        if (!FollowRedirect(entry, host, exchange.verb, exchange.upload, exchange.body) ||
            !exchange.send())
            return -1;
        status = m_pRequest->Status();
    }
    return status;
}

void CScanFileTransfer::ReportHttpStatus(long status, std::string_view headers,
                                         ITransferHost& host) {
    host.LogEntry(StatusText(status));
    // One header a line, as the server sent them, but none can start a line of its own: each
    // line (ended by LF or CR LF, which become CR LF) shown as ServerText, the lines after the
    // first indented by four blanks unless empty.
    m_strMessage.clear();
    for (std::size_t start = 0; start < headers.size();) {
        std::size_t lf = headers.find('\n', start);
        const bool ended = lf != std::string_view::npos;
        if (!ended) lf = headers.size();
        const std::size_t end = ended && lf > start && headers[lf - 1] == '\r' ? lf - 1 : lf;
        if (start > 0 && end > start) m_strMessage += "    ";
        m_strMessage += host.ServerText(headers.substr(start, end - start));
        if (ended) m_strMessage += "\r\n";
        start = lf + 1;
    }
    m_strMessage += "\r\n";
    host.LogEntry(m_strMessage);
}

}  // namespace kolvane
