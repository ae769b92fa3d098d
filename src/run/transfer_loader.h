// The remote transfer as a run uses it: the transfer module (remote_transfer.h) loaded on first
// use, driven over the engine's rule model, with the engine behind the module's host interface.
#pragma once

#include <memory>

#include "engine/engine.h"
#include "engine/rule_model.h"
#include "transfer/remote_transfer.h"

namespace kolvane {

class IRemoteTransfer {
  public:
    virtual ~IRemoteTransfer() = default;
    // The fetch pass over every scan file of `list` with a URL (see ITransfer).
    virtual int FetchRemoteScanFiles(CScanFileList& list, CKolvaneEngine& engine,
                                     int* failures) = 0;
    // Uploads the output file named by the command section; 0 when it failed or none is named.
    virtual int UploadOutputFile(CScanFileList& list, CKolvaneEngine& engine) = 0;
    // Fetches one scan file of `list`, opening the session first when none is open.
    virtual void FetchScanFile(CScanFileList& list, CScanFile& file, CKolvaneEngine& engine) = 0;
    // Closes the session FetchScanFile opened.
    virtual void EndSession(CScanFileList& list) = 0;
    // The module's transfer state of `list` (kept in CScanFileList::m_pTransfer), made on
    // first use, with its host bound to `engine`.
    virtual ITransfer& TransferOf(CScanFileList& list, CKolvaneEngine& engine) = 0;
};

// The remote transfer, its module loaded on the first call; null after one error-log entry
// naming the module and the loader's reason when it cannot be loaded (the caller then counts
// the fetch or upload as failed). A failed load is tried again on the next call. The module
// stays loaded for the life of the process: the lists' transfer states are its objects.
IRemoteTransfer* RemoteTransfer(CKolvaneEngine& engine);

// The same over a module already at hand (the transfer library linked in, as its tests do).
std::unique_ptr<IRemoteTransfer> RemoteTransferOver(ITransferModule& module);

// Installs, for the engine's rule reader, writer and reports, the URL splitter of the transfer
// module, which is loaded when a URL is first split or masked (a rule without a URL loads no
// network library). While the module cannot be loaded, the reader takes URLs as written and
// the run reports the missing module. Every program that reads rules calls this first.
void InstallModuleUrlSplitter();

}  // namespace kolvane
