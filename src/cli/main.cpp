// kolvane-run: the headless runner. Parses the command line and hands over to the command.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "engine/version.h"
#include "run/transfer_loader.h"

int main(int argc, char** argv) {
    using namespace kolvane;
    InstallModuleUrlSplitter();
    std::vector<std::string> args(argv + 1, argv + argc);
    SOptions options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "kolvane-run: %s\nTry 'kolvane-run --help'.\n", error.c_str());
        return kExitUsage;
    }
    switch (options.command) {
        case ECommand::Help:
            std::fputs(kUsage, stdout);
            return kExitOk;
        case ECommand::Version:
            std::printf("kolvane-run %.*s\n", int(kVersion.size()), kVersion.data());
            return kExitOk;
        case ECommand::Check:
            return RunCheck(options);
        case ECommand::WriteRule:
            return RunWriteRule(options);
        case ECommand::Values:
            return RunValues(options);
        case ECommand::DryRun:
            return RunDryRun(options);
        case ECommand::Run:
            return RunRule(options);
    }
    return kExitUsage;
}
