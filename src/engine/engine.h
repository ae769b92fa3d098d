// The merge engine of one log window: the view's part of a loaded rule.
//
// CKolvaneEngine holds what the log window's view holds for a run (the rule text while it is
// parsed, the template text, the scan text of the file being scanned, the run's date and time
// texts, the error log, the upload and remote flags) and carries out the engine's operations
// on the document's data (CKolvaneDocData), which it borrows. Everything it says goes through
// the run host. Operations return 1 for success and 0 for a failure they have already reported.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "engine/clock.h"
#include "engine/doc_data.h"
#include "engine/file_io.h"
#include "engine/marker_index.h"
#include "engine/run_host.h"
#include "engine/text_ops.h"

namespace kolvane {

enum class ELogKind { Plain, CantContinue, Excluding };

// Limits of the rule file and of the texts the engine builds.
inline constexpr std::size_t kMaxLine = 1024;
inline constexpr std::size_t kMaxKeyValue = 259;
inline constexpr std::size_t kMaxRulePath = 2047;
inline constexpr std::size_t kMaxEntry = 1023;
inline constexpr std::size_t kMarkerBuffer = 1024;

class CReadAhead;

class CKolvaneEngine {
  public:
    CKolvaneEngine(CKolvaneDocData& doc, CRunHost& host, const IClock& clock);
    CKolvaneEngine(const CKolvaneEngine&) = delete;
    CKolvaneEngine& operator=(const CKolvaneEngine&) = delete;

    CKolvaneDocData& Doc() { return m_doc; }
    CRunHost& Host() { return m_host; }

    // --- Run state set by the rule reader ---------------------------------------------------
    bool m_bEditing = false;     // the editor's tolerant mode: no message boxes, no error log
    bool m_bUpload = false;      // the rule gave "outputfile ftpurl"
    bool m_bRemote = false;      // some scan file has the FTP or HTTP flag
    bool m_bRuleLoaded = false;  // the rule and the template are in memory
    bool m_bSystemEntries = false;
    bool m_bOpenErrorLog = true;  // cleared by the runner's check mode: the parse opens no log
    // What the last merge run counted (for the runner's metrics): the error-log entries it
    // made, its variables left without a value, its failed fetches and uploads.
    struct SRunCounts {
        int entries = 0;
        int valuesNotFound = 0;
        int fetchFailures = 0;
        int uploadFailures = 0;
    } m_lastRun;

    // --- Rule-file reader -------------------------------------------------------------------
    int ReadRuleFile();
    int ParseRuleFile();
    // What reading a scan-file section's variable lines came to.
    enum class EVarLines {
        Read,         // every line was read
        Refused,      // a line was refused, and the lines after it are not read; the rule goes on
        RuleRefused,  // a line refused the whole rule (a name too long; its message is shown)
    };
    EVarLines ParseScanVarLines(CScanFile& entry, std::size_t start, std::size_t end);
    // Where a scan-file section's variable lines begin and end in the rule text.
    struct SSectionLines {
        std::size_t start, varsFrom, varsTo;
        CScanFile* entry;
    };
    void KeepComments(std::size_t command, std::size_t firstScan,
                      const std::vector<SSectionLines>& sections);
    int ParseScanVarRule(std::string_view definition, CScanVar& var, std::string_view name);
    int CheckHttpUrl(CScanFile& entry);
    void ReleaseRuleText() { m_ruleText.Release(); }
    // Sets the rule text directly (as if read); for the fuzzers and tests.
    void SetRuleText(std::string_view bytes);

    // --- Rule-file writer -------------------------------------------------------------------
    int WriteRuleFile();
    // The text WriteRuleFile writes for `doc`; the editor reads it back before it saves.
    static std::string RuleFileText(const CKolvaneDocData& doc);

    // --- Error log and the run's date and time ----------------------------------------------
    int OpenErrorLog(std::string_view dir, std::string_view name);
    void LogEntry(std::string_view text, ELogKind kind = ELogKind::Plain);
    void LogNote(const std::string& text) { LogEntry(text, ELogKind::Plain); }
    void CloseErrorLog() { m_errorLog.Close(); }
    // Can't-continue and excluding entries made so far, whether or not the log is open: a run
    // that made one did not build its page from fresh values.
    int SeriousEntries() const { return m_nSeriousEntries; }
    // Every entry made so far, of any kind, whether or not the log is open.
    int Entries() const { return m_nEntries; }
    bool ErrorLogOpen() const { return m_errorLog.IsOpen(); }
    // The error log is a link of another user, so nothing is logged: the run fails.
    bool ErrorLogRefused() const { return m_bErrorLogRefused; }
    void FormatSysDate();
    void FormatSysTime();
    const std::string& DateText() const { return m_strDate; }
    const std::string& TimeText() const { return m_strTime; }
    // Where entries go while the error log is closed: nowhere, unless a sink is set (the runner's
    // check mode sends them to standard error).
    void SetEntrySink(std::function<void(std::string_view entry)> sink) {
        m_entrySink = std::move(sink);
    }

    // --- Scan extraction --------------------------------------------------------------------
    // `ahead`, when given, may hold the file read already (see read_ahead.h).
    int ReadScanFile(std::string_view dir, std::string_view name, std::size_t* length = nullptr,
                     CReadAhead* ahead = nullptr);
    // Gives each variable of `entry` the value its rule finds in the scan text read last (or
    // none, with the reason in its outcome); ScanFileVars shows the progress too. Both return
    // how many of the file's variables found no value: extraction writes no error-log entry.
    int ScanFileVars(CScanFile& entry, std::string_view name);
    int ExtractScanVars(CScanFile& entry);
    // The first variable of each number 1..count of scan file `file`, in list order (slot 0 and
    // missing numbers null).
    std::vector<CScanVar*> VarsByNumber(int file, int count);
    // The outcome of the last ReadScanFile: Found when it read the file, else why not (its
    // detail the path as given, directory and name joined).
    const SValueOutcome& LastScanRead() const { return m_scanRead; }
    // Records `why` on every variable of `entry`, whose values it clears: for a scan file that
    // was not read or not fetched.
    void SetScanFileOutcome(const CScanFile& entry, const SValueOutcome& why);
    // The buffer keeps its capacity for the next scan file of the run.
    void ReleaseScanText() { m_scanText.Release(); }
    // Sets the scan text directly (as if read); for the fuzzers, tests and benchmarks.
    void SetScanText(std::string_view bytes);

    // --- Template merge ---------------------------------------------------------------------
    int ReadTemplateFile();
    int OpenOutputFile();
    int MergeTemplate();
    void ReleaseTemplate() { m_templateText = CTextBuffer(); }
    bool HasTemplate() const { return m_templateText.Held(); }
    std::string_view Template() const { return TemplateText(); }
    void SetTemplateText(std::string_view bytes);
    // A dry run: MergeTemplate opens no output file and, when the merge succeeds, leaves the
    // page in `*page` instead (none after a failed merge). Null writes the output file again.
    void SetPageOut(std::optional<std::string>* page) { m_pPageOut = page; }

    // --- Status panes, message pump and log lines -------------------------------------------
    void SetPane(int pane, std::string_view text);
    void ShowScanProgress(std::string_view text, int percent, bool scanning);
    void PumpMessages();
    void AppendLogLine(std::string_view line);
    int m_nScanIndex = 0;  // 0-based index of the scan file being scanned
    int m_nScanCount = 0;  // number of scan files of the run

    // Where a path of the rule (as JoinPath gives it) is on disk: a relative one is taken from
    // the rule file's directory. Every file of a rule is opened by this path, local copies of
    // fetched scan files included.
    std::string ResolvePath(std::string_view dir, std::string_view name) const {
        return kolvane::ResolvePath(m_doc.RuleDirectory(), dir, name);
    }

  private:
    std::string_view RuleText() const { return m_ruleText.Text(); }
    std::string_view ScanText() const { return m_scanText.Text(); }
    std::string_view TemplateText() const { return m_templateText.Text(); }
    void Message(std::string_view text, EMessageIcon icon = EMessageIcon::Plain);
    int ParseCommandSection(std::size_t start, std::size_t end);
    int ReadRequiredKey(std::string_view key, std::size_t start, std::size_t end,
                        std::string& field, std::string_view absentMessage);
    int ValueTooLong(std::string_view key, const std::string& value);
    int CheckOutputIsNoInput();
    void RefuseScanFileVars(const CScanFile& entry, const std::string& refusal);

    CKolvaneDocData& m_doc;
    CRunHost& m_host;
    const IClock& m_clock;

    CTextBuffer m_ruleText;          // while the rule is read and parsed
    CTextBuffer m_scanText;          // the scan file being scanned; reused from file to file
    CTextBuffer m_templateText;      // kept across scheduled runs
    SValueOutcome m_scanRead;        // of the last ReadScanFile
    std::string m_strSection;        // the section text whose variable lines are being read
    std::size_t m_nVarLinesEnd = 0;  // where ParseScanVarLines stopped
    std::string m_strDate;
    std::string m_strTime;
    CAppendFile m_errorLog;
    CAtomicFile m_output;
    std::optional<std::string>* m_pPageOut = nullptr;  // the dry run's page
    std::string m_page;                                // the dry run's page being merged
    // The merge's marker index, kept while neither the markers nor the table change.
    CMarkerIndex m_markerIndex;
    unsigned m_nMarkerIndexGeneration = 0;
    bool m_bMarkerIndexValid = false;
    // The extraction's index: by scan file and variable number, the first variable in list
    // order; built again when the list's generation changes (VarsByNumber).
    std::vector<std::vector<CScanVar*>> m_varIndex;
    unsigned m_nVarIndexGeneration = 0;
    bool m_bVarIndexValid = false;
    std::function<void(std::string_view)> m_entrySink;
    int m_nSeriousEntries = 0;
    int m_nEntries = 0;
    bool m_bErrorLogRefused = false;
    int m_nRuleMode = -1;  // the permission bits of the rule file read, for the rule writer
};

}  // namespace kolvane
