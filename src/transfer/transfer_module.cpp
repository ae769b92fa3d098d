// The transfer module's entry point: the remote transfer interface over CScanFileTransfer.
// Built into kolvane-transfer.so with only this symbol exported (transfer_module.map), so the
// copies of the engine and the transfer inside the module stay private to it.
#include "remote_transfer.h"
#include "transfer.h"

namespace kolvane {
namespace {

class CTransferModule final : public IRemoteTransfer {
  public:
    int FetchRemoteScanFiles(CScanFileList& list, CKolvaneEngine& view, int* failures) override {
        return CScanFileTransfer::Of(list).FetchRemoteScanFiles(list, view, failures);
    }
    int UploadOutputFile(CScanFileList& list, CKolvaneEngine& view) override {
        return CScanFileTransfer::Of(list).UploadOutputFile(view);
    }
    void FetchScanFile(CScanFileList& list, CScanFile& file, CKolvaneEngine& view) override {
        CScanFileTransfer& transfer = CScanFileTransfer::Of(list);
        if (!transfer.EnsureSession(view)) return;
        if (file.m_bFtp)
            transfer.FtpGetScanFile(file, view);
        else
            transfer.HttpGetScanFile(file, view);
    }
    void EndSession(CScanFileList& list) override {
        CScanFileTransfer::Of(list).m_pSession.reset();
    }
};

}  // namespace
}  // namespace kolvane

extern "C" __attribute__((visibility("default"))) kolvane::IRemoteTransfer*
kolvane_remote_transfer_1() {
    static kolvane::CTransferModule module;
    return &module;
}
