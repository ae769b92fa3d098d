// The transfer module's entry point. Built into kolvane-transfer.so with only this symbol
// exported (transfer_module.map).
#include "transfer/transfer.h"

extern "C" __attribute__((visibility("default"))) kolvane::ITransferModule*
kolvane_remote_transfer_3() {
    return &kolvane::TransferModule();
}
