// The runner's metrics file: after each run, the run's figures in the text format that a
// monitoring system's file collector reads (one file per rule, replaced whole by a rename).
#pragma once

#include <string>
#include <string_view>

#include "engine/engine.h"

namespace kolvane {

class CMetricsFile {
  public:
    // `rule` labels every sample. The time of the last successful run is taken from the file a
    // former runner wrote, then kept by this process.
    CMetricsFile(std::string path, std::string_view rule);
    // Writes the figures of a run that ended `seconds` after it started with `exitStatus`; on
    // failure says so on standard error (the run's exit status stays its own).
    bool Write(int exitStatus, double seconds, const CKolvaneEngine::SRunCounts& counts);

  private:
    std::string m_strPath;
    std::string m_strLabels;   // {rule="..."}
    double m_lastSuccess = 0;  // 0: no successful run known
};

// `text` as a label value between double quotes: backslash, double quote and line feed escaped.
std::string LabelValue(std::string_view text);

}  // namespace kolvane
