// What every transfer test needs: the run's transfer over the transfer library linked in, an
// engine on a fixed clock whose error log is open in a temporary directory, a recording host, and
// short bounds so that stalls fail fast.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "recording_host.h"
#include "temp_dir.h"
#include "test_servers.h"
#include "transfer/transfer.h"
#include "run/transfer_loader.h"

namespace kolvane::test {

// Names parameterised cases after their `name` field.
struct CaseName {
    template <class P>
    std::string operator()(const ::testing::TestParamInfo<P>& p) const {
        return p.param.name;
    }
};

// One case of a fault matrix: what the raw responder sends, or another URL to reach instead.
struct SFaultCase {
    const char* name;
    std::string reply;  // "{port}" stands for the responder's own port
    ERawThen then;
    const char* entry;          // the one entry's start
    const char* url = nullptr;  // instead of the responder's; "{free}": a port nobody listens on
    std::size_t prompts = 0;    // credentials prompts (the host answers force-retry every time)
    friend void PrintTo(const SFaultCase& c, std::ostream* os) { *os << c.name; }
};

inline std::string Replaced(std::string text, const std::string& what, const std::string& with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.replace(at, what.size(), with);
    return text;
}

// The responder that answers every request with the case's reply.
inline std::unique_ptr<CRawResponder> FaultResponder(const SFaultCase& c) {
    auto port = std::make_shared<std::atomic<int>>(0);
    auto responder = std::make_unique<CRawResponder>([&c, port](const std::string&, int) {
        return SRawReply{Replaced(c.reply, "{port}", std::to_string(port->load())), c.then};
    });
    *port = responder->Port();
    return responder;
}

// The URL the case's transfer goes to.
inline std::string FaultUrl(const SFaultCase& c, const CRawResponder& raw) {
    return c.url ? Replaced(c.url, "{free}", std::to_string(FreePort())) : raw.BaseUrl();
}

class TransferTest : public ::testing::Test {
  protected:
    TransferTest() {
        engine.FormatSysDate();
        engine.FormatSysTime();
        engine.OpenErrorLog(dir.Path(), "err.log");
        STransferLimits limits;
        limits.connectTimeoutSec = 5;
        limits.stallTimeoutSec = 2;
        Transfer().SetLimits(limits);
    }

    CScanFileTransfer& TransferOf(CScanFileList& list) {
        return static_cast<CScanFileTransfer&>(remote->TransferOf(list, engine));
    }
    CScanFileTransfer& Transfer() { return TransferOf(doc.m_scanFiles); }

    CScanFile& AddScanFile(bool ftp, std::string url, std::string serverDir, std::string serverFile,
                           std::string localName) {
        CScanFile& f = *doc.m_scanFiles.AddNewScanFile();
        f.m_bFtp = ftp ? 1 : 0;
        f.m_bHttp = ftp ? 0 : 1;
        f.m_strUrl = std::move(url);
        f.m_strServerDir = std::move(serverDir);
        f.m_strServerFile = std::move(serverFile);
        f.m_strPath = dir.Path();
        f.m_strName = std::move(localName);
        return f;
    }

    int Fetch() { return remote->FetchRemoteScanFiles(doc.m_scanFiles, engine, nullptr); }

    void SetUpload(std::string url, std::string serverDir, std::string serverFile,
                   std::string_view contents) {
        doc.m_cmd.m_strUploadUrl = std::move(url);
        doc.m_cmd.m_strUploadUserId = "anonymous";
        doc.m_cmd.m_strUploadServerDir = std::move(serverDir);
        doc.m_cmd.m_strUploadServerFile = std::move(serverFile);
        doc.m_cmd.m_strOutputPath = dir.Path();
        doc.m_cmd.m_strOutputName = "out.html";
        dir.Write("out.html", contents);
    }

    int Upload() { return remote->UploadOutputFile(doc.m_scanFiles, engine); }

    std::string Local(std::string_view name) const { return ReadFile(dir / name); }
    std::string ErrorLog() const { return ReadFile(dir / "err.log"); }
    // One plain entry as the error log stamps it.
    std::string Entry(std::string_view text) const {
        return std::string(text) + "  *** " + engine.DateText() + " " + engine.TimeText() +
               " ***\r\n";
    }
    // The number of entries in the error log.
    int EntryCount() const {
        std::string log = ErrorLog();
        int n = 0;
        for (std::size_t at = log.find(" ***\r\n"); at != std::string::npos;
             at = log.find(" ***\r\n", at + 1))
            ++n;
        return n;
    }

    // The number of file descriptors the test process holds (a leaked socket or file shows).
    static int OpenFds() {
        int n = 0;
        for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
        return n;
    }

    CTempDir dir;
    CKolvaneDocData doc;
    CRecordingHost host;
    CFixedClock clock{{2005, 1, 5, 0, 15, 9}};
    CKolvaneEngine engine{doc, host, clock};
    std::unique_ptr<IRemoteTransfer> remote = RemoteTransferOver(TransferModule());
};

}  // namespace kolvane::test
