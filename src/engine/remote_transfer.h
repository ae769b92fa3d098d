// The remote transfer as a run sees it: fetching a rule's server-resident scan files before the
// scan and uploading the output file after the merge.
//
// The transfer is built on libcurl, which brings some thirty more shared libraries into a
// process; a run whose rule names no server should not pay for loading them at every start.
// So the transfer is a module of its own (kolvane-transfer.so, in the programs' private library
// folder) that the run loads on first use (RemoteTransfer in src/run) and that hands out
// this interface through one C entry point. The interface carries the engine's own types only.
// The module stays loaded for the life of the process: the transfer state it leaves in a
// scan-file list (CScanFileList::m_pTransfer) is its object.
#pragma once

#include "engine.h"
#include "rule_model.h"

namespace kolvane {

class IRemoteTransfer {
  public:
    // The fetch pass over every scan file with a URL; nonzero when the last FTP fetch or the
    // last HTTP fetch succeeded. `failures` receives the number of fetches that failed.
    virtual int FetchRemoteScanFiles(CScanFileList& list, CKolvaneEngine& view, int* failures) = 0;
    // Uploads the output file named by the command section; 0 after the error-log entry when
    // it failed.
    virtual int UploadOutputFile(CScanFileList& list, CKolvaneEngine& view) = 0;
    // Fetches one scan file of `list` by FTP or HTTP, opening the session first when none is
    // open; failures are written to the error log.
    virtual void FetchScanFile(CScanFileList& list, CScanFile& file, CKolvaneEngine& view) = 0;
    // Closes the session FetchScanFile opened.
    virtual void EndSession(CScanFileList& list) = 0;

  protected:
    ~IRemoteTransfer() = default;  // the module owns its one instance
};

}  // namespace kolvane

// The module's one exported symbol; the number changes with the interface.
#define KOLVANE_REMOTE_TRANSFER_ENTRY "kolvane_remote_transfer_1"
extern "C" {
using KolvaneRemoteTransferEntry = kolvane::IRemoteTransfer* (*)();
}
