// HttpUploadFile: the output file sent by one HTTP PUT with its body (and once more after new
// credentials or one redirect, which keeps the method and the body). 200, 201 and 204 are
// success; every other answer is a failure with its entry in the error log.
#include "transfer/entry_text.h"
#include "transfer/http_connection.h"
#include "transfer/transfer.h"

namespace kolvane {
namespace {

bool Uploaded(long status) {
    return status == 200 || status == 201 || status == 204;
}

}  // namespace

int CScanFileTransfer::HttpUploadFile(const STransferFile& entry, ITransferHost& host) {
    ShowTransferStatus(host, "Putting via http:", entry.serverFile);
    host.BeginWaitCursor();
    if (!EnsureSession(host)) {
        host.EndWaitCursor();
        return 0;
    }
    auto end = [&](int result) {
        m_nLastHttp = result;
        CloseHttp();
        host.EndWaitCursor();
        return result;
    };
    std::string server, path;
    if (!OpenHttpConnection(entry, host, server, path)) return end(0);
    host.RestoreWaitCursor();

    // The file is read before anything is sent, so a bad local file changes nothing remote.
    const std::string local = host.ShownPath(entry.path, entry.name);
    std::string data;
    switch (host.ReadLocalFile(host.ResolvePath(entry.path, entry.name), data)) {
        case ELocalRead::Ok:
            break;
        case ELocalRead::NoMemory:
            host.LogExcluding(
                WithName("Failed to allocate memory to read Scource File %s!", local));
            return end(0);
        case ELocalRead::OpenFailed:
            host.LogEntry(WithName("Couldn't Open local file: %s!\r\n", local));
            return end(0);
        case ELocalRead::Empty:
            host.LogEntry(WithName("Source File %s is Empty!", local));
            return end(0);
        case ELocalRead::TooBig:
            host.LogEntry(WithName("Source File %s is tooooooo big!", local));
            return end(0);
        case ELocalRead::ReadFailed:
            host.LogExcluding(WithName("Failed to Read Source File %s!", local));
            return end(0);
    }
    const std::string_view body(data);

    m_pRequest = std::make_unique<CHttpRequest>(*m_pHttp, "PUT",
                                                HttpRequestPath(entry.serverDir, entry.serverFile));
    m_pRequest->AddHeader("Accept: */*");
    m_pRequest->AddHeader("User-Agent: Kolvane");
    m_pRequest->AddHeader("Expect:");
    m_pRequest->SetBody(body);
    const long status =
        HttpStatusChain(entry, host, {"PUT", true, body, [&] { return SendRequest(entry, host); }});
    if (status < 0) return end(0);
    // Also the answer to a redirected PUT, a second 401 and every status no case above takes.
    if (!Uploaded(status)) {
        host.LogEntry(GotStatusText(status, "putting", entry.serverDir));
        return end(0);
    }
    return end(1);
}

}  // namespace kolvane
