// The merge run, step by step.
#include "run/merge_run.h"

#include <cstdio>
#include <string>

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
int FetchRemote(CKolvaneEngine& view, int* failures) {
    IRemoteTransfer* transfer = RemoteTransfer(view);
    return transfer ? transfer->FetchRemoteScanFiles(view.Doc().m_scanFiles, view, failures) : 0;
}
int UploadOutput(CKolvaneEngine& view) {
    IRemoteTransfer* transfer = RemoteTransfer(view);
    return transfer ? transfer->UploadOutputFile(view.Doc().m_scanFiles, view) : 0;
}

// The variables that have no value.
int ValuesNotFound(const CKolvaneDocData& doc) {
    int n = 0;
    for (const auto& var : doc.m_scanVars) n += !var->m_pszValue;
    return n;
}

ERunResult RunMergeSteps(CKolvaneEngine& view, CKolvaneEngine::SRunCounts& counts, ERunKind kind);

}  // namespace

void DisarmScheduleTimer(CKolvaneEngine& view) {
    CKolvaneDocData& doc = view.Doc();
    if (doc.m_nTimerId != 0) {
        view.Host().KillScheduleTimer(doc.m_nTimerId);
        doc.m_nTimerId = 0;
    }
}

ERunResult RunMerge(CKolvaneEngine& view, ERunKind kind) {
    const int entriesBefore = view.Entries();
    CKolvaneEngine::SRunCounts& counts = view.m_lastRun;
    counts = {};
    counts.valuesNotFound = -1;  // a run that ends before its merge leaves every value out
    const ERunResult result = RunMergeSteps(view, counts, kind);
    counts.entries = view.Entries() - entriesBefore;
    if (counts.valuesNotFound < 0) counts.valuesNotFound = ValuesNotFound(view.Doc());
    return result;
}

namespace {

ERunResult RunMergeSteps(CKolvaneEngine& view, CKolvaneEngine::SRunCounts& counts, ERunKind kind) {
    CKolvaneDocData& doc = view.Doc();
    CRunHost& host = view.Host();
    const CCommandSection& cmd = doc.m_cmd;

    if (doc.m_log.AtLimit()) doc.m_log.Clear();
    const int seriousBefore = view.SeriousEntries();
    // Asked once the rule is read (the first run reads it below).
    auto scheduled = [&] { return cmd.m_nInterval > 0 && !doc.m_bRunOnce; };
    view.FormatSysDate();
    view.FormatSysTime();
    view.AppendLogLine(Blanks(40) + "****  Kolvane File Data  ****");
    view.AppendLogLine(" ");

    if (!view.m_bRuleLoaded) {
        if (!view.ReadRuleFile()) return ERunResult::Refused;
        if (!view.ParseRuleFile()) {
            view.ReleaseRuleText();
            view.AppendLogLine("**** Error in Rule File -> " + doc.m_strRulePath +
                               " ****     Application Terminated!");
            return ERunResult::Refused;
        }
        view.m_bRuleLoaded = true;
        view.ReleaseRuleText();
        if (!view.ReadTemplateFile()) {
            view.AppendLogLine("**** Error in Template File -> " + doc.m_strRulePath +
                               " ****     Application Terminated!");
            return ERunResult::Refused;
        }
        doc.m_log.SetLongestLine(90);
    } else if (kind == ERunKind::OnChange || !view.HasTemplate()) {
        // The template may be the file that changed, or a failed reading of it left none; a run
        // without a schedule closed the error log.
        if (!view.ErrorLogOpen()) view.OpenErrorLog(cmd.m_strErrorLogPath, cmd.m_strErrorLogName);
        view.ReleaseTemplate();
        if (!view.ReadTemplateFile()) {
            view.AppendLogLine("**** Error in Template File -> " + doc.m_strRulePath +
                               " ****     This run ended here.");
            return ERunResult::Refused;
        }
    }

    host.BeginWaitCursor();
    int fetchFailures = 0;
    const bool fetched =
        !view.m_bRemote || kind == ERunKind::OnChange || FetchRemote(view, &fetchFailures);
    // A transfer module that cannot be loaded fails the pass without counting a fetch.
    counts.fetchFailures = fetched || fetchFailures > 0 ? fetchFailures : 1;
    // A fetch pass ended by an abort goes on to the abort's own end below.
    if (!fetched && !doc.m_bAbort) {
        view.AppendLogLine(
            "**** Error getting server resident file - check error log for file name ****");
        // Only a run without a schedule is over for good; a scheduled one says what follows.
        view.AppendLogLine(scheduled() ? "This run ended here; the next one follows the countdown."
                                       : "Application Terminated!");
        host.EndWaitCursor();
        if (scheduled()) {
            // A server down or one bad answer ends this run, never the schedule: the next
            // countdown starts, with the template and the error log kept for the next run.
            doc.m_nTimerId = host.ArmScheduleTimer(CKolvaneDocData::kTimerEventId);
        } else {
            DisarmScheduleTimer(view);
            view.ReleaseTemplate();
        }
        return ERunResult::Failed;
    }

    view.AppendLogLine(Blanks(20) + "Rule File -> " + doc.m_strRulePath);
    view.AppendLogLine(Blanks(20) + "Template File -> " +
                       JoinPath(cmd.m_strTemplatePath, cmd.m_strTemplateName));
    if (!cmd.m_strErrorLogName.empty())
        view.AppendLogLine(Blanks(20) + "Error Log File -> " +
                           JoinPath(cmd.m_strErrorLogPath, cmd.m_strErrorLogName));
    view.AppendLogLine("Files Scanned: " + view.TimeText() + " on " + view.DateText());
    view.PumpMessages();

    doc.m_bBusy = true;
    doc.m_bModified = true;
    const int count = static_cast<int>(doc.m_scanFiles.size());
    if (count == 0 || doc.m_bAbort) {
        DisarmScheduleTimer(view);
        view.ReleaseTemplate();
        doc.m_bBusy = false;
        doc.m_bModified = false;
        view.AppendLogLine(doc.m_bAbort ? "**** Kolvane Aborted! ****" : "No Files on List!!");
        host.EndWaitCursor();
        return ERunResult::Failed;
    }

    bool failed = false;
    view.m_nScanCount = count;
    int n = 0;
    for (auto& file : doc.m_scanFiles) {
        ++n;
        if (doc.m_bAbort || doc.m_log.m_bLineLimit) break;
        view.m_nScanIndex = n - 1;
        CScanFile& f = *file;
        if (!view.ReadScanFile(f.m_strPath, f.m_strName)) {
            view.AppendLogLine(Numbered(n, f, " see error log"));
            failed = true;
            continue;
        }
        // A variable without a value is no failure of the run: the page shows its marker and
        // the values report says why.
        view.ScanFileVars(f, f.m_strName);
        view.ReleaseScanText();
        view.AppendLogLine(Numbered(n, f, " scanned"));
        if (doc.m_bAbort || doc.m_log.m_bLineLimit) break;
    }

    if (doc.m_bAbort) {
        DisarmScheduleTimer(view);
        doc.m_log.ReleaseLines();
        doc.m_scanFiles.RemoveAllScanFiles();
        doc.m_scanVars.RemoveAllVars();
        view.AppendLogLine("**** Kolvane Aborted by customer! ****");
        failed = true;
    } else if (doc.m_log.m_bLineLimit) {
        DisarmScheduleTimer(view);
        view.AppendLogLine("Process Terminated by Customer during Merge!");
        view.AppendLogLine(" ");
        failed = true;
    } else if (!view.MergeTemplate()) {
        view.AppendLogLine("Failed to write output file!");
        view.AppendLogLine(" ");
        failed = true;
    } else {
        view.AppendLogLine("Local Output File: " +
                           JoinPath(cmd.m_strOutputPath, cmd.m_strOutputName) + " created!");
        if (view.m_bUpload) {
            if (!UploadOutput(view)) {
                counts.uploadFailures = 1;
                view.AppendLogLine(doc.m_bAbort
                                       ? "**** Kolvane Aborted by customer! ****"
                                       : "**** Error Uploading Output File - check error log ****");
                failed = true;
            } else {
                view.ShowScanProgress(cmd.m_strUploadServerFile, -10, false);
                view.AppendLogLine("Server Output File: " + cmd.m_strUploadServerDir + "/" +
                                   cmd.m_strUploadServerFile + " created!");
            }
        }
    }

    doc.m_bModified = false;
    doc.m_bBusy = false;
    host.EndWaitCursor();
    view.ShowScanProgress("Ready", 0, false);

    counts.valuesNotFound = ValuesNotFound(doc);
    if (scheduled()) {
        doc.m_nTimerId = host.ArmScheduleTimer(CKolvaneDocData::kTimerEventId);
        view.AppendLogLine(" ");
        view.AppendLogLine(" ");
        doc.m_scanVars.FreeValues();
    } else {
        view.ReleaseTemplate();
        view.CloseErrorLog();
    }
    // The page is written but not from fresh values when a fetch of the pass failed (its old
    // local copy was scanned), a variable line was refused, a scan file was excluded or the
    // error log was refused.
    failed = failed || fetchFailures > 0 || doc.m_scanFiles.AnyVarLinesRefused() ||
             view.SeriousEntries() != seriousBefore || view.ErrorLogRefused();
    return failed ? ERunResult::Failed : ERunResult::Ok;
}

}  // namespace
}  // namespace kolvane
