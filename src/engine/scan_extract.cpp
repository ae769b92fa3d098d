// Scan extraction: reading a scan file and giving each of its variables a value by its rule
// (line-column range, whole file, or start and end patterns with "^^", "#" and "$$$").
#include <chrono>
#include <cstring>
#include <vector>

#include "engine.h"
#include "text_ops.h"

namespace kolvane {

int CKolvaneEngine::ReadScanFile(std::string_view dir, std::string_view name, std::size_t* length) {
    std::string path = FullPath(dir, name);
    EReadResult result = ReadWholeFile(ResolvePath(dir, name), kMaxFileSize, m_scanText, length);
    if (result == EReadResult::Ok || result == EReadResult::ReadFailed)
        SetPane(0, "Scaning: " + path);
    switch (result) {
        case EReadResult::Ok:
            break;
        case EReadResult::OpenFailed:
            LogEntry("Couldn't Open Scan File: " + path + "!", ELogKind::Excluding);
            return 0;
        case EReadResult::Empty:
            LogEntry("Scan File " + path + " is Empty!", ELogKind::Excluding);
            return 0;
        case EReadResult::TooBig:
            LogEntry("Scan File " + path + " is tooooooo big!", ELogKind::Excluding);
            return 0;
        case EReadResult::ReadFailed:
            LogEntry("Failed to Read Scan File " + path + "!", ELogKind::Excluding);
            return 0;
    }
    std::size_t endLength = 0;
    FindLineEnd(ScanText(), 0, &endLength);
    if (endLength == 0) {
        ReleaseScanText();
        LogEntry("Scan File " + path + " does NOT meet new line requirements!",
                 ELogKind::Excluding);
        return 0;
    }
    return 1;
}

int CKolvaneEngine::ScanFileVars(CScanFile& entry, std::string_view name) {
    ShowScanProgress(name, 0, true);
    ExtractScanVars(entry);
    ShowScanProgress(name, 100, true);
    return 1;
}

int CKolvaneEngine::ExtractScanVars(CScanFile& entry) {
    const int count = entry.m_nNextVarNo - 1;
    if (count <= 0) return 1;
    // The first variable of each number, in list order, found in one pass.
    std::vector<CScanVar*> byNumber(static_cast<std::size_t>(count) + 1, nullptr);
    for (auto& var : m_doc.m_scanVars) {
        if (var->m_nScanFile == entry.m_nNumber && var->m_nVarNo >= 1 && var->m_nVarNo <= count &&
            !byNumber[var->m_nVarNo])
            byNumber[var->m_nVarNo] = var.get();
    }
    const bool crlf = ScanText().find("\r\n") != npos;
    // Many variables over a large file take seconds: pending events (a window's, the console's
    // SIGTERM) are still served about ten times a second.
    auto lastPump = std::chrono::steady_clock::now();
    for (int i = 1; i <= count; ++i) {
        CScanVar* var = byNumber[i];
        if (!var) continue;
        if (const auto now = std::chrono::steady_clock::now();
            now - lastPump >= std::chrono::milliseconds(100)) {
            lastPump = now;
            PumpMessages();
        }
        if (var->m_nRule == kRuleWholeFile) {
            ExtractWholeFile(*var);
            break;
        }
        if (var->m_nRule == kRuleLineColumn)
            ExtractLineColumn(*var);
        else
            ExtractPattern(*var, crlf);
    }
    return 1;
}

void CKolvaneEngine::ExtractPattern(CScanVar& var, bool crlf) {
    const std::string_view text = ScanText();

    std::string search = var.m_szStartPattern;
    if (auto caret = search.find("^^"); caret != std::string::npos)
        search.replace(caret, 2, crlf ? "\r\n" : "\n");
    // The last character of the pattern; a NUL never occurs inside the text.
    const char last = search.empty() ? '\0' : search.back();
    std::string_view endPattern = var.m_szEndPattern;

    std::string_view key = search;
    std::size_t digits = 0;  // the digit test's count; 0 when there is none
    const std::size_t hash = search.find('#');
    if (hash != std::string::npos) {
        key = TrimView(std::string_view(search).substr(0, hash));
        while (hash + digits < search.size() && search[hash + digits] == '#') ++digits;
        if (auto cut = endPattern.find('#'); cut != npos) endPattern = endPattern.substr(0, cut);
    }
    const std::size_t skip = search.find("$$$");
    if (skip != std::string::npos && hash == std::string::npos)
        key = TrimView(std::string_view(search).substr(0, skip));
    const bool skipping = skip != std::string::npos;

    // A next `last` at or after `from` with at least two characters between.
    auto lastFollows = [&](std::size_t from) {
        std::size_t l = text.find(last, from);
        return l != npos && l - from >= 2;
    };

    int count = 0;
    // The digit test's stop (the first digit, `last` or line feed at or after an occurrence),
    // the end of the digit run there and whether `last` follows it. Occurrences only move
    // forward, so a stop serves every occurrence up to it: found once, not once per occurrence
    // (a long line of occurrences without a stop took quadratic time, found with a scan text of
    // the largest size).
    std::size_t stop = npos, run = npos;
    bool runFollowed = false;
    std::size_t nextLast = npos;
    bool nextLastKnown = false;
    std::size_t at = FindText(text, key);
    while (at != npos) {
        const std::size_t after = at + key.size();
        bool qualifies = true;
        if (digits > 0) {
            if (stop == npos || after > stop) {
                stop = after;
                while (stop < text.size() && !IsDigit(text[stop]) && text[stop] != last &&
                       text[stop] != '\n')
                    ++stop;
                run = stop;
                while (run < text.size() && IsDigit(text[run])) ++run;
                runFollowed = skipping && lastFollows(run);
            }
            const std::size_t p = stop;
            // An empty key searches every position; it never starts inside a run of digits.
            const bool insideRun = key.empty() && at > 0 && IsDigit(text[at - 1]);
            qualifies = !insideRun && p < text.size() && IsDigit(text[p]) && run - p == digits &&
                        (!skipping || runFollowed);
        } else if (skipping) {
            // Likewise the next `last`: looked for again only once an occurrence has passed it.
            if (!nextLastKnown || (nextLast != npos && after > nextLast)) {
                nextLast = text.find(last, after);
                nextLastKnown = true;
            }
            qualifies = nextLast != npos && nextLast - after >= 2;
        }
        if (qualifies) ++count;
        if (count >= var.m_nInstance) break;
        // Occurrences do not overlap; an empty key moves on one character at a time.
        at = FindText(text, key, after > at ? after : at + 1);
    }
    if (at == npos) return;

    std::size_t start = at + key.size();
    if (skipping) {
        std::size_t l = text.find(last, at);
        if (l == npos) return;
        start = l + 1;
    }
    std::string_view raw;
    if (var.m_nRule == kRuleCopy) {
        raw = text.substr(start, static_cast<std::size_t>(var.m_nCopyCount));
    } else {
        std::size_t end = FindText(text, endPattern, start);
        if (end == npos) return;
        raw = text.substr(start, end - start);
    }
    std::string value;
    value.reserve(raw.size());
    for (char c : raw) {
        if (c == '\r') continue;
        value.push_back(c == '\n' ? ' ' : c);
    }
    var.m_pszValue = std::move(value);
}

void CKolvaneEngine::ExtractLineColumn(CScanVar& var) {
    const std::string_view text = ScanText();
    const int startLine = var.m_nStartLine, startCol = var.m_nStartCol;
    const int endLine = var.m_nEndLine, endCol = var.m_nEndCol;
    if (startLine < 1 || startCol < 1 || endLine < startLine) return;

    // Line k is the text after the (k-1)-th line feed up to and including the k-th; a line
    // without its line feed cannot be the start line, and an empty line gives nothing.
    const std::size_t lineStart = AfterLineFeeds(text, 0, std::size_t(startLine - 1));
    if (lineStart == npos) return;
    const std::size_t lineEnd = AfterLineFeeds(text, lineStart, 1);
    if (lineEnd == npos || lineEnd - 1 == lineStart) return;
    if (std::size_t(startCol - 1) >= lineEnd - 1 - lineStart) return;
    const std::size_t start = lineStart + std::size_t(startCol - 1);

    // The end position: on the start line from the start column, or on a later line from its
    // first column. A carriage return counts as a column; the line feed ending the end line is
    // its last possible column.
    std::size_t p = start;
    int col = startCol;
    if (endLine > startLine) {
        p = AfterLineFeeds(text, start, std::size_t(endLine - startLine));
        if (p == npos) return;
        col = 1;
    }
    for (; p < text.size(); ++p, ++col) {
        if (col == endCol) {
            var.m_pszValue = std::string(text.substr(start, p - start + 1));
            return;
        }
        if (text[p] == '\n') return;
    }
}

void CKolvaneEngine::ExtractWholeFile(CScanVar& var) {
    var.m_pszValue = std::string(ScanText());
}

}  // namespace kolvane
