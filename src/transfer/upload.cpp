// UploadOutputFile: the choice between HTTP PUT and FTP.
#include "transfer/ascii_fold.h"
#include "transfer/transfer.h"
#include "transfer/url_parts.h"

namespace kolvane {

int CScanFileTransfer::UploadOutputFile(const STransferFile& output, ITransferHost& host) {
    if (output.url.empty()) return 0;
    host.BeginWaitCursor();
    // By the URL's scheme; one that does not split is refused by the transfer its text names.
    STransferUrl url;
    const bool http =
        SplitUrlParts(output.url, "ftp", url)
            ? url.service == EUrlService::Http
            : ContainsAsciiFolded(output.url, "http:") || ContainsAsciiFolded(output.url, "https:");
    int result = http ? HttpUploadFile(output, host) : FtpUploadFile(output, host);
    host.EndWaitCursor();
    return result;
}

}  // namespace kolvane
