// The log list's model over the stored lines.
#include "runwindow/log_model.h"

namespace kolvane {

wxString DisplayText(std::string_view line) {
    wxString text = wxString::FromUTF8(line.data(), line.size());
    if (text.empty() && !line.empty()) text = wxString(line.data(), wxConvISO8859_1, line.size());
    return text;
}

void CLogListModel::Sync() {
    const std::size_t stored = m_log.Lines().size();
    const std::size_t shown = GetCount();
    // Lines stored since the last time are appended row by row (a reset would rebuild the whole
    // list and lose its scroll position and selection); an emptied log is a reset.
    if (stored > shown)
        for (std::size_t i = shown; i < stored; ++i) RowAppended();
    else if (stored != shown)
        Reset(static_cast<unsigned int>(stored));
}

void CLogListModel::GetValueByRow(wxVariant& value, unsigned int row, unsigned int) const {
    const auto& lines = m_log.Lines();
    value = row < lines.size() ? DisplayText(lines[row]) : wxString();
}

}  // namespace kolvane
