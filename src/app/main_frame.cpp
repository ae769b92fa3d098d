// The main window.
#include "app/main_frame.h"

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/dnd.h>
#include <wx/evtloop.h>
#include <wx/menu.h>
#include <wx/printdlg.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "app/about_box.h"
#include "widgets/accessible.h"
#include "runwindow/app_flags.h"
#include "app/command_ids.h"
#include "runwindow/editor_hooks.h"
#include "widgets/gtk_symbols.h"
#include "app/help.h"
#include "runwindow/kolvane_doc.h"
#include "runwindow/kolvane_view.h"
#include "runwindow/log_printout.h"
#include "app/menus.h"
#include "app/window_settings.h"
#include "settings/settings.h"
#include "runwindow/status_panes.h"

namespace kolvane {
namespace {

// Rule files dropped on the main window open and run, each in its own log window.
class CRuleDropTarget : public wxFileDropTarget {
  public:
    explicit CRuleDropTarget(CMainFrame& frame) : m_frame(frame) {}
    // Accepted from the first position the source tells: a file dragged in and released at once
    // is a drop like any other.
    wxDragResult OnEnter(wxCoord, wxCoord, wxDragResult def) override { return Accept(def); }
    wxDragResult OnDragOver(wxCoord, wxCoord, wxDragResult def) override { return Accept(def); }
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override {
        bool any = false;
        for (const auto& f : files)
            if (f.Lower().EndsWith(".rul")) {
                wxString path = f;
                m_frame.CallAfter([this, path] { m_frame.OpenRuleFile(path); });
                any = true;
            }
        return any;
    }

  private:
    static wxDragResult Accept(wxDragResult def) {
        return def == wxDragNone || def == wxDragError ? wxDragCopy : def;
    }
    CMainFrame& m_frame;
};

}  // namespace

CMainFrame::CMainFrame(wxDocManager* manager, const wxString& title)
    : wxDocMDIParentFrame(manager, nullptr, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
                          wxDEFAULT_FRAME_STYLE | wxFRAME_NO_WINDOW_MENU) {
    SetMenuBar(MakeMenuBar(false, manager->GetFileHistory()));
    MakeToolBar(this);
    NameToolBarTools(GetToolBar());
    m_panes = new CPaneStatusBar(this);
    SetStatusBar(m_panes);
    SetThePanes(m_panes);
    SetStatusBarPane(0);
    SetMinSize(wxSize(300, 220));
    // The keys of the commands whose menu text does not carry them in every menu bar.
    wxAcceleratorEntry keys[] = {
        {wxACCEL_CTRL, 'N', cmd::kNewInstance},
        {wxACCEL_CTRL, 'O', cmd::kOpenExecute},
        {wxACCEL_CTRL, 'P', cmd::kPrint},
        {wxACCEL_NORMAL, WXK_F6, cmd::kNextWindow},
        {wxACCEL_SHIFT, WXK_F6, cmd::kPreviousWindow},
    };
    SetAcceleratorTable(wxAcceleratorTable(std::size(keys), keys));
    SetDropTarget(new CRuleDropTarget(*this));
    if (wxWindow* tabs = GetClientWindow()) {
        tabs->SetDropTarget(new CRuleDropTarget(*this));
        // The tab strip keeps its own drag tracking, which refuses every position that is not a
        // dragged tab before the drop target is asked: a drop released at its first position
        // would be refused. The drop target answers alone.
        if (const gtk::SSymbols& s = gtk::Symbols(); s.ok)
            s.drag_dest_set_track_motion(tabs->GetHandle(), 0);
    }

    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    // Esc stops the active window's run wherever the focus is in the main window.
    Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
        CKolvaneView* view = ActiveView();
        if (e.GetKeyCode() == WXK_ESCAPE && !e.HasAnyModifiers() && view && view->RunOnStack())
            view->RequestAbort();
        else
            e.Skip();
    });
    Bind(wxEVT_IDLE, &CMainFrame::OnIdle, this);
    auto track = [this](wxEvent& e) {
        if (!IsMaximized() && !IsIconized() && IsShown()) m_normalRect = GetRect();
        e.Skip();
    };
    Bind(wxEVT_SIZE, track);
    Bind(wxEVT_MOVE, track);
    Bind(wxEVT_ICONIZE, [this](wxIconizeEvent& e) {
        if (e.IsIconized()) m_bRestoreMaximized = IsMaximized();
        e.Skip();
    });
    BindCommands();
}

CMainFrame::~CMainFrame() {
    SetThePanes(nullptr);
}

CKolvaneView* CMainFrame::ActiveView() const {
    return dynamic_cast<CKolvaneView*>(m_docManager->GetCurrentView());
}

void CMainFrame::OpenRuleFile(const wxString& path) {
    m_docManager->CreateDocument(path, wxDOC_SILENT);
}

void CMainFrame::ApplyWindowState(const SWindowState& state) {
    m_state = state;
    const SRect& r = state.rect;
    m_normalRect = wxRect(r.left, r.top, r.Width(), r.Height());
    SetSize(m_normalRect);
    GetToolBar()->Show(state.toolBar);
    m_panes->Show(state.statusLine);
}

void CMainFrame::ShowWithState() {
    if (m_state.iconized) {
        m_bRestoreMaximized = m_state.maximized;
        Iconize(true);
    } else if (m_state.maximized) {
        Maximize(true);
    }
    Show(true);
    SendSizeEvent();
    Update();
}

SWindowState CMainFrame::CurrentWindowState() const {
    SWindowState s;
    s.rect = {m_normalRect.GetLeft(), m_normalRect.GetTop(), m_normalRect.GetRight() + 1,
              m_normalRect.GetBottom() + 1};
    s.iconized = IsIconized();
    s.maximized = s.iconized ? m_bRestoreMaximized : IsMaximized();
    s.toolBar = GetToolBar() && GetToolBar()->IsShown();
    s.statusLine = m_panes && m_panes->IsShown();
    return s;
}

bool CMainFrame::CloseAllWindows() {
    bool all = true;
    // A copy: closing changes the manager's list.
    for (wxDocument* doc : m_docManager->GetDocumentsVector())
        if (!m_docManager->CloseDocument(doc, false)) all = false;
    return all;
}

void CMainFrame::OnClose(wxCloseEvent& event) {
    // The state is written even when the close is then refused.
    settings::SaveWindowState(CurrentWindowState());
    if (!CloseAllWindows() && event.CanVeto()) {
        event.Veto();
        return;
    }
    std::vector<std::string> recent;
    if (wxFileHistory* history = m_docManager->GetFileHistory())
        for (size_t i = 0; i < history->GetCount(); ++i)
            recent.emplace_back(history->GetHistoryFile(i).utf8_str());
    settings::SaveRecentFiles(recent);
    CloseHelp();
    event.Skip();
}

void CMainFrame::DoGiveHelp(const wxString& text, bool show) {
    // A tool bar button's prompt (the pointer on the bar, the text one of its buttons'): the
    // toolkit gives it without saying where it comes from.
    bool fromToolBar = false;
    if (wxToolBar* bar = GetToolBar();
        bar && bar->IsShown() && bar->GetScreenRect().Contains(wxGetMousePosition()))
        for (size_t i = 0; i < bar->GetToolsCount() && !fromToolBar; ++i)
            if (const wxToolBarToolBase* tool = bar->GetToolByPos(static_cast<int>(i)))
                fromToolBar = tool->GetLongHelp() == text;
    GiveHelp(text, show, fromToolBar);
}

void CMainFrame::ShowOpenWindows() {
    CKolvaneView* active = ActiveView();
    std::vector<wxString> titles;
    int activeAt = -1;
    wxString shown;
    for (wxDocument* doc : m_docManager->GetDocumentsVector()) {
        auto* view = dynamic_cast<CKolvaneView*>(doc->GetFirstView());
        if (!view || !view->GetFrame()) continue;
        if (view == active) activeAt = static_cast<int>(titles.size());
        titles.push_back(view->GetFrame()->GetLabel());
        shown << titles.back() << (view == active ? "*" : "") << "\n";
    }
    if (shown == m_strOpenWindows) return;
    m_strOpenWindows = shown;
    for (wxDocument* doc : m_docManager->GetDocumentsVector())
        if (wxView* view = doc->GetFirstView(); view && view->GetFrame())
            if (auto* child = dynamic_cast<wxFrame*>(view->GetFrame()))
                FillWindowList(child->GetMenuBar(), titles, activeAt);
    const wxString title =
        active ? active->GetDocument()->GetUserReadableName() + wxString(L" \u2014 Kolvane")
               : "Kolvane";
    if (GetTitle() != title) SetTitle(title);
}

bool CMainFrame::ExitWhenCommandLineDone() {
    // The windows the command line opened end the program once one has run without a schedule
    // left, unless one holds a failed run for the user to see; closing that one ends it too.
    bool anyCommandLine = false, anyHeld = false, anyDone = false;
    for (wxDocument* d : m_docManager->GetDocumentsVector()) {
        auto* doc = static_cast<CKolvaneDoc*>(d);
        CKolvaneView* view = doc->View();
        if (!view || !doc->m_bCommandLine) continue;
        anyCommandLine = true;
        if (view->HeldOpenForFailure())
            anyHeld = true;
        else if (view->RanFromFirstStart() && doc->Data().m_cmd.m_nInterval == 0 &&
                 !view->RunOnChange())
            anyDone = true;
    }
    return !anyHeld && (anyDone || (AppFlags().m_bHeldWindowClosed && !anyCommandLine));
}

void CMainFrame::OnIdle(wxIdleEvent& event) {
    event.Skip();
    SAppFlags& flags = AppFlags();
    ShowOpenWindows();
    if (flags.m_nRunsOnStack == 0) {
        if (CKolvaneView* view = ActiveView()) {
            view->ShowLogStatus();
        } else {
            m_panes->SetPane(0, "Ready");
            m_panes->SetPane(1, "");
            m_panes->SetPane(2, "");
        }
    }
    m_panes->Flush();
    if (flags.m_nRunsOnStack > 0) return;
    if (m_bExitPosted) return;
    if (flags.m_bTerminate) {
        // A modal dialog (an editor sheet, a file dialog) and the help window's hold on the
        // input over it run event loops of their own on their callers' stacks, which closing
        // the frame under them would free twice. They are ended one at a time, innermost first
        // (an outer loop told to end while an inner one runs would not notice), and the frame
        // closes from the main loop.
        if (wxEventLoopBase::GetActive() != wxTheApp->GetMainLoop()) {
            if (!CloseHelpWindow())
                for (wxWindow* window : wxTopLevelWindows)
                    if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
                        dialog->EndModal(wxID_CANCEL);
            wxWakeUpIdle();
            return;
        }
        m_bExitPosted = true;
        CallAfter([this] { Close(true); });
        return;
    }
    if (ExitWhenCommandLineDone()) {
        m_bExitPosted = true;
        CallAfter([this] { Close(); });
    }
}

void CMainFrame::BindCommands() {
    using namespace cmd;
    auto on = [this](int id, auto handler) { Bind(wxEVT_MENU, handler, id); };
    auto enable = [this](int id, auto test) {
        Bind(
            wxEVT_UPDATE_UI, [test](wxUpdateUIEvent& e) { e.Enable(test()); }, id);
    };
    // Commands that open a modal dialog run after the command has returned, so the menu (and an
    // accessibility client that pressed it) is not held by the dialog.
    on(kNewInstance,
       [this](wxCommandEvent&) { CallAfter([this] { m_docManager->CreateNewDocument(); }); });
    on(kNewRuleFile, [this](wxCommandEvent&) {
        CallAfter([this] {
            AppFlags().m_bNewRuleRequest = true;
            if (!m_docManager->CreateNewDocument()) AppFlags().m_bNewRuleRequest = false;
        });
    });
    // The open prompts start in the folder of the rule file chosen last ("LastPath").
    auto startInLastPath = [this] {
        const std::string last = settings::LoadPreferences().m_strLastPath;
        if (!last.empty()) m_docManager->SetLastDirectory(wxString::FromUTF8(last));
    };
    on(kOpenExecute, [this, startInLastPath](wxCommandEvent&) {
        CallAfter([this, startInLastPath] {
            startInLastPath();
            m_docManager->CreateDocument(wxString(), 0);
        });
    });
    on(kEditRuleFile, [this, startInLastPath](wxCommandEvent&) {
        CallAfter([this, startInLastPath] {
            SAppFlags& flags = AppFlags();
            startInLastPath();
            const wxDocVector open = m_docManager->GetDocumentsVector();
            flags.m_bEditing = flags.m_bEditOpenPending = true;
            wxDocument* doc = m_docManager->CreateDocument(wxString(), 0);
            if (doc && std::find(open.begin(), open.end(), doc) == open.end())
                return;  // the new window's first start edits the rule and clears the flags
            // A rule that already has a window, which the toolkit only activated: the editor
            // opens on it in a window of its own, as for a first edit, and the window that may
            // be running or counting down is left alone.
            if (doc) {
                const std::string path = static_cast<CKolvaneDoc*>(doc)->Data().m_strRulePath;
                if (auto* fresh = static_cast<CKolvaneDoc*>(
                        m_docManager->CreateDocument(wxString(), wxDOC_NEW))) {
                    fresh->SetRulePath(path);
                    return;
                }
            }
            flags.m_bEditing = flags.m_bEditOpenPending = false;
        });
    });
    on(kClose, [this](wxCommandEvent&) {
        if (CKolvaneView* view = ActiveView()) view->GetFrame()->Close();
    });
    on(kCloseAll, [this](wxCommandEvent&) { CloseAllWindows(); });
    on(wxID_EXIT, [this](wxCommandEvent&) { Close(); });
    on(kPrint, [this](wxCommandEvent&) {
        CallAfter([this] {
            CKolvaneView* view = ActiveView();
            if (!view || view->Doc().Data().m_log.Lines().empty()) return;
            wxPrintDialogData data(PageSetupData().GetPrintData());
            wxPrinter printer(&data);
            std::unique_ptr<wxPrintout> printout(view->OnCreatePrintout());
            if (printer.Print(this, printout.get(), true))
                PageSetupData().SetPrintData(printer.GetPrintDialogData().GetPrintData());
        });
    });
    on(kPrintPreview, [this](wxCommandEvent&) {
        CKolvaneView* view = ActiveView();
        if (!view || view->Doc().Data().m_log.Lines().empty()) return;
        wxPrintDialogData data(PageSetupData().GetPrintData());
        auto* preview =
            new wxPrintPreview(view->OnCreatePrintout(), view->OnCreatePrintout(), &data);
        if (!preview->IsOk()) {
            delete preview;
            return;
        }
        auto* frame = new wxPreviewFrame(preview, this, "Kolvane Print Preview", wxDefaultPosition,
                                         wxSize(700, 800));
        // Modal to the application: the log window cannot close under its preview.
        frame->InitializeWithModality(wxPreviewFrame_AppModal);
        NameIconButtons(frame);
        frame->Show();
    });
    on(kPrintSetup, [this](wxCommandEvent&) {
        CallAfter([this] {
            wxPageSetupDialog dialog(this, &PageSetupData());
            if (dialog.ShowModal() == wxID_OK) PageSetupData() = dialog.GetPageSetupDialogData();
        });
    });
    on(kOptions, [this](wxCommandEvent&) {
        CallAfter([this] {
            if (CKolvaneView* view = ActiveView()) {
                EditorHooks().showOptions(*view);
                if (view->GetFrame()) view->GetFrame()->Refresh();
            }
        });
    });
    on(kStopTimer, [this](wxCommandEvent&) {
        if (CKolvaneView* view = ActiveView()) view->StopSchedule();
    });
    on(kNextWindow, [this](wxCommandEvent&) { ActivateNext(); });
    Bind(
        wxEVT_MENU,
        [this](wxCommandEvent& e) {
            std::vector<wxWindow*> frames;
            for (wxDocument* doc : m_docManager->GetDocumentsVector())
                if (wxView* view = doc->GetFirstView(); view && view->GetFrame())
                    frames.push_back(view->GetFrame());
            const auto i = static_cast<size_t>(e.GetId() - cmd::kWindowFirst);
            if (i < frames.size())
                if (auto* child = dynamic_cast<wxMDIChildFrame*>(frames[i])) child->Activate();
        },
        kWindowFirst, kWindowLast);
    on(kPreviousWindow, [this](wxCommandEvent&) { ActivatePrevious(); });
#ifdef __WXMSW__
    on(kCascade, [this](wxCommandEvent&) { Cascade(); });
    on(kTileHorizontal, [this](wxCommandEvent&) { Tile(wxHORIZONTAL); });
    on(kTileVertical, [this](wxCommandEvent&) { Tile(wxVERTICAL); });
#endif
    on(kSynopsis, [this](wxCommandEvent&) { CallAfter([] { ShowHelpTopic(5001); }); });
    on(kContents, [this](wxCommandEvent&) { CallAfter([] { ShowHelpTopic(5000); }); });
    on(wxID_ABOUT, [this](wxCommandEvent&) { CallAfter([this] { ShowAboutBox(this); }); });
    on(kToggleToolBar, [this](wxCommandEvent&) {
        GetToolBar()->Show(!GetToolBar()->IsShown());
        SendSizeEvent();
    });
    on(kToggleStatusBar, [this](wxCommandEvent&) {
        m_panes->Show(!m_panes->IsShown());
        SendSizeEvent();
    });
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Check(GetToolBar()->IsShown()); },
        kToggleToolBar);
    Bind(
        wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Check(m_panes->IsShown()); },
        kToggleStatusBar);
    on(kRunOnChange, [this](wxCommandEvent&) {
        CKolvaneView* view = ActiveView();
        if (!view) return;
        view->SetRunOnChange(!view->RunOnChange());
        const std::string& rule = view->Doc().Data().m_strRulePath;
        if (!rule.empty()) settings::SaveRunOnChange(rule, view->RunOnChange());
    });
    Bind(
        wxEVT_UPDATE_UI,
        [this](wxUpdateUIEvent& e) {
            CKolvaneView* view = ActiveView();
            e.Enable(view && (view->RunOnChange() || view->CanRunOnChange()));
            e.Check(view && view->RunOnChange());
        },
        kRunOnChange);
    auto hasLines = [this] {
        CKolvaneView* view = ActiveView();
        return view && !view->Doc().Data().m_log.Lines().empty();
    };
    enable(kPrint, hasLines);
    enable(kPrintPreview, hasLines);
    enable(kStopTimer, [this] {
        CKolvaneView* view = ActiveView();
        return view && view->TimerArmed();
    });
    for (int id : {kClose, kOptions, kCloseAll, kNextWindow, kPreviousWindow})
        enable(id, [this] { return ActiveView() != nullptr; });
}

}  // namespace kolvane
