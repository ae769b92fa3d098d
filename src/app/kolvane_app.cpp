// Start-up, the document type and the program's entry point.
#include "app/kolvane_app.h"

#include <wx/cmdline.h>
#include <wx/display.h>
#include <wx/docview.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/log.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "runwindow/app_flags.h"
#include "runwindow/child_frame.h"
#include "runwindow/editor_hooks.h"
#include "app/help.h"
#include "app/install_editor.h"
#include "runwindow/kolvane_doc.h"
#include "runwindow/kolvane_view.h"
#include "app/main_frame.h"
#include "app/menus.h"
#include "app/resources.h"
#include "run/run_timing.h"
#include "app/window_settings.h"
#include "settings/settings.h"
#include "run/transfer_loader.h"
#include "app/single_instance.h"
#include "app/version_info.h"

namespace kolvane {
namespace {

constexpr const char* kUsage =
    "Usage: kolvane [--help] [--version] [RULEFILE...]\n"
    "Opens each rule file in its own log window and runs it. When the program was started\n"
    "with rule files, it ends by itself once their runs are over and no schedule is counting\n"
    "down, with the status kolvane-run would give for the last run: 0 written, 1 failed,\n"
    "2 rule or template refused.\n"
    "A second start on the same display hands its rule files to the running program.\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n";

const wxCmdLineEntryDesc kCommandLine[] = {
    {wxCMD_LINE_SWITCH, "h", "help", "show this help and exit", wxCMD_LINE_VAL_NONE,
     wxCMD_LINE_OPTION_HELP},
    {wxCMD_LINE_SWITCH, nullptr, "version", "show the version and exit", wxCMD_LINE_VAL_NONE, 0},
    {wxCMD_LINE_PARAM, nullptr, nullptr, "RULEFILE", wxCMD_LINE_VAL_STRING,
     wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE},
    {wxCMD_LINE_NONE, nullptr, nullptr, nullptr, wxCMD_LINE_VAL_NONE, 0},
};

// The document manager: a recent-file list of 4 shown in full paths, and new windows named like
// the document type.
class CDocManager : public wxDocManager {
  public:
    // The base class would create its history in its own constructor, where this class's
    // OnCreateFileHistory is not called yet (a history of 9 entries).
    CDocManager() : wxDocManager(0, false) { Initialize(); }
    wxFileHistory* OnCreateFileHistory() override {
        auto* history = new wxFileHistory(kRecentFiles);
        history->SetMenuPathStyle(wxFH_PATH_SHOW_ALWAYS);
        return history;
    }
    wxString MakeNewDocumentName() override { return wxString::Format("Kolvan%d", ++m_nNew); }
    // The history changes the File menu of every open window.
    void AddFileToHistory(const wxString& file) override {
        TrackMenus();
        wxDocManager::AddFileToHistory(file);
        ExitLast();
    }
    void RemoveFileFromHistory(size_t i) override {
        TrackMenus();
        wxDocManager::RemoveFileFromHistory(i);
        ExitLast();
    }

  private:
    // The menus of the windows open now: a closed window's menu bar is gone with it, and the
    // history is never left to change a menu that no longer exists.
    void TrackMenus() {
        wxFileHistory* history = GetFileHistory();
        const wxList menus = history->GetMenus();
        for (wxObject* menu : menus) history->RemoveMenu(static_cast<wxMenu*>(menu));
        auto track = [history](wxWindow* window) {
            if (auto* frame = dynamic_cast<wxFrame*>(window))
                if (wxMenu* file = FileMenu(frame->GetMenuBar())) history->UseMenu(file);
        };
        track(wxTheApp->GetTopWindow());
        for (wxDocument* doc : GetDocumentsVector())
            if (wxView* view = doc->GetFirstView()) track(view->GetFrame());
    }
    void ExitLast() {
        for (wxObject* menu : GetFileHistory()->GetMenus())
            KeepExitLast(static_cast<wxMenu*>(menu), *GetFileHistory());
    }
    int m_nNew = 0;
};

// The one document type: rule files, each in a log window. The open prompt adds the pattern
// to the filter's name ("Kolvan Files (*.rul)").
class CRuleTemplate : public wxDocTemplate {
  public:
    explicit CRuleTemplate(wxDocManager* manager)
        : wxDocTemplate(manager, "Kolvan Files", "*.rul", "", "rul", "Kolvan", "Kolvan", nullptr,
                        nullptr) {}
    wxDocument* DoCreateDocument() override { return new CKolvaneDoc; }
    wxView* DoCreateView() override { return new CKolvaneView; }
};

// SIGTERM and SIGINT (delivered on the user-interface thread): every run stops at its next
// check as after a double-click, and the program closes through its normal path (window state,
// recent files) once no run is on the stack.
void OnTerminate(int) {
    AppFlags().m_bTerminate = true;
    if (wxDocManager* manager = wxDocManager::GetDocumentManager())
        for (wxDocument* d : manager->GetDocumentsVector()) {
            auto* doc = static_cast<CKolvaneDoc*>(d);
            if (CKolvaneView* view = doc->View(); view && view->RunOnStack()) {
                doc->Data().m_bBusy = false;
                doc->Data().m_bAbort = true;
            }
        }
    wxWakeUpIdle();
}

}  // namespace

CKolvaneApp::CKolvaneApp() = default;
CKolvaneApp::~CKolvaneApp() = default;

bool CKolvaneApp::OnInit() {
    InstallModuleUrlSplitter();  // the rules' URLs are split by the transfer module
    SetAppName("Kolvane");
    SetVendorName("Pellucor Enterprises");
    SetAppDisplayName("Kolvane");
    wxInitAllImageHandlers();
    // The toolkit's own complaints go to standard error, never into a dialog that an
    // unattended run would wait on.
    delete wxLog::SetActiveTarget(new wxLogStderr);

    // The command line (after the toolkit took its own options).
    wxCmdLineParser parser(kCommandLine, argc, argv);
    parser.SetLogo("");
    if (parser.Parse(false) != 0) {
        std::fputs(kUsage, stderr);
        m_nEarlyExit = 64;
        return true;
    }
    wxArrayString files;
    for (size_t i = 0; i < parser.GetParamCount(); ++i) {
        wxFileName f(parser.GetParam(i));
        f.MakeAbsolute();
        files.Add(f.GetFullPath());
    }

    // One program per user and display: a second start hands its files over.
    m_instance = std::make_unique<CSingleInstance>();
    if (m_instance->AnotherRunning() && m_instance->HandOver(files)) {
        m_nEarlyExit = 0;
        return true;
    }

    // 1, 2: the settings (read on first use) and the recent-file list.
    auto* manager = new CDocManager;
    const std::vector<std::string> recent = settings::LoadRecentFiles();
    for (auto it = recent.rbegin(); it != recent.rend(); ++it)
        manager->AddFileToHistory(wxString::FromUTF8(*it));
    // 3: the document type.
    new CRuleTemplate(manager);
    editor::InstallEditorHooks(ShowHelpTopic);
    // 4, 5: the main window.
    auto* frame = new CMainFrame(manager, "Kolvane");
    frame->SetIcons(ProgramIcons());
    SetTopWindow(frame);
    ChildMenuBarMaker() = [manager] { return MakeMenuBar(true, manager->GetFileHistory()); };
    m_instance->Listen([frame](const wxString& path) {
        if (!path.empty()) frame->OpenRuleFile(path);
        frame->Raise();
    });
    SetSignalHandler(SIGTERM, OnTerminate);
    SetSignalHandler(SIGINT, OnTerminate);
    // 6: the command-line flag and the line limit.
    SAppFlags& flags = AppFlags();
    flags.m_bCommandLine = !files.empty();
    flags.m_nLineLimit = 128000;
    // 7: the saved window state.
    const wxSize screen = wxGetDisplaySize();
    frame->ApplyWindowState(settings::LoadWindowState(screen.GetWidth(), screen.GetHeight()));
    // 8: the command line's rule files, or a new window that asks for one.
    if (files.empty())
        manager->CreateNewDocument();
    else
        for (const auto& f : files) frame->OpenRuleFile(f);
    // Windows opened later (dropped, chosen, handed over) never end the program.
    flags.m_bCommandLine = false;
    // 9: show the window.
    frame->ShowWithState();
    return true;
}

int CKolvaneApp::OnRun() {
    if (m_nEarlyExit >= 0) return m_nEarlyExit;
    int status = wxApp::OnRun();
    return AppFlags().m_exitStatus.value_or(status);
}

void CKolvaneApp::OnAssertFailure(const wxChar* file, int line, const wxChar* func,
                                  const wxChar* cond, const wxChar* msg) {
    std::fprintf(stderr, "kolvane: %s(%d) in %s: %s %s\n",
                 static_cast<const char*>(wxString(file).utf8_str()), line,
                 static_cast<const char*>(wxString(func).utf8_str()),
                 static_cast<const char*>(wxString(cond).utf8_str()),
                 static_cast<const char*>(wxString(msg).utf8_str()));
}

int CKolvaneApp::OnExit() {
    if (wxDocManager* manager = wxDocManager::GetDocumentManager()) delete manager;
    m_instance.reset();
    settings::Close();
    return wxApp::OnExit();
}

}  // namespace kolvane

wxIMPLEMENT_APP_NO_MAIN(kolvane::CKolvaneApp);

int main(int argc, char** argv) {
    kolvane::CRunTiming::Start() = std::chrono::steady_clock::now();
    // --help and --version answer without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kolvane %s\n",
                        kolvane::CVersionInfo::OfThisBuild().m_strShortVersion.c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kolvane::kUsage, stdout);
            return 0;
        }
    }
    return wxEntry(argc, argv);
}
