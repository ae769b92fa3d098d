// HttpUploadFile: the output file sent by one HTTP PUT with its body (and once more after new
// credentials or one redirect, which keeps the method and the body). 200, 201 and 204 are
// success; every other answer is a failure with its entry in the error log.
#include <new>

#include "entry_text.h"
#include "file_io.h"
#include "http_connection.h"
#include "redirect_target.h"
#include "text_ops.h"
#include "transfer.h"

namespace kolvane {
namespace {

bool Uploaded(long status) {
    return status == 200 || status == 201 || status == 204;
}

}  // namespace

int CScanFileTransfer::HttpUploadFile(CScanFile& entry, CKolvaneEngine& view) {
    CRunHost& host = view.Host();
    ShowTransferStatus(view, "Putting via http:", entry.m_strServerFile);
    host.BeginWaitCursor();
    if (!EnsureSession(view)) {
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
    if (!OpenHttpConnection(entry, view, server, path)) return end(0);
    host.RestoreWaitCursor();

    // The file is read before anything is sent, so a bad local file changes nothing remote.
    const std::string local = JoinPath(entry.m_strPath, entry.m_strName);
    std::string data;
    std::size_t length = 0;
    EReadResult read = EReadResult::ReadFailed;
    try {
        read = ReadWholeFile(view.ResolvePath(entry.m_strPath, entry.m_strName), kMaxFileSize, data,
                             &length);
    } catch (const std::bad_alloc&) {
        view.LogEntry(WithName("Failed to allocate memory to read Scource File %s!", local),
                      ELogKind::Excluding);
        return end(0);
    }
    switch (read) {
        case EReadResult::Ok:
            break;
        case EReadResult::OpenFailed:
            view.LogNote(WithName("Couldn't Open local file: %s!\r\n", local));
            return end(0);
        case EReadResult::Empty:
            view.LogNote(WithName("Source File %s is Empty!", local));
            return end(0);
        case EReadResult::TooBig:
            view.LogNote(WithName("Source File %s is tooooooo big!", local));
            return end(0);
        case EReadResult::ReadFailed:
            view.LogEntry(WithName("Failed to Read Source File %s!", local), ELogKind::Excluding);
            return end(0);
    }
    const std::string_view body(data.data(), length);

    m_pRequest = std::make_unique<CHttpRequest>(
        *m_pHttp, "PUT", HttpRequestPath(entry.m_strServerDir, entry.m_strServerFile));
    m_pRequest->AddHeader("Accept: */*");
    m_pRequest->AddHeader("User-Agent: Kolvane");
    m_pRequest->AddHeader("Expect:");
    m_pRequest->SetBody(body);
    if (!SendRequest(entry, view)) return end(0);
    long status = m_pRequest->Status();

    if (status == 401) {
        if (!AskForCredentials(view)) {
            m_strMessage = "Access denied: '" + entry.m_strServerDir + "' Invalid password!\r\n";
            view.LogNote(m_strMessage);
            return end(0);
        }
        if (!SendRequest(entry, view)) return end(0);
        status = m_pRequest->Status();
    }
    if (status >= 402 && status <= 505) {
        ReportHttpStatus(status, m_pRequest->RawHeaders(), view);
        return end(0);
    }
    if (IsRedirectStatus(status)) {
        if (!FollowRedirect(entry, view, "PUT", true, body)) return end(0);
        if (!SendRequest(entry, view)) return end(0);
        status = m_pRequest->Status();
    }
    // Also the answer to a redirected PUT, a second 401 and every status no case above takes.
    if (!Uploaded(status)) {
        view.LogNote(GotStatusText(status, "putting", entry.m_strServerDir));
        return end(0);
    }
    return end(1);
}

}  // namespace kolvane
