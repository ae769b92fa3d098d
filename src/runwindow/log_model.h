// The log list's model: a virtual list whose rows are the document's stored log lines. It holds
// no text of its own; each cell is converted from the stored line when the list asks for it, so
// a line costs one allocation, in the document. A native wxDataViewCtrl over it is readable by
// screen readers (AT-SPI sees a table with one cell per line).
#pragma once

#include <wx/dataview.h>

#include "engine/doc_data.h"

namespace kolvane {

class CLogListModel : public wxDataViewVirtualListModel {
  public:
    explicit CLogListModel(const CLogStore& log) : m_log(log) {}

    // Brings the row count in line with the stored lines after appends (new rows at the end) or
    // after the store was emptied or rebuilt (a reset).
    void Sync();

    unsigned int GetColumnCount() const override { return 1; }
    wxString GetColumnType(unsigned int) const override { return "string"; }
    void GetValueByRow(wxVariant& value, unsigned int row, unsigned int col) const override;
    bool SetValueByRow(const wxVariant&, unsigned int, unsigned int) override { return false; }

  private:
    const CLogStore& m_log;
};

}  // namespace kolvane
