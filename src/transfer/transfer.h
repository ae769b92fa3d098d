// The remote transfer: fetching a rule's server-resident scan files by FTP or HTTP(S) before
// the scan, and uploading the output file by FTP or HTTP(S) PUT after the merge.
//
// CScanFileTransfer is the transfer state of one scan-file list (ITransfer): one session, at
// most one open FTP connection, HTTP connection and HTTP request, the outcomes of the last FTP
// and HTTP transfers, and scratch texts. The run keeps it as long as the list, so the outcomes
// survive from run to run; a redirect does not: it holds for the transfer that got it, and the
// next run asks the rule's URL again.
//
// Every operation keeps the engine's result convention: 1 for success, 0 for a failure that
// has already been written to the error log. A failure of the network never escapes:
// it is one plain error-log entry naming the server file and libcurl's text, and the pass or
// the run goes on. Everything the user sees goes through the run's ITransferHost: status
// pane texts (with pending events drained), the wait cursor, the credentials prompt on a 401.
// No URL is ever shown or logged with a password in it.
// An abort or a signal ends a transfer at once (CMyInternetSess::Perform); a transfer so ended
// writes no entry, and the fetch pass fetches no further file.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "transfer/file_schemes.h"
#include "transfer/remote_transfer.h"
#include "transfer/session.h"

namespace kolvane {

class CFtpConnection;
class CHttpConnection;
class CHttpRequest;

class CScanFileTransfer final : public ITransfer {
  public:
    CScanFileTransfer();
    ~CScanFileTransfer() override;

    // See ITransfer; an earlier failure of the fetch pass is not hidden by a later success.
    int FetchRemoteScanFiles(const std::vector<STransferFile>& files, ITransferHost& host,
                             int* failures) override;
    int UploadOutputFile(const STransferFile& output, ITransferHost& host) override;
    void FetchScanFile(const STransferFile& file, ITransferHost& host) override;
    void EndSession() override;

    bool EnsureSession(ITransferHost& host);
    int OpenFtpConnection(const STransferFile& entry, ITransferHost& host, std::string& server);
    // Opens the connection for `url`, the entry's own URL when null.
    int OpenHttpConnection(const STransferFile& entry, ITransferHost& host, std::string& server,
                           std::string& path, const std::string* url = nullptr);
    void ShowTransferStatus(ITransferHost& host, std::string_view label, std::string_view text);

    // How one HTTP transfer sends its request: the verb, the body of a PUT, and the sending of
    // the open request (false after its failure was reported).
    struct SHttpExchange {
        const char* verb;
        bool upload;
        std::string_view body;
        std::function<bool()> send;
    };
    // Sends the open request and takes the steps every HTTP transfer takes on its answer: a
    // 401 asks for credentials and sends again, 402 to 505 is reported with the server's
    // headers, a redirect is followed once with the same verb and body. The status of the
    // last answer (which the caller judges), or -1 after a failure that is reported.
    long HttpStatusChain(const STransferFile& entry, ITransferHost& host,
                         const SHttpExchange& exchange);

    int FtpGetScanFile(const STransferFile& entry, ITransferHost& host);
    int HttpGetScanFile(const STransferFile& entry, ITransferHost& host);
    void ReportHttpStatus(long status, std::string_view headers, ITransferHost& host);
    int FtpUploadFile(const STransferFile& entry, ITransferHost& host);
    int HttpUploadFile(const STransferFile& entry, ITransferHost& host);

    // The bounds of the sessions opened from now on (tests lower the time-outs).
    void SetLimits(const STransferLimits& limits) { m_limits = limits; }
    const STransferLimits& Limits() const { return m_limits; }

    int m_nLastFtp = 0;   // 0 or 1: the most recent FTP fetch
    int m_nLastHttp = 0;  // 0 or 1: the most recent HTTP fetch or upload
    // Declared so that destruction closes the request, the FTP connection, the HTTP connection
    // and then the session, which the connections borrow.
    std::unique_ptr<CMyInternetSess> m_pSession;
    std::unique_ptr<CHttpConnection> m_pHttp;
    std::unique_ptr<CFtpConnection> m_pFtp;
    std::unique_ptr<CHttpRequest> m_pRequest;
    std::string m_strMessage;                        // scratch: error-log texts being assembled
    EUrlService m_serviceType = EUrlService::Other;  // of the last URL parsed
    EFileProtocol m_fileProtocol = EFileProtocol::Ftp;  // of the last FTP or SFTP URL parsed
    int m_nPort = 0;                                 // of the last URL parsed

  private:
    // Splits `url`, the URL of `entry` or one it was redirected to ("ftp://" or "http://" put
    // in front only when it names no scheme), and checks its scheme and server; 0 after the entry
    // when it is not a usable URL.
    int ParseServerUrl(const STransferFile& entry, const std::string& url, ITransferHost& host,
                       bool ftp, STransferUrl& out);
    // Writes the one entry for a failure of the network library.
    void LogNetworkFailure(ITransferHost& host, const STransferFile& entry,
                           const std::string& text);
    // Writes the entry saying that an FTP transfer is tried again in passive mode.
    void LogPassiveRetry(ITransferHost& host, const STransferFile& entry);
    // Sends the open request; false (after the entry) when the network failed.
    bool SendRequest(const STransferFile& entry, ITransferHost& host);
    // The credentials prompt on a 401, shown at most 3 times; true when new credentials came.
    bool AskForCredentials(ITransferHost& host);
    // Follows the redirect answered to the open request (see IsRedirectStatus): resolves the
    // "Location" against the request's URL, reconnects and makes (but does not send) the new
    // request of the same verb for the new URL's path. The rule's credentials go along only
    // when the new URL has the rule URL's scheme, server and port. The entry keeps its URL.
    // False after a failure that is reported.
    bool FollowRedirect(const STransferFile& entry, ITransferHost& host, const std::string& verb,
                        bool upload, std::string_view body);
    void CloseHttp();

    STransferLimits m_limits;
};

// Request path of a transfer: the server directory with a "/" in front, a "/" unless it ends
// with one or the server file is empty, and the server file.
std::string HttpRequestPath(std::string_view serverDir, std::string_view serverFile);

// The module's one instance, handed out by its entry point.
ITransferModule& TransferModule();

}  // namespace kolvane
