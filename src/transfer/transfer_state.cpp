// The transfer state: the session, URL checking and splitting, opening FTP and HTTP
// connections, the status update and the fetch pass.
#include <new>
#include <stdexcept>

#include "transfer/ascii_fold.h"
#include "transfer/ftp_connection.h"
#include "transfer/http_connection.h"
#include "transfer/transfer.h"
#include "transfer/url_parts.h"

namespace kolvane {

CScanFileTransfer::CScanFileTransfer() = default;
CScanFileTransfer::~CScanFileTransfer() = default;

void CScanFileTransfer::EndSession() {
    m_pFtp.reset();  // a kept SFTP connection borrows the session
    m_pSession.reset();
}

bool CScanFileTransfer::EnsureSession(ITransferHost& host) {
    if (m_pSession) return true;
    try {
        m_pSession = std::make_unique<CMyInternetSess>(host, "Kolvane", m_limits);
        return true;
    } catch (const std::exception&) {
        host.LogEntry("Cannot open an Internet Session!  Check your internet configuration.");
        return false;
    }
}

void CScanFileTransfer::ShowTransferStatus(ITransferHost& host, std::string_view label,
                                           std::string_view text) {
    std::string status(label);
    status += ' ';
    status += text;
    host.SetPane(0, status);
    host.SetPane(1, " ");
    host.PumpMessages();
}

void CScanFileTransfer::LogNetworkFailure(ITransferHost& host, const STransferFile& entry,
                                          const std::string& text) {
    // A transfer ended by the run's stop is no failure of the network: the run says it stopped.
    if (m_pSession && m_pSession->Stopping()) return;
    m_strMessage = "Network failure for: " + entry.serverFile + ": " + host.ServerText(text);
    host.LogEntry(m_strMessage);
}

void CScanFileTransfer::LogPassiveRetry(ITransferHost& host, const STransferFile& entry) {
    const std::string& foreign = m_pFtp->ForeignPeer();
    m_strMessage = foreign.empty() ? "Active FTP failed for: " + entry.serverFile
                                   : "Active FTP data connection from " + foreign +
                                         " refused for: " + entry.serverFile;
    m_strMessage += "; retrying in passive mode";
    host.LogEntry(m_strMessage);
}

int CScanFileTransfer::ParseServerUrl(const STransferFile& entry, const std::string& url,
                                      ITransferHost& host, bool ftp, STransferUrl& out) {
    const char* protocol = ftp ? "FTP" : "HTTP";
    if (!SplitUrlParts(url, ftp ? "ftp" : "http", out)) {
        m_strMessage = std::string("Invalid ") + protocol + " URL for: " + entry.serverFile;
        host.LogEntry(m_strMessage);
        return 0;
    }
    m_serviceType = out.service;
    if (const SFileScheme* file = FindFileScheme(out.scheme)) {
        m_fileProtocol = file->protocol;
        if (out.port == 0) out.port = file->defaultPort;  // a scheme libcurl does not know
    }
    m_nPort = out.port;
    if (m_serviceType != (ftp ? EUrlService::Ftp : EUrlService::Http)) {
        m_strMessage = std::string("Invalid ") + protocol + " URL for file: " + entry.serverFile;
        host.LogEntry(m_strMessage);
        return 0;
    }
    return 1;
}

namespace {

const char* const kNoLibraryText =
    "\r\nCheck your internet configuration and make sure your "
    "environment\r\n is set up with libcurl in the path.";

}  // namespace

int CScanFileTransfer::OpenFtpConnection(const STransferFile& entry, ITransferHost& host,
                                         std::string& server) {
    STransferUrl url;
    if (!ParseServerUrl(entry, entry.url, host, true, url)) return 0;
    server = url.host;
    ShowTransferStatus(host, "Connecting to", MaskUrlPassword(entry.url));
    std::string user, password;
    if (!entry.userId.empty() && !EqualAsciiFolded(entry.userId, "anonymous")) {
        user = entry.userId;
        password = entry.userPw;
    } else if (m_fileProtocol == EFileProtocol::Sftp) {
        password = entry.userPw;  // SFTP has no anonymous login: the local user's, then
    }
    // An SFTP login costs more than a file: the fetch pass keeps one for the next file.
    if (m_pFtp && m_pFtp->ReuseFor(m_fileProtocol, url.host, url.port, user, password)) return 1;
    m_pFtp = std::make_unique<CFtpConnection>();
    if (m_pFtp->Open(*m_pSession, m_fileProtocol, url.host, url.port, user, password)) return 1;
    if (m_pFtp->LastCode() == CURLE_OUT_OF_MEMORY) {
        m_strMessage =
            "An exception occurred when attempting to create an FTP connection for:\r\n" +
            entry.serverFile + kNoLibraryText;
        host.LogEntry(m_strMessage);
    } else {
        LogNetworkFailure(host, entry, m_pFtp->ErrorText());
    }
    m_pFtp.reset();
    return 0;
}

int CScanFileTransfer::OpenHttpConnection(const STransferFile& entry, ITransferHost& host,
                                          std::string& server, std::string& path,
                                          const std::string* target) {
    const std::string& text = target ? *target : entry.url;
    STransferUrl url;
    if (!ParseServerUrl(entry, text, host, false, url)) return 0;
    server = url.host;
    path = url.path;
    ShowTransferStatus(host, "Connecting to", MaskUrlPassword(text));
    std::string origin = url.scheme + "://" + url.host + ":" + std::to_string(url.port);
    m_pHttp = std::make_unique<CHttpConnection>();
    if (m_pHttp->Open(*m_pSession, origin, entry.userId, entry.userPw)) return 1;
    m_strMessage = "An exception occurred when attempting to create an HTTP connection for:\r\n" +
                   entry.serverFile + kNoLibraryText;
    host.LogEntry(m_strMessage);
    m_pHttp.reset();
    return 0;
}

void CScanFileTransfer::CloseHttp() {
    m_pRequest.reset();
    m_pHttp.reset();
}

int CScanFileTransfer::FetchRemoteScanFiles(const std::vector<STransferFile>& files,
                                            ITransferHost& host, int* failures) {
    m_nLastFtp = 0;
    m_nLastHttp = 0;
    int failed = 0;
    if (failures) *failures = 0;
    for (const STransferFile& entry : files) {
        if (host.Aborted()) break;  // the run stops: no further file is fetched
        if (entry.url.empty()) continue;
        if (!EnsureSession(host)) {
            if (failures) *failures = failed + 1;
            return 0;
        }
        if (entry.ftp)
            failed += !FtpGetScanFile(entry, host);
        else if (entry.http)
            failed += !HttpGetScanFile(entry, host);
        if (failures) *failures = failed;
    }
    m_pFtp.reset();
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

void CScanFileTransfer::FetchScanFile(const STransferFile& file, ITransferHost& host) {
    if (!EnsureSession(host)) return;
    if (file.ftp)
        FtpGetScanFile(file, host);
    else
        HttpGetScanFile(file, host);
}

}  // namespace kolvane

namespace kolvane {
namespace {

class CTransferModule final : public ITransferModule {
  public:
    std::unique_ptr<ITransfer> NewTransfer() override {
        return std::make_unique<CScanFileTransfer>();
    }
    bool SplitUrl(std::string_view url, std::string_view defaultScheme,
                  STransferUrl& parts) const override {
        return SplitUrlParts(url, defaultScheme, parts);
    }
    std::string MaskUrl(std::string_view url) const override { return MaskUrlPassword(url); }
};

}  // namespace

ITransferModule& TransferModule() {
    static CTransferModule module;
    return module;
}

}  // namespace kolvane
