// The remote transfer's own interface: what the module kolvane-transfer.so hands out, and what
// it needs from the run that loads it.
//
// The transfer is built on libcurl, which brings some thirty more shared libraries into a
// process; a run whose rule names no server should not pay for loading them at every start.
// So the transfer is a module of its own (in the programs' private library folder) that the run
// loads on first use (src/run/transfer_loader.h) through one C entry point. The module links
// libcurl and the transfer code only: it holds no copy of the engine, and reaches the run only
// through ITransferHost below, whose implementation (over the engine) is the run's. So the
// interface carries plain types of its own and of the C++ standard library only.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kolvane {

// A file of a transfer: a scan file to fetch, or the output file to upload.
struct STransferFile {
    std::string url;  // as the rule gives it
    std::string userId;
    std::string userPw;
    std::string serverDir;
    std::string serverFile;
    std::string path;  // the local file, as the rule writes it
    std::string name;
    bool ftp = false;   // a scan file fetched by FTP
    bool http = false;  // a scan file fetched by HTTP
};

// What a transfer does with a URL's scheme.
enum class EUrlService { Other, Ftp, Http };

// The parts of a URL a transfer uses, split as the rule reader splits it (the module splits
// for both).
struct STransferUrl {
    std::string scheme;  // lower case
    std::string host;    // "%XX" decoded; an IPv4 or IPv6 address in its normal form
    int port = 0;        // the URL's, or the scheme's default (0 for a scheme libcurl lacks)
    bool portGiven = false;
    std::string path;  // the object: path ("." and ".." resolved) and "?" query, at least "/"
    EUrlService service = EUrlService::Other;
};

// A local copy of a fetched file, replacing its target only when committed (not flushed to
// disk: it is fetched anew every run); destroying an uncommitted copy leaves the target alone.
class ILocalCopy {
  public:
    virtual ~ILocalCopy() = default;
    virtual bool IsOpen() const = 0;
    virtual bool Write(std::string_view bytes) = 0;
    virtual bool Commit() = 0;
    // The opening refused a symbolic link of another user; `LinkRefusal()` says so after a name.
    virtual bool RefusedLink() const = 0;
    virtual std::string LinkRefusal() const = 0;
};

enum class ELocalRead { Ok, OpenFailed, Empty, TooBig, ReadFailed, NoMemory };
enum class ECredentials { Given, ForceRetry, Cancelled, Other };

// The run as the transfer sees it. Every text the user sees goes through here: error-log
// entries, status panes (with the window's pending events drained), the wait cursor, the
// credentials prompt; so do the run's stop, the places of local files and how outside text
// is shown.
class ITransferHost {
  public:
    virtual void LogEntry(const std::string& text) = 0;
    // An entry for a failure that leaves the file out of the run.
    virtual void LogExcluding(const std::string& text) = 0;
    virtual void SetPane(int pane, const std::string& text) = 0;
    // Dispatches pending events; may throw to end the program at once.
    virtual void PumpMessages() = 0;
    // The run was asked to stop.
    virtual bool Aborted() const = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void RestoreWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    // The prompt after an HTTP 401; on Given, `user` and `password` hold the answers.
    virtual ECredentials AskCredentials(const std::string& url, std::string& user,
                                        std::string& password) = 0;

    // Where a rule's local file is on disk, and how entries name it.
    virtual std::string ResolvePath(const std::string& dir, const std::string& name) const = 0;
    virtual std::string ShownPath(const std::string& dir, const std::string& name) const = 0;
    // A local copy written at `onDisk` (always an object; see IsOpen and RefusedLink).
    virtual std::unique_ptr<ILocalCopy> OpenLocalCopy(const std::string& onDisk) = 0;
    // Reads a local file whole within the run's size limit into `data`.
    virtual ELocalRead ReadLocalFile(const std::string& onDisk, std::string& data) = 0;

    // A server's text on one line of an entry, its control bytes and stamp-like runs escaped.
    virtual std::string ServerText(std::string_view text) const = 0;

  protected:
    ~ITransferHost() = default;
};

// The transfer state of one scan-file list: one session, the open connections and request,
// and the outcomes of the last FTP and HTTP transfers, which live as long as the state (from
// run to run). Every operation writes its failures to the error log; 1 is success.
class ITransfer {
  public:
    virtual ~ITransfer() = default;
    // The fetch pass over every file with a URL, the session closed afterwards; nonzero when
    // the last FTP fetch or the last HTTP fetch succeeded. `failures` receives the number of
    // fetches that failed. No file is fetched after the run was asked to stop.
    virtual int FetchRemoteScanFiles(const std::vector<STransferFile>& files, ITransferHost& host,
                                     int* failures) = 0;
    // Uploads the output file (HTTP PUT for an http or https URL, else FTP); 0 without a URL.
    virtual int UploadOutputFile(const STransferFile& output, ITransferHost& host) = 0;
    // Fetches one file, opening the session first when none is open; EndSession closes it.
    virtual void FetchScanFile(const STransferFile& file, ITransferHost& host) = 0;
    virtual void EndSession() = 0;
};

class ITransferModule {
  public:
    virtual std::unique_ptr<ITransfer> NewTransfer() = 0;
    // Splits `url` on libcurl's URL API; with a `defaultScheme`, as a rule gives a URL (that
    // scheme when it names none). False when it is no URL with a scheme and a server. The rule
    // reader asks this too, through the run.
    virtual bool SplitUrl(std::string_view url, std::string_view defaultScheme,
                          STransferUrl& parts) const = 0;
    // The URL with its password masked, as every text shows a URL.
    virtual std::string MaskUrl(std::string_view url) const = 0;

  protected:
    ~ITransferModule() = default;  // the module owns its one instance
};

}  // namespace kolvane

// The module's one exported symbol; the number changes with the interface, so a program and a
// module of two builds that disagree on it never meet.
#define KOLVANE_REMOTE_TRANSFER_ENTRY "kolvane_remote_transfer_3"
extern "C" {
using KolvaneRemoteTransferEntry = kolvane::ITransferModule* (*)();
}
