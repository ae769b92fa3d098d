// The document's data: everything of a loaded rule that outlives one run. The log window's
// document (desktop) or the runner (console) owns one; the engine reads and fills it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "rule_model.h"

namespace kolvane {

// The stored log lines with the line limit. A limit of 0 keeps no lines and has no limit
// (the console shows each line as it comes and forgets it).
class CLogStore {
  public:
    explicit CLogStore(int lineLimit = 0) : m_nLineLimit(lineLimit) {}

    enum class EAppend { Shown, LimitNotice, Dropped };
    // Applies the line-limit rules to one line; the caller shows the line unless Dropped
    // (for LimitNotice it shows kLineLimitNotice instead).
    EAppend Append(std::string_view line);
    void Clear();  // releases every stored line; the line count becomes 0

    int LineLimit() const { return m_nLineLimit; }
    int LineCount() const { return m_nLineCount; }
    int LongestLine() const { return m_nLongestLine; }
    void SetLongestLine(int width) { m_nLongestLine = width; }
    const std::vector<std::string>& Lines() const { return m_lines; }
    bool AtLimit() const { return m_nLineLimit > 0 && m_nLineCount >= m_nLineLimit; }
    void ReleaseLines() { m_lines.clear(); }

    static constexpr std::string_view kLineLimitNotice =
        "**** Application line limit reached! ****";

    bool m_bLineLimit = false;  // set when the notice was stored; the run clears it with the log

  private:
    int m_nLineLimit;
    int m_nLineCount = 0;
    int m_nLongestLine = 0;
    bool m_bNoticePending = true;
    std::vector<std::string> m_lines;
};

class CKolvaneDocData {
  public:
    explicit CKolvaneDocData(int lineLimit = 0) : m_log(lineLimit) {}

    std::string m_strRulePath;
    // The rule file's own directory: relative paths of the rule resolve against it.
    std::string RuleDirectory() const;
    CCommandSection m_cmd;
    CScanFileList m_scanFiles;
    CScanVarList m_scanVars;

    // Run flags.
    bool m_bBusy = false;
    bool m_bAbort = false;
    bool m_bModified = false;
    int m_nTimerId = 0;       // schedule timer id; 0 when none is armed
    int m_nElapsed = 0;       // seconds counted since the timer was armed
    int m_nDateDisplay = 1;   // non-zero: U.S. date and time style
    bool m_bRunOnce = false;  // the runner's --once: no schedule, whatever the interval

    CLogStore m_log;

    static constexpr int kTimerEventId = 100;
};

}  // namespace kolvane
