// The transfer module loader: dlopen of kolvane-transfer.so relative to /proc/self/exe.
#include "transfer_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

namespace kolvane {
namespace {

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

}  // namespace

IRemoteTransfer* RemoteTransfer(CKolvaneEngine& view) {
    // Kept for the life of the process: the lists' transfer states are the module's objects.
    static IRemoteTransfer* s_transfer = nullptr;
    if (s_transfer) return s_transfer;
    const std::string path = RemoteTransferModulePath();
    std::string why;
    if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        auto entry = reinterpret_cast<KolvaneRemoteTransferEntry>(
            dlsym(module, KOLVANE_REMOTE_TRANSFER_ENTRY));
        if (entry && (s_transfer = entry()) != nullptr) return s_transfer;
        why = entry ? "it has no transfer" : LoaderError(path);
        dlclose(module);
    } else {
        why = LoaderError(path);
    }
    view.LogEntry("Cannot load the network transfer module " + path + ": " + why);
    return nullptr;
}

}  // namespace kolvane
