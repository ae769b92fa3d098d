// The transfer module loader (dlopen of kolvane-transfer.so relative to /proc/self/exe), and
// the engine behind the module's host interface.
#include "run/transfer_loader.h"

#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "engine/file_io.h"
#include "engine/shown_text.h"
#include "engine/text_ops.h"
#include "engine/url_splitter.h"

namespace kolvane {
namespace {

// A local copy written whole or not at all.
class CLocalCopy final : public ILocalCopy {
  public:
    explicit CLocalCopy(const std::string& onDisk) { m_file.Open(onDisk); }
    bool IsOpen() const override { return m_file.IsOpen(); }
    bool Write(std::string_view bytes) override { return m_file.Write(bytes); }
    bool Commit() override { return m_file.Commit(/*durable=*/false); }
    bool RefusedLink() const override { return m_file.RefusedLink(); }
    std::string LinkRefusal() const override {
        return m_file.RefusedLink() ? std::string(kForeignLinkText) : std::string();
    }

  private:
    CAtomicFile m_file;
};

// The engine as the transfer's host. Kept with the transfer state of a list, as the module's
// session holds on to its host between calls.
class CEngineTransferHost final : public ITransferHost {
  public:
    void Bind(CKolvaneEngine& engine) { m_engine = &engine; }

    void LogEntry(const std::string& text) override { m_engine->LogEntry(text); }
    void LogExcluding(const std::string& text) override {
        m_engine->LogEntry(text, ELogKind::Excluding);
    }
    void SetPane(int pane, const std::string& text) override { m_engine->SetPane(pane, text); }
    void PumpMessages() override { m_engine->PumpMessages(); }
    bool Aborted() const override { return m_engine->Doc().m_bAbort; }
    void BeginWaitCursor() override { m_engine->Host().BeginWaitCursor(); }
    void RestoreWaitCursor() override { m_engine->Host().RestoreWaitCursor(); }
    void EndWaitCursor() override { m_engine->Host().EndWaitCursor(); }
    ECredentials AskCredentials(const std::string& url, std::string& user,
                                std::string& password) override {
        switch (m_engine->Host().AskCredentials(url, user, password)) {
            case ECredentialsResult::Success:
                return ECredentials::Given;
            case ECredentialsResult::ForceRetry:
                return ECredentials::ForceRetry;
            case ECredentialsResult::Cancelled:
                return ECredentials::Cancelled;
            case ECredentialsResult::Other:
                break;
        }
        return ECredentials::Other;
    }

    std::string ResolvePath(const std::string& dir, const std::string& name) const override {
        return m_engine->ResolvePath(dir, name);
    }
    std::string ShownPath(const std::string& dir, const std::string& name) const override {
        return JoinPath(dir, name);
    }
    std::unique_ptr<ILocalCopy> OpenLocalCopy(const std::string& onDisk) override {
        return std::make_unique<CLocalCopy>(onDisk);
    }
    ELocalRead ReadLocalFile(const std::string& onDisk, std::string& data) override {
        std::size_t length = 0;
        try {
            switch (ReadWholeFile(onDisk, kMaxFileSize, data, &length)) {
                case EReadResult::Ok:
                    data.resize(length);  // without the two NULs after the text
                    return ELocalRead::Ok;
                case EReadResult::OpenFailed:
                    return ELocalRead::OpenFailed;
                case EReadResult::Empty:
                    return ELocalRead::Empty;
                case EReadResult::TooBig:
                    return ELocalRead::TooBig;
                case EReadResult::ReadFailed:
                    break;
            }
        } catch (const std::bad_alloc&) {
            return ELocalRead::NoMemory;
        }
        return ELocalRead::ReadFailed;
    }

    std::string ServerText(std::string_view text) const override {
        return kolvane::ServerText(text);
    }

  private:
    CKolvaneEngine* m_engine = nullptr;
};

// What a scan-file list keeps of the transfer; the host is declared first, so the module's
// state (whose session borrows it) goes first.
class CListTransfer final : public CTransferState {
  public:
    CEngineTransferHost host;
    std::unique_ptr<ITransfer> transfer;
};

STransferFile TransferFileOf(const CScanFile& f) {
    return {f.m_strUrl,  f.m_strUserId, f.m_strUserPw, f.m_strServerDir, f.m_strServerFile,
            f.m_strPath, f.m_strName,   f.m_bFtp != 0, f.m_bHttp != 0};
}

class CRemoteTransfer final : public IRemoteTransfer {
  public:
    explicit CRemoteTransfer(ITransferModule& module) : m_module(module) {}

    int FetchRemoteScanFiles(CScanFileList& list, CKolvaneEngine& engine, int* failures) override {
        std::vector<STransferFile> files;
        files.reserve(list.size());
        for (const auto& f : list) files.push_back(TransferFileOf(*f));
        CListTransfer& state = StateOf(list, engine);
        return state.transfer->FetchRemoteScanFiles(files, state.host, failures);
    }
    int UploadOutputFile(CScanFileList& list, CKolvaneEngine& engine) override {
        const CCommandSection& cmd = engine.Doc().m_cmd;
        STransferFile output;
        output.url = cmd.m_strUploadUrl;
        output.userId = cmd.m_strUploadUserId;
        output.userPw = cmd.m_strUploadPassword;
        output.serverDir = cmd.m_strUploadServerDir;
        output.serverFile = cmd.m_strUploadServerFile;
        output.path = cmd.m_strOutputPath;
        output.name = cmd.m_strOutputName;
        CListTransfer& state = StateOf(list, engine);
        return state.transfer->UploadOutputFile(output, state.host);
    }
    void FetchScanFile(CScanFileList& list, CScanFile& file, CKolvaneEngine& engine) override {
        CListTransfer& state = StateOf(list, engine);
        state.transfer->FetchScanFile(TransferFileOf(file), state.host);
    }
    void EndSession(CScanFileList& list) override {
        if (auto* state = dynamic_cast<CListTransfer*>(list.m_pTransfer.get()))
            state->transfer->EndSession();
    }
    ITransfer& TransferOf(CScanFileList& list, CKolvaneEngine& engine) override {
        return *StateOf(list, engine).transfer;
    }

  private:
    CListTransfer& StateOf(CScanFileList& list, CKolvaneEngine& engine) {
        auto* state = dynamic_cast<CListTransfer*>(list.m_pTransfer.get());
        if (!state) {
            auto made = std::make_unique<CListTransfer>();
            made->transfer = m_module.NewTransfer();
            state = made.get();
            list.m_pTransfer = std::move(made);
        }
        state->host.Bind(engine);
        return *state;
    }

    ITransferModule& m_module;
};

// The loader's reason, without the module's path it usually starts with.
std::string LoaderError(const std::string& path) {
    const char* text = dlerror();
    std::string why = text ? text : "unknown error";
    if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);
    return why;
}

// Where the module is: in the programs' private library folder, found from the running
// program's own path (the same relative place in the build tree and when installed).
std::string RemoteTransferModulePath() {
    char exe[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return KOLVANE_TRANSFER_MODULE_INSTALLED;  // no /proc: the installed place
    const std::filesystem::path program(std::string(exe, static_cast<std::size_t>(n)));
    return (program.parent_path() / KOLVANE_TRANSFER_MODULE_FROM_BIN).lexically_normal();
}

// The module, loaded on the first call and kept for the life of the process (the lists'
// transfer states are its objects); null with the loader's reason in `why` when it cannot be
// loaded, tried again on the next call.
ITransferModule* TransferModule(std::string& path, std::string& why) {
    static ITransferModule* s_module = nullptr;
    if (s_module) return s_module;
    path = RemoteTransferModulePath();
    if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        auto entry = reinterpret_cast<KolvaneRemoteTransferEntry>(
            dlsym(module, KOLVANE_REMOTE_TRANSFER_ENTRY));
        if ((s_module = entry ? entry() : nullptr)) {
            // A write on a connection the peer has reset must fail with EPIPE and end that
            // transfer with an entry, never end the process; left alone when a program has
            // chosen its own handling.
            struct sigaction pipe {};
            if (sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
                std::signal(SIGPIPE, SIG_IGN);
            return s_module;
        }
        why = entry ? "it has no transfer" : LoaderError(path);
        dlclose(module);
    } else {
        why = LoaderError(path);
    }
    return nullptr;
}

SUrlParts UrlPartsOf(const STransferUrl& url) {
    return {url.scheme,    url.host, url.port,
            url.portGiven, url.path, url.service == EUrlService::Http};
}

// The splitter over a module at hand.
class CUrlSplitterOver final : public IUrlSplitter {
  public:
    explicit CUrlSplitterOver(const ITransferModule& module) : m_module(module) {}
    EUrlRead SplitRuleUrl(std::string_view url, std::string_view defaultScheme,
                          SUrlParts& parts) const override {
        STransferUrl split;
        if (!m_module.SplitUrl(url, defaultScheme, split)) return EUrlRead::Refused;
        parts = UrlPartsOf(split);
        return EUrlRead::Split;
    }
    std::string MaskUrl(std::string_view url) const override { return m_module.MaskUrl(url); }

  private:
    const ITransferModule& m_module;
};

// The splitter that loads the module on first use.
class CModuleUrlSplitter final : public IUrlSplitter {
  public:
    EUrlRead SplitRuleUrl(std::string_view url, std::string_view defaultScheme,
                          SUrlParts& parts) const override {
        return Splitter().SplitRuleUrl(url, defaultScheme, parts);
    }
    std::string MaskUrl(std::string_view url) const override {
        // Without "@" a URL has no user part, so nothing to mask: no module is loaded for the
        // empty or plain URLs of a local rule's reports.
        if (url.find('@') == std::string_view::npos) return std::string(url);
        return Splitter().MaskUrl(url);
    }

  private:
    const IUrlSplitter& Splitter() const {
        if (m_over) return *m_over;
        std::string path, why;
        if (ITransferModule* module = TransferModule(path, why)) {
            m_over = std::make_unique<CUrlSplitterOver>(*module);
            return *m_over;
        }
        return NoUrlSplitter();
    }

    mutable std::unique_ptr<CUrlSplitterOver> m_over;
};

}  // namespace

std::unique_ptr<IRemoteTransfer> RemoteTransferOver(ITransferModule& module) {
    return std::make_unique<CRemoteTransfer>(module);
}

IRemoteTransfer* RemoteTransfer(CKolvaneEngine& engine) {
    // Kept for the life of the process, as the module is.
    static std::unique_ptr<IRemoteTransfer> s_transfer;
    if (s_transfer) return s_transfer.get();
    std::string path, why;
    if (ITransferModule* module = TransferModule(path, why)) {
        s_transfer = RemoteTransferOver(*module);
        return s_transfer.get();
    }
    engine.LogEntry("Cannot load the network transfer module " + path + ": " + why);
    return nullptr;
}

void InstallModuleUrlSplitter() {
    static const CModuleUrlSplitter s_splitter;
    SetUrlSplitter(&s_splitter);
}

}  // namespace kolvane
