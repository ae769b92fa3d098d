// FtpUploadFile: the output file stored on an FTP server.
#include "ftp_connection.h"
#include "shown_text.h"
#include "text_ops.h"
#include "transfer.h"

namespace kolvane {

int CScanFileTransfer::FtpUploadFile(CScanFile& entry, CKolvaneEngine& view) {
    if (!EnsureSession(view)) return 0;
    CRunHost& host = view.Host();
    int result = 0;
    std::string server;
    if (OpenFtpConnection(entry, view, server)) {
        host.RestoreWaitCursor();
        const std::string& dir = entry.m_strServerDir;
        std::string current = EnterServerDirectory(*m_pFtp, dir);
        if (m_pFtp->Broken()) {
            LogNetworkFailure(view, entry, m_pFtp->ErrorText());
        } else if (dir.find('~') == std::string::npos && current.find(dir) == std::string::npos) {
            m_strMessage = "Upload Server Directory: '" + dir + "' does not exist!\r\n" +
                           "Path reset to '" + ServerText(current) + "'";
            view.LogNote(m_strMessage);
            m_nLastFtp = 0;
        } else {
            ShowTransferStatus(view, "Uploadinging via ftp:", entry.m_strServerFile);
            const std::string local = view.ResolvePath(entry.m_strPath, entry.m_strName);
            const bool put =
                !entry.m_strServerFile.empty() && m_pFtp->PutFile(local, entry.m_strServerFile);
            if (m_pFtp->WentPassive()) LogPassiveRetry(view, entry);
            if (put) {
                result = 1;
            } else if (entry.m_strServerFile.empty() || m_pFtp->RefusedByServer()) {
                view.LogNote("Failed to upload file: " + entry.m_strServerFile);
            } else {
                LogNetworkFailure(view, entry, m_pFtp->ErrorText());
            }
        }
    }
    m_pFtp.reset();
    m_pSession.reset();
    return result;
}

}  // namespace kolvane
