// One scan variable's value from one scan text, and why there is none: the extraction itself,
// free of any run, window or file.
//
// The run (CKolvaneEngine::ExtractScanVars) extracts the variables of a scan file with a
// CScanExtractor and stores each value and outcome on its variable; the editor's "Value now:"
// field runs ExtractValue for the one variable being edited; the runner's `--values` shows the
// outcome recorded by the run. Both give the value and the words (ValueOutcomeText,
// value_outcome.h) that the variable alone would give.
//
// Every rule is linear in the scan text's length: each walk over the text starts where an
// earlier one stopped, or its answer is kept while later occurrences still lie before it. A
// CScanExtractor also shares the walks between the variables of one text: the start keys of all
// of them are found in one pass (CMultiFind), their end patterns near each start by FindText and
// beyond that in a second shared pass, and the start patterns with one key (whatever their digit
// tests and skips) are counted in one walk over its occurrences, so the work grows with the
// text's length, not with the number of variables or with how much their keys have in common.
// The `examined` counters add up the characters the walks pass over, so tests can bound the
// work without timing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/multi_find.h"
#include "engine/rule_model.h"
#include "engine/value_outcome.h"

namespace kolvane {

// A scan text (up to its first NUL) with its line-end style, decided once per text: CR LF when
// the text holds a CR LF pair anywhere, else line feed only ("^^" stands for that line break).
struct SScanText {
    explicit SScanText(std::string_view bytes);
    // A text already cut at its first NUL whose line-end style is known (CTextBuffer's).
    SScanText(std::string_view cut, bool crlfEnds) : text(cut), crlf(crlfEnds) {}
    std::string_view text;
    bool crlf = false;
};

struct SExtraction {
    std::optional<std::string> value;  // none when the rule found nothing
    SValueOutcome outcome;             // Found, or why there is no value
};

// The value `var`'s rule (extract, copy, line-column or whole file) gives on `scan`, exactly as
// a run gives it. `examined`, when given, is increased by the characters looked at.
SExtraction ExtractValue(const CScanVar& var, const SScanText& scan,
                         std::size_t* examined = nullptr);

class CNextMemo;

// The variables of one scan text, extracted together: Extract(i) gives exactly what
// ExtractValue(*vars[i], scan) gives (a null entry is skipped and never asked for). The scan
// text and the variables must outlive it.
class CScanExtractor {
  public:
    CScanExtractor(const SScanText& scan, std::vector<const CScanVar*> vars,
                   EMultiPath path = EMultiPath::Best);
    ~CScanExtractor();

    SExtraction Extract(std::size_t i);
    // Called now and then during a long extraction (every 16 KiB of the shared scan, every 1024
    // occurrences a start pattern passes), for the caller to serve pending events. It may throw;
    // the extractor is then only fit to be destroyed.
    void SetPump(std::function<void()> pump);
    // The characters looked at so far: the shared scan's and every walk's.
    std::size_t Examined() const { return m_examined + m_keys.Scanned() + m_ends.Scanned(); }

  private:
    struct SGroup;
    const SScanText& m_scan;
    std::vector<const CScanVar*> m_vars;
    CMultiFind m_keys;
    CMultiFind m_ends;  // the end patterns, scanned as far as a value needs
    std::vector<SGroup> m_groups;
    std::vector<std::size_t> m_groupOf;  // per variable; npos for the rules without patterns
    std::vector<std::size_t> m_endOf;    // per variable: its end pattern's memo
    std::vector<CNextMemo> m_endMemos;
    std::vector<std::size_t> m_endIds;  // per end pattern memo: its id in m_ends
    // Per key of m_keys: its groups, which are located in one walk over its occurrences.
    std::vector<std::vector<std::size_t>> m_byKey;
    std::vector<std::size_t> m_lastEnds;  // per byte, for the skips, as they are located
    std::vector<CNextMemo> m_lastMemos;   // by the skip's last character
    std::size_t m_examined = 0;
    std::function<void()> m_pump;
};

}  // namespace kolvane
