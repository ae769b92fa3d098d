// FtpUploadFile: the output file stored on an FTP server.
#include "transfer/ftp_connection.h"
#include "transfer/transfer.h"

namespace kolvane {

int CScanFileTransfer::FtpUploadFile(const STransferFile& entry, ITransferHost& host) {
    if (!EnsureSession(host)) return 0;
    int result = 0;
    std::string server;
    if (OpenFtpConnection(entry, host, server)) {
        host.RestoreWaitCursor();
        const std::string& dir = entry.serverDir;
        std::string current = EnterServerDirectory(*m_pFtp, dir);
        if (m_pFtp->Broken()) {
            LogNetworkFailure(host, entry, m_pFtp->ErrorText());
        } else if (dir.find('~') == std::string::npos && current.find(dir) == std::string::npos) {
            m_strMessage = "Upload Server Directory: '" + dir + "' does not exist!\r\n" +
                           "Path reset to '" + host.ServerText(current) + "'";
            host.LogEntry(m_strMessage);
            m_nLastFtp = 0;
        } else {
            ShowTransferStatus(host, "Uploadinging via ftp:", entry.serverFile);
            const std::string local = host.ResolvePath(entry.path, entry.name);
            const bool put = !entry.serverFile.empty() && m_pFtp->PutFile(local, entry.serverFile);
            if (m_pFtp->WentPassive()) LogPassiveRetry(host, entry);
            if (put) {
                result = 1;
            } else if (entry.serverFile.empty() || m_pFtp->RefusedByServer()) {
                host.LogEntry("Failed to upload file: " + entry.serverFile);
            } else {
                LogNetworkFailure(host, entry, m_pFtp->ErrorText());
            }
        }
    }
    m_pFtp.reset();
    m_pSession.reset();
    return result;
}

}  // namespace kolvane
