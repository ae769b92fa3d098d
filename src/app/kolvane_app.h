// The application: start-up in its fixed order (settings, recent files, the rule-file document
// type, the main window, the single running program, the command line, the saved window state,
// the command line's rule files, showing the window), the exit status, and the document
// manager with its one document type.
#pragma once

#include <wx/app.h>

#include <memory>

namespace kolvane {

class CMainFrame;
class CSingleInstance;

class CKolvaneApp : public wxApp {
  public:
    CKolvaneApp();
    ~CKolvaneApp() override;
    bool OnInit() override;
    int OnRun() override;
    int OnExit() override;
    // A failed check of the toolkit is reported on standard error, never in a dialog that an
    // unattended program would wait on.
    void OnAssertFailure(const wxChar* file, int line, const wxChar* func, const wxChar* cond,
                         const wxChar* msg) override;

  private:
    std::unique_ptr<CSingleInstance> m_instance;
    int m_nEarlyExit = -1;  // set when start-up ends the program before the main loop
};

}  // namespace kolvane
