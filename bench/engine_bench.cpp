// engine_bench: the engine's hot paths against their memory and file baselines, measured in one
// run so that the ratios mean something on a noisy machine.
//
//   engine_bench [--w1=DIR] [Google Benchmark flags, e.g. --benchmark_repetitions=5]
//
// W1 is taken from DIR (default $KOLVANE_W1_DIR, else /tmp/kolvane-w1) and generated there when
// it is not present. All times are wall-clock (the merge and the copies write files). At the end
// the ratios are printed (with --benchmark_repetitions=N: of the minimum over the repetitions,
// the medians in brackets):
//
//   FindText / memchr    FindText of a key found only at the end of a W1 scan file (480000
//                        bytes) against memchr of a byte the text does not contain   (aim <= 2)
//   extract / read       SetScanText + ExtractScanVars of all 100 W1 files (2000 variables)
//                        against reading the 100 files whole into memory            (aim <= 1.5)
//   Shape/<name>         rule shapes that were once quadratic, on 470 KB (bytes per second
//                        counts the text once per variable; compare with Memchr)
//   Shared/<name> / Shared/<name>-ordinary
//                        many start keys sharing their first bytes over 470 KB of a text that
//                        repeats that beginning, against the same rule over ordinary text
//                                                                                (aim <= 3)
//   merge / copy         MergeTemplate of the W1 template with every value set against writing
//                        the template bytes to a file. The merge writes its output whole or not
//                        at all (temporary file, fsync, rename), so the aim is against a copy
//                        made the same way                                          (aim <= 1.5)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_io.h"
#include "engine/text_ops.h"
#include "w1_workload.h"

namespace {

using namespace kolvane;
using namespace kolvane::bench;

std::string g_dir;

// Reads a file whole; exits on failure (the benchmark cannot go on without its inputs).
std::string Slurp(const std::string& path) {
    std::string data;
    if (ReadWholeFile(path, 1u << 26, data) != EReadResult::Ok) {
        std::cerr << "engine_bench: cannot read " << path << "\n";
        std::exit(2);
    }
    data.resize(data.size() - 2);
    return data;
}

// W1 in memory, with an engine whose document holds the W1 rule.
struct SW1 {
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock{SLocalTime{2026, 12, 7, 6, 30, 0}};
    CKolvaneEngine engine{doc, host, clock};
    std::vector<std::string> scanTexts;  // by scan-file number - 1
    std::vector<std::string> scanPaths;
    std::string templateText;

    SW1() {
        if (!LoadW1Rule(engine, g_dir)) {
            std::cerr << "engine_bench: the W1 rule was refused\n";
            std::exit(2);
        }
        for (int f = 1; f <= kW1Files; ++f) {
            scanPaths.push_back(W1ScanDir(g_dir) + "/" + W1ScanName(f));
            scanTexts.push_back(Slurp(scanPaths.back()));
        }
        templateText = Slurp(g_dir + "/" + std::string(kW1Template));
        engine.SetTemplateText(templateText);
        engine.FormatSysDate();
        engine.FormatSysTime();
    }
    void ExtractAll() {
        for (auto& entry : doc.m_scanFiles) {
            engine.SetScanText(scanTexts[std::size_t(entry->m_nNumber - 1)]);
            engine.ExtractScanVars(*entry);
        }
        engine.ReleaseScanText();
    }
};

SW1& W1() {
    static SW1 w1;
    return w1;
}

// --- FindText against memchr ---------------------------------------------------------------

// Keys that occur only in the last lines of W1 scan file 1.
const char* const kEndKeys[] = {"Checksum:", "End of report.", "TOTALS BY REGION", "south:"};

void BM_FindText(benchmark::State& state, const char* key) {
    const std::string& text = W1().scanTexts[0];
    const std::size_t at = FindText(text, key);
    if (at == npos || at < text.size() - 200) {
        state.SkipWithError("the key is not at the end of the text");
        return;
    }
    for (auto _ : state) {
        std::size_t found = FindText(text, key);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

// FindText restricted to a narrower vector unit, to see what a machine without the widest
// one would get.
void BM_FindTextOn(benchmark::State& state, const char* key, EFindPath path) {
    const std::string& text = W1().scanTexts[0];
    if (!FindPathSupported(path)) {
        state.SkipWithError("this processor lacks that unit");
        return;
    }
    for (auto _ : state) {
        std::size_t found = FindTextOn(path, text, key);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

void BM_Memchr(benchmark::State& state) {
    const std::string& text = W1().scanTexts[0];
    if (std::memchr(text.data(), 0x01, text.size())) {
        state.SkipWithError("the byte occurs in the text");
        return;
    }
    for (auto _ : state) {
        const void* found = std::memchr(text.data(), 0x01, text.size());
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

// --- Extraction against reading ------------------------------------------------------------

void BM_Extract(benchmark::State& state) {
    SW1& w1 = W1();
    for (auto _ : state) {
        w1.doc.m_scanVars.FreeValues();
        w1.ExtractAll();
    }
    int valued = 0;
    for (auto& var : w1.doc.m_scanVars) valued += var->m_pszValue ? 1 : 0;
    state.counters["values"] = valued;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kW1Files *
                            std::int64_t(kW1FileSize));
}

// Rule shapes that were once slower than linear, on a scan text of the largest size: `vars`
// variables of one definition (instances 2, 3, ...) extracted from 470 KB of one line repeated.
// Each should take a few memchr times of the text per variable.
struct SShape {
    const char* name;
    const char* line;
    const char* definition;  // "::%d" is the instance
    int vars;
};
const SShape kShapes[] = {
    {"digit-test-skip-no-last", "Batch 00012 value 4711 ## some text here 12 ab\n",
     "##$$$ ???? ab::%d", 400},
    {"key-in-digit-run", "1111111111111111111111111111111111111111", "11#????xy::%d", 1},
    {"empty-key-digit-run", "12345678901234567890", "#$$$:???? x::%d", 1},
    {"skip-no-last", "ab ab ab ab ab\n", "ab$$$:???? x::%d", 1},
};

// The extraction of `definitions` (one scan file's variables) from `text`, again and again.
void ExtractRule(benchmark::State& state, const std::vector<std::string>& definitions,
                 const std::string& text) {
    CKolvaneDocData doc;
    CNullHost host;
    CFixedClock clock{SLocalTime{2026, 12, 7, 6, 30, 0}};
    CKolvaneEngine engine{doc, host, clock};
    CScanFile* entry = doc.m_scanFiles.AddNewScanFile();
    entry->m_nNumber = 1;
    entry->m_nNextVarNo = int(definitions.size()) + 1;
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        CScanVar* var = doc.m_scanVars.AddNewVar();
        var->m_nScanFile = 1, var->m_nVarNo = int(i) + 1, var->m_szName = "V" + std::to_string(i);
        if (!engine.ParseScanVarRule(definitions[i], *var, var->m_szName)) std::exit(2);
    }
    engine.SetScanText(text);
    for (auto _ : state) {
        doc.m_scanVars.FreeValues();
        engine.ExtractScanVars(*entry);
    }
}

// `unit` repeated to 470 KB, ending with a line feed.
std::string Repeated(std::string_view unit) {
    std::string text;
    while (text.size() < 470000) text += unit;
    text.resize(470000);
    text.back() = '\n';
    return text;
}

void BM_Shape(benchmark::State& state, const SShape& shape) {
    std::vector<std::string> definitions;
    for (int i = 1; i <= shape.vars; ++i) {
        char definition[128];
        std::snprintf(definition, sizeof definition, shape.definition, i + 1);
        definitions.push_back(definition);
    }
    std::string text;
    while (text.size() + std::strlen(shape.line) <= 470000) text += shape.line;
    ExtractRule(state, definitions, text);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * shape.vars *
                            std::int64_t(text.size()));
}

// Many start keys that share their first bytes, over 470 KB of a text that repeats that
// beginning (`unit` repeated), and the same rule over ordinary text (W1 scan file 1): the aim
// is that the first costs at most three times the second.
struct SShared {
    const char* name;
    std::string key;  // "%d" is the variable's number
    int vars;
    std::string unit;
};
const SShared kShared[] = {
    {"prefix-run", "AAAA%dx", 2000, "A"},
    {"long-shared", std::string(250, 'A') + "%05d", 100, "A"},
    {"sections", "==================== Section %03d", 2000, "==================== Section \n"},
    {"high-bytes", "\xE9\xE9\xE9\xE9%dx", 2000, "\xE9"},
    {"repetitive", "abab%d:", 2000, "ab"},
    // The second to fourth bytes share only the keys' low nibbles: a candidate every 4 starts.
    {"nibble-decoys", "abcd%dx", 2000, "aRST"},
    // One key; the variables differ in digit count ('@': 1 to 250 "#") and skip character ('~').
    {"digit-groups", "a a@$$$~", 1500, "a a a a a a a a a a a a a a a a a a a a a a a a a\n"},
};

void BM_Shared(benchmark::State& state, const SShared& shape, bool ordinary) {
    std::vector<std::string> definitions;
    for (int i = 0; i < shape.vars; ++i) {
        char key[300];
        std::snprintf(key, sizeof key, shape.key.c_str(), i);
        std::string start = key;
        if (const auto at = start.find('@'); at != std::string::npos)
            start.replace(at, 1, std::size_t(1 + i % 250), '#');
        if (const auto at = start.find('~'); at != std::string::npos)
            start[at] = char('0' + i / 250 % 10);
        definitions.push_back(start + "????end");
    }
    ExtractRule(state, definitions,
                ordinary ? W1().scanTexts[0].substr(0, 470000) : Repeated(shape.unit));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * 470000);
}

// open, fstat, read whole into a buffer, close: the least a run must do per scan file.
void BM_Read(benchmark::State& state) {
    SW1& w1 = W1();
    // The engine's buffer type, for the same alignment: the kernel copies into memory that
    // starts on a cache line about three times faster than into memory 16 bytes past one.
    CTextBuffer text;
    char* buffer = text.Prepare(kW1FileSize);
    for (auto _ : state) {
        for (const auto& path : w1.scanPaths) {
            int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            struct stat st {};
            if (fd < 0 || ::fstat(fd, &st) != 0) {
                state.SkipWithError("cannot open a scan file");
                return;
            }
            std::size_t size = std::size_t(st.st_size), got = 0;
            while (got < size) {
                ssize_t r = ::read(fd, buffer + got, size - got);
                if (r <= 0) break;
                got += std::size_t(r);
            }
            ::close(fd);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kW1Files *
                            std::int64_t(kW1FileSize));
}

// The pass that finds a text's end and line-end style (CTextBuffer::Complete) over W1's first
// scan file as it is (CR LF), with its CRs taken out (LF alone), and with a lone CR in every
// line (the worst: every 128-byte block holds a CR, each of which is looked at).
void BM_TextEnd(benchmark::State& state, int form) {
    std::string text = W1().scanTexts[0];
    if (form > 0) std::erase(text, '\r');
    if (form == 2) std::replace(text.begin(), text.end(), '\n', '\r');
    CTextBuffer buffer;
    std::memcpy(buffer.Prepare(text.size()), text.data(), text.size());
    for (auto _ : state) buffer.Complete(text.size());
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

// The engine's own read path (ReadScanFile and ReleaseScanText per file), for comparison.
void BM_ReadScanFile(benchmark::State& state) {
    SW1& w1 = W1();
    const std::string scanDir = W1ScanDir(g_dir);
    std::vector<std::string> names;
    for (int f = 1; f <= kW1Files; ++f) names.push_back(W1ScanName(f));
    for (auto _ : state) {
        for (const auto& name : names) {
            if (!w1.engine.ReadScanFile(scanDir, name)) {
                state.SkipWithError("ReadScanFile failed");
                return;
            }
            w1.engine.ReleaseScanText();
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kW1Files *
                            std::int64_t(kW1FileSize));
}

// --- Merge against copying ------------------------------------------------------------------

void BM_Merge(benchmark::State& state) {
    SW1& w1 = W1();
    w1.doc.m_scanVars.FreeValues();
    w1.ExtractAll();
    for (auto _ : state) {
        if (!w1.engine.MergeTemplate()) {
            state.SkipWithError("MergeTemplate failed");
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kW1TemplateSize));
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) return false;
        done += std::size_t(w);
    }
    return true;
}

// The template written to a file with one write: open (truncating), write, close.
void BM_Copy(benchmark::State& state) {
    const std::string& bytes = W1().templateText;
    const std::string target = W1OutDir(g_dir) + "/copy.htm";
    for (auto _ : state) {
        int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || !WriteAll(fd, bytes) || ::close(fd) != 0) {
            state.SkipWithError("cannot write the copy");
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

// The same copy made as the merge makes its output: temporary file, write, fsync, rename.
void BM_CopyDurable(benchmark::State& state) {
    const std::string& bytes = W1().templateText;
    const std::string target = W1OutDir(g_dir) + "/copy.htm";
    for (auto _ : state) {
        std::string temp = W1OutDir(g_dir) + "/.copy.htm.XXXXXX";
        int fd = ::mkstemp(temp.data());
        bool ok = fd >= 0 && WriteAll(fd, bytes) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
        ok = fd >= 0 && ::close(fd) == 0 && ok;
        if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
            state.SkipWithError("cannot write the durable copy");
            return;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

// --- Ratios ---------------------------------------------------------------------------------

// Shows every run as the console reporter does and keeps each benchmark's time per iteration
// (seconds): with repetitions the minimum over them (the run least disturbed by other work on
// the machine) and the median; without, the single run.
class CRatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool min = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!single && !min && !median) continue;
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            STimes t{run.GetAdjustedRealTime() / unit, run.GetAdjustedCPUTime() / unit};
            if (single || min) m_seconds[run.run_name.function_name] = t;
            if (median) m_median[run.run_name.function_name] = t;
            if (min) m_repeated = true;
        }
    }
    void PrintRatios() const {
        std::printf("\nRatios of this run (time per iteration, wall and CPU; %s):\n",
                    m_repeated ? "minimum over the repetitions, median in brackets"
                               : "one run, ask for --benchmark_repetitions=5 on a busy machine");
        for (const char* key : kEndKeys)
            Ratio(std::string("FindText/") + key, "Memchr/absent-byte", 2);
        for (const char* unit : {"FindTextAvx2/", "FindTextSse2/"})
            for (const char* key : kEndKeys)
                Ratio(std::string(unit) + key, "Memchr/absent-byte", 2);
        Ratio("Extract/W1", "Read/W1", 1.5);
        for (const SShared& shape : kShared)
            Ratio(std::string("Shared/") + shape.name,
                  std::string("Shared/") + shape.name + "-ordinary", 3);
        Ratio("ReadScanFile/W1", "Read/W1", 1.1);
        Ratio("TextEnd/lone-cr", "TextEnd/lf", 0);
        Ratio("Extract/W1", "ReadScanFile/W1", 0);
        Ratio("Merge/W1", "Copy/template", 0);
        Ratio("Merge/W1", "CopyDurable/template", 1.5);
    }

  private:
    void Ratio(const std::string& a, const std::string& b, double aim) const {
        auto ia = m_seconds.find(a), ib = m_seconds.find(b);
        if (ia == m_seconds.end() || ib == m_seconds.end() || ib->second.wall <= 0) return;
        const double r = ia->second.wall / ib->second.wall;
        const double c = ib->second.cpu > 0 ? ia->second.cpu / ib->second.cpu : 0;
        std::printf("  %-30s / %-20s wall %9.1f / %7.1f us = %6.2fx  cpu %6.2fx", a.c_str(),
                    b.c_str(), ia->second.wall * 1e6, ib->second.wall * 1e6, r, c);
        auto ma = m_median.find(a), mb = m_median.find(b);
        if (ma != m_median.end() && mb != m_median.end() && mb->second.wall > 0)
            std::printf(" [%.2fx]", ma->second.wall / mb->second.wall);
        if (aim > 0) std::printf("  aim <= %gx: %s", aim, r <= aim ? "met" : "MISSED");
        std::printf("\n");
    }
    struct STimes {
        double wall = 0, cpu = 0;
    };
    std::map<std::string, STimes> m_seconds;
    std::map<std::string, STimes> m_median;
    bool m_repeated = false;
};

double MinOf(const std::vector<double>& v) {
    return v.empty() ? 0.0 : *std::min_element(v.begin(), v.end());
}

std::string DefaultDir() {
    const char* env = std::getenv("KOLVANE_W1_DIR");
    return env && *env ? env : "/tmp/kolvane-w1";
}

}  // namespace

int main(int argc, char** argv) {
    g_dir = DefaultDir();
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--w1=", 5) == 0)
            g_dir = argv[i] + 5;
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 64;

    if (!W1Present(g_dir)) {
        std::string error;
        std::fprintf(stderr, "engine_bench: generating W1 in %s\n", g_dir.c_str());
        if (!WriteW1(g_dir, &error)) {
            std::fprintf(stderr, "engine_bench: %s\n", error.c_str());
            return 2;
        }
    }
    std::fprintf(stderr, "engine_bench: W1 from %s\n", g_dir.c_str());

    auto tune = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMicrosecond)->UseRealTime()->ComputeStatistics("min", MinOf);
    };
    for (const char* key : kEndKeys)
        tune(benchmark::RegisterBenchmark((std::string("FindText/") + key).c_str(), BM_FindText,
                                          key));
    for (const char* key : kEndKeys) {
        tune(benchmark::RegisterBenchmark((std::string("FindTextAvx2/") + key).c_str(),
                                          BM_FindTextOn, key, EFindPath::Avx2));
        tune(benchmark::RegisterBenchmark((std::string("FindTextSse2/") + key).c_str(),
                                          BM_FindTextOn, key, EFindPath::Sse2));
    }
    tune(benchmark::RegisterBenchmark("Memchr/absent-byte", BM_Memchr));
    tune(benchmark::RegisterBenchmark("Extract/W1", BM_Extract));
    for (const SShape& shape : kShapes)
        tune(benchmark::RegisterBenchmark((std::string("Shape/") + shape.name).c_str(), BM_Shape,
                                          shape));
    for (const SShared& shape : kShared)
        for (bool ordinary : {false, true})
            tune(benchmark::RegisterBenchmark(
                (std::string("Shared/") + shape.name + (ordinary ? "-ordinary" : "")).c_str(),
                BM_Shared, shape, ordinary));
    tune(benchmark::RegisterBenchmark("Read/W1", BM_Read));
    tune(benchmark::RegisterBenchmark("ReadScanFile/W1", BM_ReadScanFile));
    const char* const kTextEnds[] = {"TextEnd/crlf", "TextEnd/lf", "TextEnd/lone-cr"};
    for (int form : {0, 1, 2})
        tune(benchmark::RegisterBenchmark(kTextEnds[form], BM_TextEnd, form));
    tune(benchmark::RegisterBenchmark("Merge/W1", BM_Merge));
    tune(benchmark::RegisterBenchmark("Copy/template", BM_Copy));
    tune(benchmark::RegisterBenchmark("CopyDurable/template", BM_CopyDurable));

    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
