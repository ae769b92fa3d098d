// Shared pieces of the engine's fuzz targets: a run host that does nothing (it only counts
// message boxes), a fixed clock, an engine set up the way the console runner's check mode sets
// it up (no error log file; entries go to a sink that drops them; URLs split by libcurl), a
// scratch directory created once per process, and a check that stops the run loudly.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/clock.h"
#include "engine/engine.h"
#include "engine/run_host.h"
#include "url_splitter.h"

namespace kolvane::fuzz {

inline const CFixedClock& FixedClock() {
    static const CFixedClock clock({2005, 1, 5, 13, 15, 9});
    return clock;
}

// Entries are formatted (so their code runs) and then dropped.
inline void DropEntry(std::string_view) {}

// One engine over its own document, ready for a parse, an extraction or a merge.
struct SEngine {
    CKolvaneDocData doc;
    CNullHost host;
    CKolvaneEngine engine{doc, host, FixedClock()};

    explicit SEngine(bool editing = false) {
        test::InstallLinkedUrlSplitter();  // URLs split with libcurl, as the programs split them
        engine.m_bEditing = editing;
        engine.m_bOpenErrorLog = false;
        engine.SetEntrySink(DropEntry);
        engine.FormatSysDate();
        engine.FormatSysTime();
    }
};

// A scratch directory for the process, on tmpfs when there is one (the merge and the writer
// sync their files before the rename); removed when the process exits normally.
inline const std::string& ScratchDir() {
    struct SDir {
        std::string path;
        SDir() {
            path = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                   std::string("/kolvane-fuzz-XXXXXX");
            if (!mkdtemp(path.data())) {
                std::perror("mkdtemp");
                std::abort();
            }
        }
        ~SDir() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const SDir dir;
    return dir.path;
}

[[noreturn]] inline void Fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "\n*** fuzz check failed: %s\n%.*s\n", what, int(detail.size()),
                 detail.data());
    std::abort();
}

#define FUZZ_CHECK(cond, detail)                             \
    do {                                                     \
        if (!(cond)) ::kolvane::fuzz::Fail(#cond, (detail)); \
    } while (0)

}  // namespace kolvane::fuzz
