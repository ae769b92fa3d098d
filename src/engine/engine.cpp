// The engine object's construction, its message box, status-pane and log-line helpers.
#include "engine/engine.h"

#include <cstdio>

#include "engine/shown_text.h"
#include "engine/text_ops.h"

namespace kolvane {

CKolvaneEngine::CKolvaneEngine(CKolvaneDocData& doc, CRunHost& host, const IClock& clock)
    : m_doc(doc), m_host(host), m_clock(clock) {}

void CKolvaneEngine::SetRuleText(std::string_view bytes) {
    m_ruleText.Set(bytes);
}
void CKolvaneEngine::SetScanText(std::string_view bytes) {
    m_scanText.Set(bytes);
}
void CKolvaneEngine::SetTemplateText(std::string_view bytes) {
    m_templateText.Set(bytes);
}

void CKolvaneEngine::Message(std::string_view text, EMessageIcon icon) {
    m_host.MessageBox(EscapeControls(text, ELineBreaks::Keep), icon);
}

void CKolvaneEngine::SetPane(int pane, std::string_view text) {
    m_host.SetPaneText(pane, EscapeControls(text));
}

void CKolvaneEngine::PumpMessages() {
    m_host.PumpMessages();
}

void CKolvaneEngine::ShowScanProgress(std::string_view text, int percent, bool scanning) {
    if (text == "Ready") {
        m_host.SetPaneText(0, "Ready");
        m_host.SetPaneText(1, "");
        m_host.SetPaneText(2, "");
    } else {
        std::string pane0 = (scanning ? "Sanning -> " : "Uploading -> ") + EscapeControls(text);
        std::string pane1 = percent < 0 ? " " : "File " + std::to_string(percent) + " %processed";
        std::string pane2 = std::to_string(m_nScanIndex + 1) + " out of " +
                            std::to_string(m_nScanCount) + " searched";
        m_host.SetPaneText(0, pane0);
        m_host.SetPaneText(1, pane1);
        m_host.SetPaneText(2, pane2);
    }
    PumpMessages();
}

void CKolvaneEngine::AppendLogLine(std::string_view text) {
    // A log line is one line: names in it (of the rule, its files) may not break it.
    const std::string line = EscapeControls(text);
    switch (m_doc.m_log.Append(line)) {
        case CLogStore::EAppend::Shown:
            m_host.ShowLogLine(line);
            break;
        case CLogStore::EAppend::LimitNotice:
            m_host.ShowLogLine(CLogStore::kLineLimitNotice);
            break;
        case CLogStore::EAppend::Dropped:
            break;
    }
}

}  // namespace kolvane
