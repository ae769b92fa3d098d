// UploadOutputFile: the upload entry made from the command section, and the choice between
// HTTP PUT and FTP.
#include "text_ops.h"
#include "transfer.h"

namespace kolvane {

int CScanFileTransfer::UploadOutputFile(CKolvaneEngine& view) {
    const CCommandSection& cmd = view.Doc().m_cmd;
    if (cmd.m_strUploadUrl.empty()) return 0;
    CScanFile entry;
    entry.m_strUrl = cmd.m_strUploadUrl;
    entry.m_strUserId = cmd.m_strUploadUserId;
    entry.m_strUserPw = cmd.m_strUploadPassword;
    entry.m_strServerDir = cmd.m_strUploadServerDir;
    entry.m_strServerFile = cmd.m_strUploadServerFile;
    entry.m_strPath = cmd.m_strOutputPath;
    entry.m_strName = cmd.m_strOutputName;

    view.Host().BeginWaitCursor();
    const bool http =
        FindText(entry.m_strUrl, "http:") != npos || FindText(entry.m_strUrl, "https:") != npos;
    int result = http ? HttpUploadFile(entry, view) : FtpUploadFile(entry, view);
    view.Host().EndWaitCursor();
    return result;
}

}  // namespace kolvane
