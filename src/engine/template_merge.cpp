// The template merge: reading the template, replacing each "%%NAME%%" marker by its variable's
// value (and the two system markers by the run's date and time), and writing the output file
// whole or not at all.
#include <string>

#include "engine/engine.h"
#include "engine/text_ops.h"

namespace kolvane {

int CKolvaneEngine::ReadTemplateFile() {
    const CCommandSection& cmd = m_doc.m_cmd;
    const std::string& name = cmd.m_strTemplateName;
    std::string path = ResolvePath(cmd.m_strTemplatePath, name);
    SetPane(0, "Reading Template File " + name);
    const std::string aborted = "!\r\nKolvane aborted by application!";
    switch (ReadWholeFile(path, kMaxFileSize, m_templateText)) {
        case EReadResult::Ok:
            break;
        case EReadResult::OpenFailed:
            LogEntry("Couldn't Open template file: " + name + aborted);
            return 0;
        case EReadResult::Empty:
            LogEntry("Template file " + name + " is Empty" + aborted);
            return 0;
        case EReadResult::TooBig:
            LogEntry("Max allowed Template file size is " + std::to_string(kMaxFileSize) + aborted);
            return 0;
        case EReadResult::ReadFailed:
            LogEntry("Failed to read " + name + aborted);
            return 0;
    }
    std::size_t endLength = 0;
    std::size_t firstEnd = FindLineEnd(TemplateText(), 0, &endLength);
    if (endLength == 0 || firstEnd > kMaxLine) {
        ReleaseTemplate();
        LogEntry("Template File contains lines longer than " + std::to_string(kMaxLine) +
                 " characters which is this application's max!\r\nMust abort Kolvane!");
        return 0;
    }
    SetPane(0, "Ready");
    return 1;
}

int CKolvaneEngine::OpenOutputFile() {
    if (m_pPageOut) {
        m_pPageOut->reset();
        m_page.clear();
        return 1;
    }
    const CCommandSection& cmd = m_doc.m_cmd;
    if (!m_output.Open(ResolvePath(cmd.m_strOutputPath, cmd.m_strOutputName))) {
        std::string path = JoinPath(cmd.m_strOutputPath, cmd.m_strOutputName);
        if (m_output.RefusedLink()) path += kForeignLinkText;
        LogEntry("Couldn't Open Output File: " + path + "!\r\n*** No File will be created! ***");
        return 0;
    }
    return 1;
}

namespace {

// True when `marker` is already "%%" + name + "%%".
bool MarkerOf(const std::string& marker, const std::string& name) {
    return marker.size() == name.size() + 4 && marker.starts_with("%%") && marker.ends_with("%%") &&
           marker.compare(2, name.size(), name) == 0;
}

}  // namespace

int CKolvaneEngine::MergeTemplate() {
    if (!OpenOutputFile()) return 0;
    CScanVarList& vars = m_doc.m_scanVars;

    // One walk over the table (a large one costs more to walk than to merge): the markers made
    // from the names, and the first system entries, as FindVar(0, 1) and FindVar(0, 2) give them.
    bool rebuilt = false;
    CScanVar* date = nullptr;
    CScanVar* time = nullptr;
    for (auto& var : vars) {
        if (var->m_nScanFile == 0 && var->m_nVarNo == 1 && !date) date = var.get();
        if (var->m_nScanFile == 0 && var->m_nVarNo == 2 && !time) time = var.get();
        if (var->m_nScanFile <= 0 || MarkerOf(var->m_szMarker, var->m_szName)) continue;
        rebuilt = true;
        // A marker that would not fit its field names nothing.
        if (var->m_szName.size() <= kMaxName)
            var->m_szMarker = "%%" + var->m_szName + "%%";
        else
            var->m_szMarker.clear();
    }
    if (!date || !time || !m_bSystemEntries) {
        if (!date) {
            date = vars.AddNewVar();
            date->m_nScanFile = 0, date->m_nVarNo = 1, date->m_szMarker = "%%SYSDATE%%";
        }
        if (!time) {
            time = vars.AddNewVar();
            time->m_nScanFile = 0, time->m_nVarNo = 2, time->m_szMarker = "%%SYSTIME%%";
        }
        m_bSystemEntries = true;
    }
    date->m_pszValue = m_strDate;
    time->m_pszValue = m_strTime;

    // The first entry in table order for each marker text, letter case ignored. It is built
    // again only when a marker or the list changed since the last merge (a scheduled run merges
    // the same table again).
    auto& index = m_markerIndex;
    if (rebuilt || !m_bMarkerIndexValid || m_nMarkerIndexGeneration != vars.Generation()) {
        index.Clear(vars.size());
        for (const auto& var : vars)
            if (!var->m_szMarker.empty()) index.Add(var->m_szMarker, var.get());
        m_nMarkerIndexGeneration = vars.Generation();
        m_bMarkerIndexValid = true;
    }

    const std::string_view text = TemplateText();
    const std::string outputName = m_doc.m_cmd.m_strOutputName;
    // A dry run collects the page instead of writing the output file.
    auto write = [&](std::string_view bytes) {
        if (!m_pPageOut) return m_output.Write(bytes);
        m_page += bytes;
        return true;
    };
    auto commit = [&] {
        if (!m_pPageOut) return m_output.Commit();
        *m_pPageOut = std::move(m_page);
        return true;
    };
    auto writeFailed = [&] {
        m_output.Abandon();
        LogEntry("An error occurred while writing Template information to\nfile: " + outputName +
                 "\r\n*** Aborting Kolvane! ***");
        return 0;
    };

    std::size_t pos = 0;
    for (;;) {
        std::size_t open = text.find("%%", pos);
        if (open == npos) {
            if (!write(text.substr(pos)) || !commit()) return writeFailed();
            return 1;
        }
        std::size_t close = text.find("%%", open + 1);
        if (close == npos) {
            m_output.Abandon();
            LogEntry(
                "Error in Template File Variable Definition!  No ending %%\r\nfor variable => " +
                std::string(text.substr(open, 10)) + "...\r\n*** Aborting Kolvane! ***");
            m_doc.m_bAbort = true;
            return 0;
        }
        const std::size_t after = close + 2;
        std::string_view marker = text.substr(open, after - open);
        const CScanVar* var = nullptr;
        if (marker.size() < kMarkerBuffer) var = index.Find(marker);
        bool ok;
        if (var && var->m_pszValue)
            ok = write(text.substr(pos, open - pos)) && write(*var->m_pszValue);
        else
            ok = write(text.substr(pos, after - pos));
        if (!ok) return writeFailed();
        pos = after;
    }
}

}  // namespace kolvane
