// Printing the log: 80 stored lines a page in a fixed-pitch 9 point font, for the printer and
// for the print preview alike; and the page set-up shared by Print, Print Preview and Print
// Setup.
#pragma once

#include <wx/cmndata.h>
#include <wx/print.h>

#include "engine/doc_data.h"

namespace kolvane {

class CLogPrintout : public wxPrintout {
  public:
    CLogPrintout(const CLogStore& log, const wxString& title) : wxPrintout(title), m_log(log) {}

    void GetPageInfo(int* minPage, int* maxPage, int* pageFrom, int* pageTo) override;
    bool HasPage(int page) override;
    bool OnPrintPage(int page) override;

  private:
    const CLogStore& m_log;
};

// The page set-up and printer choice of this process.
wxPageSetupDialogData& PageSetupData();

}  // namespace kolvane
