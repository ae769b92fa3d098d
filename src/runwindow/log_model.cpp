// The log list's model over the stored lines.
#include "runwindow/log_model.h"

#include "editor/wx_text.h"

namespace kolvane {

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
    value = row < lines.size() ? ToWx(lines[row]) : wxString();
}

}  // namespace kolvane
