// HttpGetScanFile: one scan file fetched by an HTTP GET, with the steps the HTTP upload shares:
// sending a request, the credentials prompt on a 401 and following one redirect.
#include "entry_text.h"
#include "file_io.h"
#include "http_connection.h"
#include "line_pieces.h"
#include "redirect_target.h"
#include "text_ops.h"
#include "transfer.h"
#include "url_split.h"

namespace kolvane {
namespace {

constexpr const char* kFetchHeaders[] = {"Accept: text/*", "User-Agent: Kolvane"};

// The body of a 200 answer, stored piece by piece into a file that replaces the local scan
// file only when the whole body came.
class CLocalCopy {
  public:
    CLocalCopy(CScanFileTransfer& transfer, CKolvaneEngine& view, const CScanFile& entry)
        : m_transfer(transfer),
          m_view(view),
          m_entry(entry),
          m_strLocal(JoinPath(entry.m_strPath, entry.m_strName)),
          m_strOnDisk(view.ResolvePath(entry.m_strPath, entry.m_strName)) {}

    // Opens the file when the first piece comes (so a failed open is reported only for 200).
    bool Write(std::string_view chunk) {
        if (!Start()) return false;
        m_buffer.clear();
        m_pieces.Feed(chunk, m_buffer);
        return m_file.Write(m_buffer);
    }
    bool Start() {
        if (m_bStarted) return m_file.IsOpen();
        m_bStarted = true;
        if (!m_file.Open(m_strOnDisk)) return false;
        m_transfer.ShowTransferStatus(m_view, "Getting via http:", m_entry.m_strServerFile);
        return true;
    }
    bool Commit() { return Start() && m_file.Commit(/*durable=*/false); }
    // The local copy's name for an entry, with why it was refused when it was.
    std::string LocalName() const {
        return m_file.RefusedLink() ? m_strLocal + std::string(kForeignLinkText) : m_strLocal;
    }

  private:
    CScanFileTransfer& m_transfer;
    CKolvaneEngine& m_view;
    const CScanFile& m_entry;
    std::string m_strLocal;   // as the rule writes it, for the entries
    std::string m_strOnDisk;  // relative to the rule file's directory
    CAtomicFile m_file;
    CLinePieceWriter m_pieces;
    std::string m_buffer;
    bool m_bStarted = false;
};

}  // namespace

bool CScanFileTransfer::SendRequest(CScanFile& entry, CKolvaneEngine& view) {
    if (m_pRequest->Send()) return true;
    if (m_pRequest->SinkFailed()) return false;  // the caller reports the local file
    LogNetworkFailure(view, entry, m_pRequest->ErrorText());
    m_nLastHttp = 0;
    return false;
}

bool CScanFileTransfer::AskForCredentials(CKolvaneEngine& view) {
    const std::string url = MaskUrlPassword(m_pRequest->Url());
    int retries = 0;
    for (int shown = 0; shown < 3; ++shown) {
        std::string user, password;
        switch (view.Host().AskCredentials(url, user, password)) {
            case ECredentialsResult::Success:
                m_pHttp->SetCredentials(user, password);
                return true;
            case ECredentialsResult::Cancelled:
                return false;
            case ECredentialsResult::ForceRetry:
                if (++retries >= 3) return false;
                break;
            case ECredentialsResult::Other:
                break;
        }
    }
    return false;
}

bool CScanFileTransfer::FollowRedirect(CScanFile& entry, CKolvaneEngine& view,
                                       const std::string& verb, bool upload,
                                       std::string_view body) {
    std::string location, newUrl;
    if (!FindLocation(m_pRequest->RawHeaders(), location)) {
        m_strMessage = "Error: Site redirects with no new location for: '" + entry.m_strServerDir;
        view.LogNote(m_strMessage);
        m_nLastHttp = 0;
        return false;
    }
    if (!ResolveReference(m_pRequest->Url(), location, newUrl)) {
        m_strMessage = "Invalid HTTP URL for: " + entry.m_strServerFile;
        view.LogNote(m_strMessage);
        m_nLastHttp = 0;
        return false;
    }
    // Only one redirect is followed, so the connection closed here is the rule URL's own.
    const std::string ruleOrigin = m_pHttp->Origin();
    if (const std::string why = RedirectRefusal(ruleOrigin, newUrl); !why.empty()) {
        m_strMessage = "Redirect refused for: " + entry.m_strServerFile + ": " + why;
        view.LogNote(m_strMessage);
        m_nLastHttp = 0;
        return false;
    }
    CloseHttp();
    ShowTransferStatus(view, "Caution: redirected to ", MaskUrlPassword(newUrl));
    std::string server, path;
    if (!OpenHttpConnection(entry, view, server, path, &newUrl)) {
        m_nLastHttp = 0;
        return false;
    }
    if (!EqualFolded(m_pHttp->Origin(), ruleOrigin)) m_pHttp->SetCredentials({}, {});
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

int CScanFileTransfer::HttpGetScanFile(CScanFile& entry, CKolvaneEngine& view) {
    CRunHost& host = view.Host();
    host.BeginWaitCursor();
    if (!EnsureSession(view)) {
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
    if (!OpenHttpConnection(entry, view, server, path)) return failureEnd();
    host.RestoreWaitCursor();

    CLocalCopy copy(*this, view, entry);
    auto sink = [&copy](std::string_view chunk) { return copy.Write(chunk); };
    m_pRequest = std::make_unique<CHttpRequest>(
        *m_pHttp, "GET", HttpRequestPath(entry.m_strServerDir, entry.m_strServerFile));
    for (const char* h : kFetchHeaders) m_pRequest->AddHeader(h);
    m_pRequest->SetBodySink(sink);
    auto send = [&] {
        if (SendRequest(entry, view)) return true;
        if (m_pRequest && m_pRequest->SinkFailed())
            view.LogNote(WithName("Couldn't Open local file: %s!\r\n", copy.LocalName()));
        return false;
    };
    if (!send()) return failureEnd();
    long status = m_pRequest->Status();

    if (status == 401) {
        if (!AskForCredentials(view)) {
            m_strMessage = "Access denied: '" + entry.m_strServerDir + "' Invalid password!\r\n";
            view.LogNote(m_strMessage);
            return failureEnd();
        }
        if (!send()) return failureEnd();
        status = m_pRequest->Status();
    }
    if (status >= 402 && status <= 505) {
        ReportHttpStatus(status, m_pRequest->RawHeaders(), view);
        return failureEnd();
    }
    if (IsRedirectStatus(status)) {
        if (!FollowRedirect(entry, view, "GET", false, {})) return failureEnd();
        m_pRequest->SetBodySink(sink);
        if (!send()) return failureEnd();
        status = m_pRequest->Status();
    }
    // Also the answer to a redirected request, and the statuses no case above handles.
    if (status != 200) {
        view.LogNote(GotStatusText(status, "getting", entry.m_strServerDir));
        return failureEnd();
    }
    if (!copy.Commit()) {
        view.LogNote(WithName("Couldn't Open local file: %s!\r\n", copy.LocalName()));
        return failureEnd();
    }
    m_pRequest.reset();
    m_nLastHttp = 1;
    m_pHttp.reset();
    host.EndWaitCursor();
    return m_nLastHttp;
}

}  // namespace kolvane
