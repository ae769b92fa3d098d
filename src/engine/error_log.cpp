// The error log: opening it, its three kinds of stamped entry, and the run's date and time
// texts that stamp them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/engine.h"
#include "engine/shown_text.h"

namespace kolvane {

int CKolvaneEngine::OpenErrorLog(std::string_view dir, std::string_view name) {
    std::string path = JoinPath(dir, name);
    m_bErrorLogRefused = false;
    if (name.empty() || !m_errorLog.Open(ResolvePath(dir, name))) {
        // Not written through another user's link: a run without its log then fails.
        if (!name.empty() && m_errorLog.RefusedLink()) {
            m_bErrorLogRefused = true;
            path += kForeignLinkText;
        }
        Message("Couldn't Open Error Log File: " + path + "!\n*** No Errors will be logged! ***",
                EMessageIcon::Stop);
        return 0;
    }
    return 1;
}

void CKolvaneEngine::LogEntry(std::string_view text, ELogKind kind) {
    ++m_nEntries;
    if (kind != ELogKind::Plain) ++m_nSeriousEntries;
    if (!m_errorLog.IsOpen() && !m_entrySink) return;
    std::string_view words;
    switch (kind) {
        case ELogKind::Plain:
            words = "";
            break;
        case ELogKind::CantContinue:
            words = "Can't continue! ";
            break;
        case ELogKind::Excluding:
            words = "Excluding this file! ";
            break;
    }
    std::string stamp = "  *** " + std::string(words) + m_strDate + " " + m_strTime + " ***\r\n";
    // An entry holds at most 1023 characters: a longer text is cut so that the stamp stays whole.
    std::size_t room = stamp.size() < kMaxEntry ? kMaxEntry - stamp.size() : 0;
    // Control bytes of the names and server texts in it are escaped; the entry's own line
    // breaks stay.
    std::string entry = EscapeControls(text.substr(0, room), ELineBreaks::Keep);
    entry.resize(std::min(entry.size(), room));
    entry += stamp;
    if (!m_errorLog.IsOpen()) {
        m_entrySink(entry);
        return;
    }
    // A log that cannot be written to is closed; later entries are dropped and the run goes on.
    if (!m_errorLog.Write(entry)) m_errorLog.Close();
}

void CKolvaneEngine::FormatSysDate() {
    static const char* const kMonths[12] = {"Jan.", "Feb.", "Mar.", "Apr.", "May.", "Jun.",
                                            "Jly.", "Aug.", "Spt.", "Oct.", "Nov.", "Dec."};
    SLocalTime t = m_clock.Now();
    char buf[64];
    if (m_doc.m_nDateDisplay) {
        int yy = t.year < 2000 ? t.year - 1900 : t.year - 2000;
        std::snprintf(buf, sizeof buf, "%2.2d/%2.2d/%2.2d", t.month, t.day, yy);
    } else {
        const char* month = (t.month >= 1 && t.month <= 12) ? kMonths[t.month - 1] : "";
        std::snprintf(buf, sizeof buf, "%s %2.2d, %d", month, t.day, t.year);
    }
    m_strDate.assign(buf, std::min<std::size_t>(std::strlen(buf), 30));
}

void CKolvaneEngine::FormatSysTime() {
    SLocalTime t = m_clock.Now();
    char buf[64];
    if (m_doc.m_nDateDisplay) {
        int hour = t.hour <= 12 ? t.hour : t.hour - 12;
        const char* half = t.hour < 12 ? "AM" : "PM";
        std::snprintf(buf, sizeof buf, "%2.2d:%2.2d:%2.2d %s", hour, t.minute, t.second, half);
    } else {
        std::snprintf(buf, sizeof buf, "%2.2d:%2.2d:%2.2d", t.hour, t.minute, t.second);
    }
    m_strTime.assign(buf, std::min<std::size_t>(std::strlen(buf), 30));
}

}  // namespace kolvane
