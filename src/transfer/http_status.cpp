// ReportHttpStatus: the error-log text for an HTTP error status, then the server's headers.
#include "shown_text.h"
#include "transfer.h"

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

void CScanFileTransfer::ReportHttpStatus(long status, std::string_view headers,
                                         CKolvaneEngine& view) {
    view.LogEntry(StatusText(status));
    // One header a line, as the server sent them, but none can start a line of its own.
    m_strMessage = ServerLines(headers) + "\r\n";
    view.LogNote(m_strMessage);
}

}  // namespace kolvane
