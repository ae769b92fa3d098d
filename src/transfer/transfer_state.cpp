// The transfer state: the session, URL checking and splitting, opening FTP and HTTP
// connections, the status update and the fetch pass.
#include <new>
#include <stdexcept>

#include "ftp_connection.h"
#include "http_connection.h"
#include "shown_text.h"
#include "text_ops.h"
#include "transfer.h"
#include "url_split.h"

namespace kolvane {

CScanFileTransfer::CScanFileTransfer() = default;
CScanFileTransfer::~CScanFileTransfer() = default;

CScanFileTransfer& CScanFileTransfer::Of(CScanFileList& list) {
    if (auto* state = dynamic_cast<CScanFileTransfer*>(list.m_pTransfer.get())) return *state;
    list.m_pTransfer = std::make_unique<CScanFileTransfer>();
    return static_cast<CScanFileTransfer&>(*list.m_pTransfer);
}

bool CScanFileTransfer::EnsureSession(CKolvaneEngine& view) {
    if (m_pSession) return true;
    try {
        m_pSession = std::make_unique<CMyInternetSess>(view, "Kolvane", m_limits);
        return true;
    } catch (const std::exception&) {
        view.LogEntry("Cannot open an Internet Session!  Check your internet configuration.");
        return false;
    }
}

void CScanFileTransfer::ShowTransferStatus(CKolvaneEngine& view, std::string_view label,
                                           std::string_view text) {
    std::string status(label);
    status += ' ';
    status += text;
    view.SetPane(0, status);
    view.SetPane(1, " ");
    view.PumpMessages();
}

void CScanFileTransfer::LogNetworkFailure(CKolvaneEngine& view, const CScanFile& entry,
                                          const std::string& text) {
    // A transfer ended by the run's stop is no failure of the network: the run says it stopped.
    if (m_pSession && m_pSession->Stopping()) return;
    m_strMessage = "Network failure for: " + entry.m_strServerFile + ": " + ServerText(text);
    view.LogNote(m_strMessage);
}

void CScanFileTransfer::LogPassiveRetry(CKolvaneEngine& view, const CScanFile& entry) {
    const std::string& foreign = m_pFtp->ForeignPeer();
    m_strMessage = foreign.empty() ? "Active FTP failed for: " + entry.m_strServerFile
                                   : "Active FTP data connection from " + foreign +
                                         " refused for: " + entry.m_strServerFile;
    m_strMessage += "; retrying in passive mode";
    view.LogNote(m_strMessage);
}

int CScanFileTransfer::ParseServerUrl(const CScanFile& entry, const std::string& url,
                                      CKolvaneEngine& view, bool ftp, SUrlParts& out) {
    const char* protocol = ftp ? "FTP" : "HTTP";
    if (!SplitRuleUrl(url, ftp ? "ftp" : "http", out)) {
        m_strMessage = std::string("Invalid ") + protocol + " URL for: " + entry.m_strServerFile;
        view.LogNote(m_strMessage);
        return 0;
    }
    const std::string& s = out.scheme;
    m_serviceType = s == "ftp"                      ? EServiceType::Ftp
                    : (s == "http" || s == "https") ? EServiceType::Http
                                                    : EServiceType::Other;
    m_nPort = out.port;
    if (m_serviceType != (ftp ? EServiceType::Ftp : EServiceType::Http) || out.host.empty()) {
        m_strMessage =
            std::string("Invalid ") + protocol + " URL for file: " + entry.m_strServerFile;
        view.LogNote(m_strMessage);
        return 0;
    }
    return 1;
}

namespace {

const char* const kNoLibraryText =
    "\r\nCheck your internet configuration and make sure your "
    "environment\r\n is set up with libcurl in the path.";

}  // namespace

int CScanFileTransfer::OpenFtpConnection(CScanFile& entry, CKolvaneEngine& view,
                                         std::string& server) {
    SUrlParts url;
    if (!ParseServerUrl(entry, entry.m_strUrl, view, true, url)) return 0;
    server = url.host;
    ShowTransferStatus(view, "Connecting to", MaskUrlPassword(entry.m_strUrl));
    std::string user, password;
    if (!entry.m_strUserId.empty() && !EqualFolded(entry.m_strUserId, "anonymous")) {
        user = entry.m_strUserId;
        password = entry.m_strUserPw;
    }
    m_pFtp = std::make_unique<CFtpConnection>();
    if (m_pFtp->Open(*m_pSession, url.host, url.port, user, password)) return 1;
    if (m_pFtp->LastCode() == CURLE_OUT_OF_MEMORY) {
        m_strMessage =
            "An exception occurred when attempting to create an FTP connection for:\r\n" +
            entry.m_strServerFile + kNoLibraryText;
        view.LogNote(m_strMessage);
    } else {
        LogNetworkFailure(view, entry, m_pFtp->ErrorText());
    }
    m_pFtp.reset();
    return 0;
}

int CScanFileTransfer::OpenHttpConnection(CScanFile& entry, CKolvaneEngine& view,
                                          std::string& server, std::string& path,
                                          const std::string* target) {
    const std::string& text = target ? *target : entry.m_strUrl;
    SUrlParts url;
    if (!ParseServerUrl(entry, text, view, false, url)) return 0;
    server = url.host;
    path = url.path;
    ShowTransferStatus(view, "Connecting to", MaskUrlPassword(text));
    std::string origin = url.scheme + "://" + url.host + ":" + std::to_string(url.port);
    m_pHttp = std::make_unique<CHttpConnection>();
    if (m_pHttp->Open(*m_pSession, origin, entry.m_strUserId, entry.m_strUserPw)) return 1;
    m_strMessage = "An exception occurred when attempting to create an HTTP connection for:\r\n" +
                   entry.m_strServerFile + kNoLibraryText;
    view.LogNote(m_strMessage);
    m_pHttp.reset();
    return 0;
}

void CScanFileTransfer::CloseHttp() {
    m_pRequest.reset();
    m_pHttp.reset();
}

int CScanFileTransfer::FetchRemoteScanFiles(CScanFileList& list, CKolvaneEngine& view,
                                            int* failures) {
    m_nLastFtp = 0;
    m_nLastHttp = 0;
    int failed = 0;
    if (failures) *failures = 0;
    for (auto& entry : list) {
        if (view.Doc().m_bAbort) break;  // the run stops: no further file is fetched
        if (entry->m_strUrl.empty()) continue;
        if (!EnsureSession(view)) {
            if (failures) *failures = failed + 1;
            return 0;
        }
        if (entry->m_bFtp)
            failed += !FtpGetScanFile(*entry, view);
        else if (entry->m_bHttp)
            failed += !HttpGetScanFile(*entry, view);
        if (failures) *failures = failed;
    }
    m_pSession.reset();
    return m_nLastFtp | m_nLastHttp;
}

std::string HttpRequestPath(std::string_view serverDir, std::string_view serverFile) {
    std::string path(serverDir);
    if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
    if (path.back() != '/' && !serverFile.empty()) path += '/';
    path += serverFile;
    return path;
}

int FetchRemoteScanFiles(CScanFileList& list, CKolvaneEngine& view, int* failures) {
    return CScanFileTransfer::Of(list).FetchRemoteScanFiles(list, view, failures);
}

int UploadOutputFile(CScanFileList& list, CKolvaneEngine& view) {
    return CScanFileTransfer::Of(list).UploadOutputFile(view);
}

}  // namespace kolvane
