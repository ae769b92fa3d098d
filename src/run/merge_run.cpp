// The merge run, step by step.
#include "run/merge_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "engine/file_io.h"
#include "engine/read_ahead.h"
#include "engine/text_ops.h"
#include "run/transfer_loader.h"

namespace kolvane {
namespace {

std::string Blanks(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

std::string Numbered(int n, const CScanFile& f, const char* outcome) {
    char number[16];
    std::snprintf(number, sizeof number, "%4d", n);
    return "    " + std::string(number) + ") ... " + JoinPath(f.m_strPath, f.m_strName) + outcome;
}

// The run's two uses of the transfer; a transfer module that cannot be loaded fails them.
int FetchRemote(CKolvaneEngine& engine, int* failures) {
    IRemoteTransfer* transfer = RemoteTransfer(engine);
    return transfer ? transfer->FetchRemoteScanFiles(engine.Doc().m_scanFiles, engine, failures)
                    : 0;
}
int UploadOutput(CKolvaneEngine& engine) {
    IRemoteTransfer* transfer = RemoteTransfer(engine);
    return transfer ? transfer->UploadOutputFile(engine.Doc().m_scanFiles, engine) : 0;
}

// The variables that have no value.
int ValuesNotFound(const CKolvaneDocData& doc) {
    int n = 0;
    for (const auto& var : doc.m_scanVars) n += !var->m_pszValue;
    return n;
}

ERunResult RunMergeSteps(CKolvaneEngine& engine, CKolvaneEngine::SRunCounts& counts, ERunKind kind);

}  // namespace

void DisarmScheduleTimer(CKolvaneEngine& engine) {
    CKolvaneDocData& doc = engine.Doc();
    if (doc.m_nTimerId != 0) {
        engine.Host().KillScheduleTimer(doc.m_nTimerId);
        doc.m_nTimerId = 0;
    }
}

ERunResult RunMerge(CKolvaneEngine& engine, ERunKind kind) {
    const int entriesBefore = engine.Entries();
    CKolvaneEngine::SRunCounts& counts = engine.m_lastRun;
    counts = {};
    counts.valuesNotFound = -1;  // a run that ends before its merge leaves every value out
    const ERunResult result = RunMergeSteps(engine, counts, kind);
    counts.entries = engine.Entries() - entriesBefore;
    if (counts.valuesNotFound < 0) counts.valuesNotFound = ValuesNotFound(engine.Doc());
    return result;
}

namespace {

ERunResult RunMergeSteps(CKolvaneEngine& engine, CKolvaneEngine::SRunCounts& counts,
                         ERunKind kind) {
    CKolvaneDocData& doc = engine.Doc();
    CRunHost& host = engine.Host();
    const CCommandSection& cmd = doc.m_cmd;

    if (doc.m_log.AtLimit()) doc.m_log.Clear();
    const int seriousBefore = engine.SeriousEntries();
    // Asked once the rule is read (the first run reads it below).
    auto scheduled = [&] { return cmd.m_nInterval > 0 && !doc.m_bRunOnce; };
    engine.FormatSysDate();
    engine.FormatSysTime();
    engine.AppendLogLine(Blanks(40) + "****  Kolvane File Data  ****");
    engine.AppendLogLine(" ");

    if (!engine.m_bRuleLoaded) {
        if (!engine.ReadRuleFile()) return ERunResult::Refused;
        if (!engine.ParseRuleFile()) {
            engine.ReleaseRuleText();
            engine.AppendLogLine("**** Error in Rule File -> " + doc.m_strRulePath +
                                 " ****     Application Terminated!");
            return ERunResult::Refused;
        }
        engine.m_bRuleLoaded = true;
        engine.ReleaseRuleText();
        if (!engine.ReadTemplateFile()) {
            engine.AppendLogLine("**** Error in Template File -> " + doc.m_strRulePath +
                                 " ****     Application Terminated!");
            return ERunResult::Refused;
        }
        doc.m_log.SetLongestLine(90);
    } else if (kind == ERunKind::OnChange || !engine.HasTemplate()) {
        // The template may be the file that changed, or a failed reading of it left none; a run
        // without a schedule closed the error log.
        if (!engine.ErrorLogOpen())
            engine.OpenErrorLog(cmd.m_strErrorLogPath, cmd.m_strErrorLogName);
        engine.ReleaseTemplate();
        if (!engine.ReadTemplateFile()) {
            engine.AppendLogLine("**** Error in Template File -> " + doc.m_strRulePath +
                                 " ****     This run ended here.");
            return ERunResult::Refused;
        }
    }

    host.BeginWaitCursor();
    int fetchFailures = 0;
    const bool fetched =
        !engine.m_bRemote || kind == ERunKind::OnChange || FetchRemote(engine, &fetchFailures);
    // A transfer module that cannot be loaded fails the pass without counting a fetch.
    counts.fetchFailures = fetched || fetchFailures > 0 ? fetchFailures : 1;
    // A fetch pass ended by an abort goes on to the abort's own end below.
    if (!fetched && !doc.m_bAbort) {
        engine.AppendLogLine(
            "**** Error getting server resident file - check error log for file name ****");
        // Only a run without a schedule is over for good; a scheduled one says what follows.
        engine.AppendLogLine(scheduled()
                                 ? "This run ended here; the next one follows the countdown."
                                 : "Application Terminated!");
        host.EndWaitCursor();
        if (scheduled()) {
            // A server down or one bad answer ends this run, never the schedule: the next
            // countdown starts, with the template and the error log kept for the next run.
            doc.m_nTimerId = host.ArmScheduleTimer(CKolvaneDocData::kTimerEventId);
        } else {
            DisarmScheduleTimer(engine);
            engine.ReleaseTemplate();
        }
        return ERunResult::Failed;
    }

    engine.AppendLogLine(Blanks(20) + "Rule File -> " + doc.m_strRulePath);
    engine.AppendLogLine(Blanks(20) + "Template File -> " +
                         JoinPath(cmd.m_strTemplatePath, cmd.m_strTemplateName));
    if (!cmd.m_strErrorLogName.empty())
        engine.AppendLogLine(Blanks(20) + "Error Log File -> " +
                             JoinPath(cmd.m_strErrorLogPath, cmd.m_strErrorLogName));
    engine.AppendLogLine("Files Scanned: " + engine.TimeText() + " on " + engine.DateText());
    engine.PumpMessages();

    doc.m_bBusy = true;
    doc.m_bModified = true;
    const int count = static_cast<int>(doc.m_scanFiles.size());
    if (count == 0 || doc.m_bAbort) {
        DisarmScheduleTimer(engine);
        engine.ReleaseTemplate();
        doc.m_bBusy = false;
        doc.m_bModified = false;
        engine.AppendLogLine(doc.m_bAbort ? "**** Kolvane Aborted! ****" : "No Files on List!!");
        host.EndWaitCursor();
        return ERunResult::Failed;
    }

    bool failed = false;
    engine.m_nScanCount = count;
    int n = 0;
    {  // the reading ends with the scans: its thread, its buffers, its hold on a processor
        std::vector<std::string> paths;
        for (const auto& file : doc.m_scanFiles)
            paths.push_back(engine.ResolvePath(file->m_strPath, file->m_strName));
        CReadAhead ahead(std::move(paths), kMaxFileSize);
        for (auto& file : doc.m_scanFiles) {
            ++n;
            if (doc.m_bAbort || doc.m_log.m_bLineLimit) break;
            engine.m_nScanIndex = n - 1;
            CScanFile& f = *file;
            if (!engine.ReadScanFile(f.m_strPath, f.m_strName, nullptr, &ahead)) {
                engine.AppendLogLine(Numbered(n, f, " see error log"));
                failed = true;
                continue;
            }
            // A variable without a value is no failure of the run: the page shows its marker and
            // the values report says why.
            engine.ScanFileVars(f, f.m_strName);
            engine.ReleaseScanText();
            engine.AppendLogLine(Numbered(n, f, " scanned"));
            if (doc.m_bAbort || doc.m_log.m_bLineLimit) break;
        }
    }
    if (doc.m_bAbort) {
        DisarmScheduleTimer(engine);
        doc.m_log.ReleaseLines();
        doc.m_scanFiles.RemoveAllScanFiles();
        doc.m_scanVars.RemoveAllVars();
        engine.AppendLogLine("**** Kolvane Aborted by customer! ****");
        failed = true;
    } else if (doc.m_log.m_bLineLimit) {
        DisarmScheduleTimer(engine);
        engine.AppendLogLine("Process Terminated by Customer during Merge!");
        engine.AppendLogLine(" ");
        failed = true;
    } else if (!engine.MergeTemplate()) {
        engine.AppendLogLine("Failed to write output file!");
        engine.AppendLogLine(" ");
        failed = true;
    } else {
        engine.AppendLogLine("Local Output File: " +
                             JoinPath(cmd.m_strOutputPath, cmd.m_strOutputName) + " created!");
        if (engine.m_bUpload) {
            if (!UploadOutput(engine)) {
                counts.uploadFailures = 1;
                engine.AppendLogLine(
                    doc.m_bAbort ? "**** Kolvane Aborted by customer! ****"
                                 : "**** Error Uploading Output File - check error log ****");
                failed = true;
            } else {
                engine.ShowScanProgress(cmd.m_strUploadServerFile, -10, false);
                engine.AppendLogLine("Server Output File: " + cmd.m_strUploadServerDir + "/" +
                                     cmd.m_strUploadServerFile + " created!");
            }
        }
    }

    doc.m_bModified = false;
    doc.m_bBusy = false;
    host.EndWaitCursor();
    engine.ShowScanProgress("Ready", 0, false);

    counts.valuesNotFound = ValuesNotFound(doc);
    if (scheduled()) {
        doc.m_nTimerId = host.ArmScheduleTimer(CKolvaneDocData::kTimerEventId);
        engine.AppendLogLine(" ");
        engine.AppendLogLine(" ");
        doc.m_scanVars.FreeValues();
    } else {
        engine.ReleaseTemplate();
        engine.CloseErrorLog();
    }
    // The page is written but not from fresh values when a fetch of the pass failed (its old
    // local copy was scanned), a variable line was refused, a scan file was excluded or the
    // error log was refused.
    failed = failed || fetchFailures > 0 || doc.m_scanFiles.AnyVarLinesRefused() ||
             engine.SeriousEntries() != seriousBefore || engine.ErrorLogRefused();
    return failed ? ERunResult::Failed : ERunResult::Ok;
}

}  // namespace
}  // namespace kolvane
