// Loading the transfer module (see remote_transfer.h) on first use.
#pragma once

#include "remote_transfer.h"

namespace kolvane {

// The remote transfer, its module loaded on the first call; null after one error-log entry
// naming the module and the loader's reason when it cannot be loaded (the caller then counts
// the fetch or upload as failed). A failed load is tried again on the next call.
IRemoteTransfer* RemoteTransfer(CKolvaneEngine& view);

}  // namespace kolvane
