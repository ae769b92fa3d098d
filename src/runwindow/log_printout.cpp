// The log's printout.
#include "runwindow/log_printout.h"

#include <wx/dc.h>

#include <algorithm>

#include "runwindow/log_model.h"
#include "editor/wx_text.h"
#include "runwindow/print_pages.h"

namespace kolvane {

wxPageSetupDialogData& PageSetupData() {
    static wxPageSetupDialogData data = [] {
        wxPageSetupDialogData d;
        // Margins of 15 mm, clear of what printers cannot reach.
        d.SetMarginTopLeft(wxPoint(15, 15));
        d.SetMarginBottomRight(wxPoint(15, 15));
        return d;
    }();
    return data;
}

void CLogPrintout::GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) {
    *minPage = 1;
    *maxPage = PageCount(m_log.Lines().size());
    *pageFrom = 1;
    *pageTo = *maxPage;
}

bool CLogPrintout::HasPage(int page) {
    return page >= 1 && page <= PageCount(m_log.Lines().size());
}

bool CLogPrintout::OnPrintPage(int page) {
    wxDC* dc = GetDC();
    if (!dc) return false;
    // Logical units of screen pixels inside the page margins, so a 9 point font has the same
    // size on paper and in the preview.
    MapScreenSizeToPageMargins(PageSetupData());
    const wxRect area = GetLogicalPageMarginsRect(PageSetupData());
    dc->SetFont(wxFontInfo(9).Family(wxFONTFAMILY_TELETYPE));
    dc->SetTextForeground(*wxBLACK);
    int lineHeight = dc->GetCharHeight();
    // 80 lines always go on one page: on short paper the lines move closer together.
    lineHeight = std::max(1, std::min(lineHeight, area.height / kLinesPerPage));
    const auto [first, end] = PageLines(page, m_log.Lines().size());
    int y = area.y;
    for (std::size_t i = first; i < end; ++i, y += lineHeight)
        dc->DrawText(ToWx(m_log.Lines()[i]), area.x + 10, y);
    return true;
}

}  // namespace kolvane
