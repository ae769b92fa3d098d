// FtpGetScanFile: one scan file fetched by FTP.
#include "entry_text.h"
#include "file_io.h"
#include "ftp_connection.h"
#include "shown_text.h"
#include "text_ops.h"
#include "transfer.h"

namespace kolvane {

int CScanFileTransfer::FtpGetScanFile(CScanFile& entry, CKolvaneEngine& view) {
    CRunHost& host = view.Host();
    host.BeginWaitCursor();
    if (!EnsureSession(view)) {
        host.EndWaitCursor();
        return 0;
    }
    std::string server;
    if (!OpenFtpConnection(entry, view, server)) {
        m_nLastFtp = 0;
    } else {
        host.RestoreWaitCursor();
        const std::string& dir = entry.m_strServerDir;
        std::string current = EnterServerDirectory(*m_pFtp, dir);
        if (m_pFtp->Broken()) {
            LogNetworkFailure(view, entry, m_pFtp->ErrorText());
            m_nLastFtp = 0;
        } else {
            if (current.find(dir) == std::string::npos) {
                m_strMessage = "Download Server Directory: '" + dir + "' does not exist!\r\n" +
                               "Path reset to '" + ServerText(current) + "'";
                view.LogNote(m_strMessage);
                m_nLastFtp = 0;
            }
            ShowTransferStatus(view, "Getting via ftp:", entry.m_strServerFile);
            const std::string local = view.ResolvePath(entry.m_strPath, entry.m_strName);
            const bool got = m_pFtp->GetFile(entry.m_strServerFile, local);
            if (m_pFtp->WentPassive()) LogPassiveRetry(view, entry);
            if (got) {
                m_nLastFtp = 1;
            } else {
                if (m_pFtp->RefusedLocalLink())
                    view.LogNote(WithName("Couldn't Open local file: %s!\r\n",
                                          JoinPath(entry.m_strPath, entry.m_strName) +
                                              std::string(kForeignLinkText)));
                else if (m_pFtp->RefusedByServer())
                    view.LogNote("Failed to retrieve ftp file: " + entry.m_strServerFile);
                else
                    LogNetworkFailure(view, entry, m_pFtp->ErrorText());
                m_nLastFtp = 0;
            }
        }
    }
    m_pFtp.reset();
    host.EndWaitCursor();
    return m_nLastFtp;
}

}  // namespace kolvane
