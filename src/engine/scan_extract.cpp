// Scan extraction: reading a scan file and giving each of its variables a value by its rule
// (line-column range, whole file, or start and end patterns with "^^", "#" and "$$$").
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/engine.h"
#include "engine/extract_value.h"
#include "engine/read_ahead.h"
#include "engine/text_ops.h"

namespace kolvane {

int CKolvaneEngine::ReadScanFile(std::string_view dir, std::string_view name, std::size_t* length,
                                 CReadAhead* ahead) {
    std::string path = JoinPath(dir, name);
    const std::string resolved = ResolvePath(dir, name);
    EReadResult result;
    if (!ahead || !ahead->Take(resolved, m_scanText, result, length))
        result = ReadWholeFile(resolved, kMaxFileSize, m_scanText, length);
    // Why the file's variables get no value, for the caller to record (SetScanFileOutcome).
    m_scanRead = SValueOutcome{};
    m_scanRead.detail = path;
    auto failed = [&](EValueOutcome why, std::string_view entry) {
        m_scanRead.kind = why;
        LogEntry(entry, ELogKind::Excluding);
        return 0;
    };
    if (result == EReadResult::Ok || result == EReadResult::ReadFailed)
        SetPane(0, "Scaning: " + path);
    switch (result) {
        case EReadResult::Ok:
            break;
        case EReadResult::OpenFailed: {
            std::error_code ec;
            return failed(std::filesystem::exists(resolved, ec) ? EValueOutcome::ScanFileNotOpened
                                                                : EValueOutcome::ScanFileNotFound,
                          "Couldn't Open Scan File: " + path + "!");
        }
        case EReadResult::Empty:
            return failed(EValueOutcome::ScanFileEmpty, "Scan File " + path + " is Empty!");
        case EReadResult::TooBig:
            return failed(EValueOutcome::ScanFileTooBig, "Scan File " + path + " is tooooooo big!");
        case EReadResult::ReadFailed:
            return failed(EValueOutcome::ScanFileNotRead, "Failed to Read Scan File " + path + "!");
    }
    std::size_t endLength = 0;
    FindLineEnd(ScanText(), 0, &endLength);
    if (endLength == 0) {
        ReleaseScanText();
        return failed(EValueOutcome::ScanFileNoLineFeed,
                      "Scan File " + path + " does NOT meet new line requirements!");
    }
    m_scanRead.kind = EValueOutcome::Found;
    return 1;
}

int CKolvaneEngine::ScanFileVars(CScanFile& entry, std::string_view name) {
    ShowScanProgress(name, 0, true);
    const int notFound = ExtractScanVars(entry);
    ShowScanProgress(name, 100, true);
    return notFound;
}

int CKolvaneEngine::ExtractScanVars(CScanFile& entry) {
    const int count = entry.m_nNextVarNo - 1;
    if (count <= 0) return 0;
    const std::vector<CScanVar*> byNumber = VarsByNumber(entry.m_nNumber, count);
    const SScanText scan(ScanText(), m_scanText.Crlf());
    CScanExtractor extractor(scan,
                             std::vector<const CScanVar*>(byNumber.begin() + 1, byNumber.end()));
    // Many variables over a large file, or one long extraction, take a while: pending events (a
    // window's, the console's SIGTERM) are still served about ten times a second, between
    // variables and from within the extraction.
    auto lastPump = std::chrono::steady_clock::now();
    auto pump = [&] {
        if (const auto now = std::chrono::steady_clock::now();
            now - lastPump >= std::chrono::milliseconds(100)) {
            lastPump = now;
            PumpMessages();
        }
    };
    extractor.SetPump(pump);
    int notFound = 0;
    for (int i = 1; i <= count; ++i) {
        CScanVar* var = byNumber[i];
        if (!var) continue;
        pump();
        SExtraction found = extractor.Extract(std::size_t(i - 1));
        var->m_pszValue = std::move(found.value);
        var->m_outcome = std::move(found.outcome);
        notFound += !var->m_pszValue;
        if (var->m_nRule == kRuleWholeFile) break;
    }
    return notFound;
}

// A run extracts scan file after scan file from one list of variables: walking the whole list
// for each file cost more than the extraction of a small one. The index is built in one walk
// and kept while no variable is added or removed; a variable whose file or number changed in
// place since (the editor renumbers so), or a number without a variable, sends the lookup to
// the walk, which is always right.
std::vector<CScanVar*> CKolvaneEngine::VarsByNumber(int file, int count) {
    auto& vars = m_doc.m_scanVars;
    const std::size_t bound = vars.size();  // no valid file or variable number is larger
    if (!m_bVarIndexValid || m_nVarIndexGeneration != vars.Generation()) {
        m_varIndex.clear();
        for (auto& var : vars) {
            const auto f = std::size_t(var->m_nScanFile), n = std::size_t(var->m_nVarNo);
            if (var->m_nScanFile < 1 || var->m_nVarNo < 1 || f > bound || n > bound) continue;
            if (m_varIndex.size() <= f) m_varIndex.resize(f + 1);
            std::vector<CScanVar*>& slots = m_varIndex[f];
            if (slots.size() <= n) slots.resize(n + 1, nullptr);
            if (!slots[n]) slots[n] = var.get();
        }
        m_nVarIndexGeneration = vars.Generation();
        m_bVarIndexValid = true;
    }
    std::vector<CScanVar*> byNumber(static_cast<std::size_t>(count) + 1, nullptr);
    const std::size_t f = std::size_t(file);
    bool indexed = file >= 1 && f < m_varIndex.size() && m_varIndex[f].size() > std::size_t(count);
    for (int i = 1; indexed && i <= count; ++i) {
        CScanVar* var = m_varIndex[f][std::size_t(i)];
        indexed = var && var->m_nScanFile == file && var->m_nVarNo == i;
        byNumber[std::size_t(i)] = var;
    }
    if (indexed) return byNumber;
    std::fill(byNumber.begin(), byNumber.end(), nullptr);
    for (auto& var : vars) {
        if (var->m_nScanFile == file && var->m_nVarNo >= 1 && var->m_nVarNo <= count &&
            !byNumber[std::size_t(var->m_nVarNo)])
            byNumber[std::size_t(var->m_nVarNo)] = var.get();
    }
    return byNumber;
}

void CKolvaneEngine::SetScanFileOutcome(const CScanFile& entry, const SValueOutcome& why) {
    const int count = entry.m_nNextVarNo - 1;
    for (auto& var : m_doc.m_scanVars) {
        if (var->m_nScanFile != entry.m_nNumber || var->m_nVarNo < 1 || var->m_nVarNo > count)
            continue;
        var->m_pszValue.reset();
        var->m_outcome = why;
    }
}

}  // namespace kolvane
