// The document's data: everything of a loaded rule that outlives one run. The log window's
// document (desktop) or the runner (console) owns one; the engine reads and fills it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rule_model.h"

namespace kolvane {

// Log lines stored end to end in blocks of 64 KiB that never move, with a view of each line: a
// log of 128000 short lines costs its bytes and a view a line, not a string object and a heap
// block a line, and growing it copies nothing.
class CLogLines {
  public:
    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    std::string_view operator[](std::size_t i) const { return m_lines[i]; }
    std::string_view front() const { return m_lines.front(); }
    std::string_view back() const { return m_lines.back(); }
    void reserve(std::size_t lines) { m_lines.reserve(lines); }
    void push_back(std::string_view line);
    // Gives the memory back, not only the contents (a cleared log may stay idle for long).
    void clear();

  private:
    static constexpr std::size_t kBlock = 64 * 1024;
    std::vector<std::string_view> m_lines;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_pNext = nullptr;
    std::size_t m_nFree = 0;
};

// The stored log lines with the line limit. A limit of 0 keeps no lines and has no limit
// (the console shows each line as it comes and forgets it).
class CLogStore {
  public:
    // The index of a limited log is reserved whole at once, so it never moves as it grows.
    explicit CLogStore(int lineLimit = 0) : m_nLineLimit(lineLimit) {
        if (lineLimit > 0) m_lines.reserve(static_cast<std::size_t>(lineLimit) + 1);
    }

    enum class EAppend { Shown, LimitNotice, Dropped };
    // Applies the line-limit rules to one line; the caller shows the line unless Dropped
    // (for LimitNotice it shows kLineLimitNotice instead).
    EAppend Append(std::string_view line);
    void Clear();  // releases every stored line; the line count becomes 0

    int LineLimit() const { return m_nLineLimit; }
    int LineCount() const { return m_nLineCount; }
    int LongestLine() const { return m_nLongestLine; }
    void SetLongestLine(int width) { m_nLongestLine = width; }
    const CLogLines& Lines() const { return m_lines; }
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
    CLogLines m_lines;
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
