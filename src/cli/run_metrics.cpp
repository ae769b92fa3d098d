// Writing the runner's metrics file.
#include "cli/run_metrics.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/file_io.h"

namespace kolvane {
namespace {

constexpr std::string_view kLastSuccess = "kolvane_last_success_timestamp_seconds";

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

std::string LabelValue(std::string_view text) {
    std::string value = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') value += '\\';
        if (c == '\n')
            value += "\\n";
        else
            value += c;
    }
    return value + '"';
}

CMetricsFile::CMetricsFile(std::string path, std::string_view rule)
    : m_strPath(std::move(path)), m_strLabels("{rule=" + LabelValue(rule) + "}") {
    // The sample of a former runner's file (written for this rule, so any labels will do).
    std::string former;
    if (ReadWholeFile(m_strPath, kMaxFileSize, former) != EReadResult::Ok) return;
    const std::string key = "\n" + std::string(kLastSuccess) + "{";
    const std::size_t at = former.find(key);
    if (at == std::string::npos) return;
    const std::size_t end = former.find("} ", at);
    if (end == std::string::npos) return;
    const double value = std::strtod(former.c_str() + end + 2, nullptr);
    if (value > 0) m_lastSuccess = value;
}

bool CMetricsFile::Write(int exitStatus, double seconds, const CKolvaneEngine::SRunCounts& counts) {
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (exitStatus == 0) m_lastSuccess = now;
    std::string text;
    auto gauge = [&](std::string_view name, std::string_view help, const std::string& value) {
        text += "# HELP " + std::string(name) + " " + std::string(help) + "\n# TYPE " +
                std::string(name) + " gauge\n" + std::string(name) + m_strLabels + " " + value +
                "\n";
    };
    gauge("kolvane_last_run_timestamp_seconds", "When the last run of the rule ended.",
          Number(now));
    gauge(kLastSuccess, "When the last run that ended with status 0 ended (0: none known).",
          Number(m_lastSuccess));
    gauge("kolvane_last_run_duration_seconds", "How long the last run took.", Number(seconds));
    gauge("kolvane_last_run_exit_status", "The exit status of the last run.",
          std::to_string(exitStatus));
    gauge("kolvane_last_run_entries", "Error-log entries written by the last run.",
          std::to_string(counts.entries));
    gauge("kolvane_last_run_values_not_found", "Variables of the last run left without a value.",
          std::to_string(counts.valuesNotFound));
    gauge("kolvane_last_run_fetch_failures", "Fetches of remote scan files that failed.",
          std::to_string(counts.fetchFailures));
    gauge("kolvane_last_run_upload_failures", "Uploads of the output file that failed.",
          std::to_string(counts.uploadFailures));
    CAtomicFile file;
    if (file.Open(m_strPath) && file.Write(text) && file.Commit(false)) return true;
    std::fprintf(stderr, "kolvane-run: could not write the metrics file %s%s\n", m_strPath.c_str(),
                 file.RefusedLink() ? std::string(kForeignLinkText).c_str() : "");
    return false;
}

}  // namespace kolvane
