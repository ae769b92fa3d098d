// FtpGetScanFile: one scan file fetched by FTP.
#include "transfer/entry_text.h"
#include "transfer/ftp_connection.h"
#include "transfer/transfer.h"

namespace kolvane {

int CScanFileTransfer::FtpGetScanFile(const STransferFile& entry, ITransferHost& host) {
    host.BeginWaitCursor();
    if (!EnsureSession(host)) {
        host.EndWaitCursor();
        return 0;
    }
    std::string server;
    if (!OpenFtpConnection(entry, host, server)) {
        m_nLastFtp = 0;
    } else {
        host.RestoreWaitCursor();
        const std::string& dir = entry.serverDir;
        std::string current = EnterServerDirectory(*m_pFtp, dir);
        if (m_pFtp->Broken()) {
            LogNetworkFailure(host, entry, m_pFtp->ErrorText());
            m_nLastFtp = 0;
        } else {
            if (current.find(dir) == std::string::npos) {
                m_strMessage = "Download Server Directory: '" + dir + "' does not exist!\r\n" +
                               "Path reset to '" + host.ServerText(current) + "'";
                host.LogEntry(m_strMessage);
                m_nLastFtp = 0;
            }
            ShowTransferStatus(host, "Getting via ftp:", entry.serverFile);
            const std::string local = host.ResolvePath(entry.path, entry.name);
            const std::unique_ptr<ILocalCopy> copy = host.OpenLocalCopy(local);
            const bool got = m_pFtp->GetFile(entry.serverFile, *copy, local);
            if (m_pFtp->WentPassive()) LogPassiveRetry(host, entry);
            if (got) {
                m_nLastFtp = 1;
            } else {
                if (m_pFtp->RefusedLocalLink())
                    host.LogEntry(
                        WithName("Couldn't Open local file: %s!\r\n",
                                 host.ShownPath(entry.path, entry.name) + copy->LinkRefusal()));
                else if (m_pFtp->RefusedByServer())
                    host.LogEntry("Failed to retrieve ftp file: " + entry.serverFile);
                else
                    LogNetworkFailure(host, entry, m_pFtp->ErrorText());
                m_nLastFtp = 0;
            }
        }
    }
    // An SFTP connection stays for the pass's next file (see OpenFtpConnection).
    if (m_fileProtocol != EFileProtocol::Sftp || m_nLastFtp == 0) m_pFtp.reset();
    host.EndWaitCursor();
    return m_nLastFtp;
}

}  // namespace kolvane
