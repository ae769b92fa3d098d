// Workload W1: 100 report-like scan files of exactly 480000 bytes, 20 variables per file of
// every pattern kind, a 480000-byte HTML template with 2000 markers, and the rule file that ties
// them together. Deterministic: the same directory contents on every machine.
#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/clock.h"
#include "engine/doc_data.h"
#include "engine/engine.h"
#include "engine/run_host.h"

namespace kolvane::bench {

inline constexpr int kW1Files = 100;
inline constexpr int kW1VarsPerFile = 20;
inline constexpr std::size_t kW1FileSize = 480000;
inline constexpr std::size_t kW1TemplateSize = 480000;
inline constexpr std::string_view kW1Rule = "w1.rul";
inline constexpr std::string_view kW1Template = "w1-page.htm";
inline constexpr std::string_view kW1Output = "w1.htm";

// Variable name -> the value its rule must give.
using CExpected = std::map<std::string, std::string>;

// Paths of a W1 tree rooted at `dir` (an absolute path).
std::string W1ScanDir(const std::string& dir);
std::string W1OutDir(const std::string& dir);
std::string W1ScanName(int file);  // file counts from 1
std::string W1RulePath(const std::string& dir);

// The bytes of scan file `file` (1..100) and, in `expected`, the values of its variables.
std::string W1ScanText(int file, CExpected* expected = nullptr);
// The variable lines of scan file `file`, in rule order, each "name=definition".
std::string W1VarLines(int file, std::string_view eol);
std::string W1TemplateText();

// Writes the whole of W1 into `dir` (made absolute; created with scan/ and out/). False with
// the reason in `error` when something cannot be written.
bool WriteW1(const std::string& dir, std::string* error, CExpected* expected = nullptr);
// True when `dir` holds a complete W1 (rule, template and 100 scan files of the right size).
bool W1Present(const std::string& dir);

// Loads the W1 rule of `dir` into `engine`'s document (no error log is opened); 1 on success.
int LoadW1Rule(CKolvaneEngine& engine, const std::string& dir);

// Runs W1 through the engine (read, extract, merge) and compares every value with `expected`;
// prints each difference to `out` and returns the number of differences (0 when all agree).
int CheckW1(const std::string& dir, const CExpected& expected, std::ostream& out);

}  // namespace kolvane::bench
