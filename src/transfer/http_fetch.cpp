// HttpGetScanFile: one scan file fetched by an HTTP GET, with the steps of the status chain
// (http_status.cpp) that the HTTP upload shares: sending a request, the credentials prompt on a
// 401 and following one redirect.
#include "transfer/ascii_fold.h"
#include "transfer/entry_text.h"
#include "transfer/http_connection.h"
#include "transfer/line_pieces.h"
#include "transfer/redirect_target.h"
#include "transfer/transfer.h"
#include "transfer/url_parts.h"

namespace kolvane {
namespace {

constexpr const char* kFetchHeaders[] = {"Accept: text/*", "User-Agent: Kolvane"};

// The body of a 200 answer, stored piece by piece into a file that replaces the local scan
// file only when the whole body came.
class CLocalCopy {
  public:
    CLocalCopy(CScanFileTransfer& transfer, ITransferHost& host, const STransferFile& entry)
        : m_transfer(transfer),
          m_host(host),
          m_entry(entry),
          m_strLocal(host.ShownPath(entry.path, entry.name)),
          m_strOnDisk(host.ResolvePath(entry.path, entry.name)) {}

    // Opens the file when the first piece comes (so a failed open is reported only for 200).
    bool Write(std::string_view chunk) {
        if (!Start()) return false;
        m_buffer.clear();
        m_pieces.Feed(chunk, m_buffer);
        return m_file->Write(m_buffer);
    }
    bool Start() {
        if (m_bStarted) return m_file->IsOpen();
        m_bStarted = true;
        m_file = m_host.OpenLocalCopy(m_strOnDisk);
        if (!m_file->IsOpen()) return false;
        m_transfer.ShowTransferStatus(m_host, "Getting via http:", m_entry.serverFile);
        return true;
    }
    bool Commit() { return Start() && m_file->Commit(); }
    // The local copy's name for an entry, with why it was refused when it was.
    std::string LocalName() const {
        return m_file ? m_strLocal + m_file->LinkRefusal() : m_strLocal;
    }

  private:
    CScanFileTransfer& m_transfer;
    ITransferHost& m_host;
    const STransferFile& m_entry;
    std::string m_strLocal;              // as the rule writes it, for the entries
    std::string m_strOnDisk;             // relative to the rule file's directory
    std::unique_ptr<ILocalCopy> m_file;  // opened with the first piece
    CLinePieceWriter m_pieces;
    std::string m_buffer;
    bool m_bStarted = false;
};

}  // namespace

bool CScanFileTransfer::SendRequest(const STransferFile& entry, ITransferHost& host) {
    if (m_pRequest->Send()) return true;
    if (m_pRequest->SinkFailed()) return false;  // the caller reports the local file
    LogNetworkFailure(host, entry, m_pRequest->ErrorText());
    m_nLastHttp = 0;
    return false;
}

bool CScanFileTransfer::AskForCredentials(ITransferHost& host) {
    const std::string url = MaskUrlPassword(m_pRequest->Url());
    int retries = 0;
    for (int shown = 0; shown < 3; ++shown) {
        std::string user, password;
        switch (host.AskCredentials(url, user, password)) {
            case ECredentials::Given:
                m_pHttp->SetCredentials(user, password);
                return true;
            case ECredentials::Cancelled:
                return false;
            case ECredentials::ForceRetry:
                if (++retries >= 3) return false;
                break;
            case ECredentials::Other:
                break;
        }
    }
    return false;
}

bool CScanFileTransfer::FollowRedirect(const STransferFile& entry, ITransferHost& host,
                                       const std::string& verb, bool upload,
                                       std::string_view body) {
    const std::string newUrl = m_pRequest->RedirectUrl();
    if (newUrl.empty() || !ParsesAsUrl(newUrl)) {
        m_strMessage = newUrl.empty()
                           ? "Error: Site redirects with no new location for: '" + entry.serverDir
                           : "Invalid HTTP URL for: " + entry.serverFile;
        host.LogEntry(m_strMessage);
        m_nLastHttp = 0;
        return false;
    }
    // Only one redirect is followed, so the connection closed here is the rule URL's own.
    const std::string ruleOrigin = m_pHttp->Origin();
    if (const std::string why = RedirectRefusal(ruleOrigin, newUrl); !why.empty()) {
        m_strMessage = "Redirect refused for: " + entry.serverFile + ": " + why;
        host.LogEntry(m_strMessage);
        m_nLastHttp = 0;
        return false;
    }
    CloseHttp();
    ShowTransferStatus(host, "Caution: redirected to ", MaskUrlPassword(newUrl));
    std::string server, path;
    if (!OpenHttpConnection(entry, host, server, path, &newUrl)) {
        m_nLastHttp = 0;
        return false;
    }
    if (!EqualAsciiFolded(m_pHttp->Origin(), ruleOrigin)) m_pHttp->SetCredentials({}, {});
    m_pRequest = std::make_unique<CHttpRequest>(*m_pHttp, verb, path);
    if (upload) {
        // The redirected PUT goes without the upload's own headers.
        m_pRequest->AddHeader("Accept:");
        m_pRequest->AddHeader("Expect:");
        m_pRequest->SetBody(body);
    } else {
        for (const char* h : kFetchHeaders) m_pRequest->AddHeader(h);
    }
    return true;
}

int CScanFileTransfer::HttpGetScanFile(const STransferFile& entry, ITransferHost& host) {
    host.BeginWaitCursor();
    if (!EnsureSession(host)) {
        host.EndWaitCursor();
        return 0;
    }
    auto failureEnd = [&] {
        m_nLastHttp = 0;
        CloseHttp();
        host.EndWaitCursor();
        return 0;
    };
    std::string server, path;
    if (!OpenHttpConnection(entry, host, server, path)) return failureEnd();
    host.RestoreWaitCursor();

    CLocalCopy copy(*this, host, entry);
    auto sink = [&copy](std::string_view chunk) { return copy.Write(chunk); };
    m_pRequest = std::make_unique<CHttpRequest>(*m_pHttp, "GET",
                                                HttpRequestPath(entry.serverDir, entry.serverFile));
    for (const char* h : kFetchHeaders) m_pRequest->AddHeader(h);
    // The sink is set again on the request a redirect makes.
    auto send = [&] {
        m_pRequest->SetBodySink(sink);
        if (SendRequest(entry, host)) return true;
        if (m_pRequest && m_pRequest->SinkFailed())
            host.LogEntry(WithName("Couldn't Open local file: %s!\r\n", copy.LocalName()));
        return false;
    };
    const long status = HttpStatusChain(entry, host, {"GET", false, {}, send});
    if (status < 0) return failureEnd();
    // Also the answer to a redirected request, and the statuses no case above handles.
    if (status != 200) {
        host.LogEntry(GotStatusText(status, "getting", entry.serverDir));
        return failureEnd();
    }
    if (!copy.Commit()) {
        host.LogEntry(WithName("Couldn't Open local file: %s!\r\n", copy.LocalName()));
        return failureEnd();
    }
    m_pRequest.reset();
    m_nLastHttp = 1;
    m_pHttp.reset();
    host.EndWaitCursor();
    return m_nLastHttp;
}

}  // namespace kolvane
