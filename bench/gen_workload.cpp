// gen_workload: writes a benchmark workload into a directory.
//
//   gen_workload W1 DIR [--no-check]
//
// W1: DIR/scan/data001.txt .. data100.txt (480000 bytes each), DIR/w1-page.htm (480000 bytes,
// 2000 markers), DIR/w1.rul (absolute paths; output DIR/out/w1.htm, error log
// DIR/w1-error.log). The same bytes on every run. Afterwards the workload is run once through
// the engine and every value compared with the one the generator planted (skip with
// --no-check); exit 0 when all agree, 1 on a difference, 2 on a write failure, 64 on usage.
#include <cstring>
#include <iostream>
#include <string>

#include "w1_workload.h"

int main(int argc, char** argv) {
    using namespace kolvane::bench;
    bool check = true;
    std::string workload, dir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-check") == 0)
            check = false;
        else if (workload.empty())
            workload = argv[i];
        else if (dir.empty())
            dir = argv[i];
        else
            workload.clear(), i = argc;
    }
    if (workload != "W1" || dir.empty()) {
        std::cerr << "usage: gen_workload W1 DIR [--no-check]\n";
        return 64;
    }
    CExpected expected;
    std::string error;
    if (!WriteW1(dir, &error, &expected)) {
        std::cerr << "gen_workload: " << error << "\n";
        return 2;
    }
    std::cout << "W1 written to " << dir << " (" << kW1Files << " scan files, "
              << expected.size() << " variables)\n";
    if (!check) return 0;
    int differences = CheckW1(dir, expected, std::cerr);
    if (differences) {
        std::cerr << "gen_workload: " << differences << " value(s) differ from the planted ones\n";
        return 1;
    }
    std::cout << "check: every variable has its planted value; every marker was merged\n";
    return 0;
}
