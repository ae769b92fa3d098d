// UploadOutputFile: the choice between HTTP PUT and FTP.
#include "transfer/ascii_fold.h"
#include "transfer/transfer.h"

namespace kolvane {

int CScanFileTransfer::UploadOutputFile(const STransferFile& output, ITransferHost& host) {
    if (output.url.empty()) return 0;
    host.BeginWaitCursor();
    const bool http =
        ContainsAsciiFolded(output.url, "http:") || ContainsAsciiFolded(output.url, "https:");
    int result = http ? HttpUploadFile(output, host) : FtpUploadFile(output, host);
    host.EndWaitCursor();
    return result;
}

}  // namespace kolvane
