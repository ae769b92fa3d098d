// Menus and tool bar.
#include "app/menus.h"

#include <wx/artprov.h>
#include <wx/filehistory.h>
#include <wx/frame.h>
#include <wx/menu.h>
#include <wx/toolbar.h>

#include <string>
#include <vector>

#include "app/command_ids.h"

namespace kolvane {
namespace {

std::string Before(const char* prompt) {
    std::string text(prompt);
    return text.substr(0, text.find('\n'));
}

std::string After(const char* prompt) {
    std::string text(prompt);
    auto nl = text.find('\n');
    return nl == std::string::npos ? text : text.substr(nl + 1);
}

void Item(wxMenu* menu, int id, const char* text, const char* prompt) {
    menu->Append(id, text, Before(prompt));
}

}  // namespace

wxMenu* FileMenu(wxMenuBar* bar) {
    return bar && bar->GetMenuCount() > 0 ? bar->GetMenu(0) : nullptr;
}

void KeepExitLast(wxMenu* file, const wxFileHistory& history) {
    wxMenuItem* exit = file->FindChildItem(wxID_EXIT);
    if (!exit) return;
    // The history labels its items by their ids in order; each one it appended went last.
    file->Remove(exit);
    std::vector<wxMenuItem*> files;
    for (size_t i = 0; i < history.GetCount(); ++i)
        if (wxMenuItem* item = file->FindChildItem(history.GetBaseId() + static_cast<int>(i)))
            files.push_back(file->Remove(item));
    while (file->GetMenuItemCount() > 0 &&
           file->FindItemByPosition(file->GetMenuItemCount() - 1)->IsSeparator())
        file->Destroy(file->FindItemByPosition(file->GetMenuItemCount() - 1));
    if (!files.empty()) file->AppendSeparator();
    for (wxMenuItem* item : files) {
        item->SetHelp("Open this rule file and run it");
        file->Append(item);
    }
    file->AppendSeparator();
    file->Append(exit);
}

void FillWindowList(wxMenuBar* bar, const std::vector<wxString>& titles, int active) {
    using namespace cmd;
    const int at = bar ? bar->FindMenu("&Window") : wxNOT_FOUND;
    if (at == wxNOT_FOUND) return;
    wxMenu* menu = bar->GetMenu(static_cast<size_t>(at));
    for (int id = kWindowFirst; id <= kWindowLast; ++id)
        if (menu->FindChildItem(id)) menu->Delete(id);
    for (int i = 0; i < static_cast<int>(titles.size()) && kWindowFirst + i <= kWindowLast; ++i) {
        wxString title = titles[static_cast<size_t>(i)];
        title.Replace("&", "&&");
        const wxString text = i < 9 ? wxString::Format("&%d %s", i + 1, title)
                                    : wxString::Format("%d %s", i + 1, title);
        menu->AppendCheckItem(kWindowFirst + i, text, kPromptWindowItem)->Check(i == active);
    }
}

wxMenuBar* MakeMenuBar(bool withLog, wxFileHistory* history) {
    using namespace cmd;
    auto* file = new wxMenu;
    auto* newMenu = new wxMenu;
    Item(newMenu, kNewInstance, withLog ? "New Merge Instance\tCtrl+N" : "New &Merge Instance",
         kPromptNewInstance);
    newMenu->AppendSeparator();
    Item(newMenu, kNewRuleFile, "New &Rule File", kPromptNewRuleFile);
    file->AppendSubMenu(newMenu, "New...");
    auto* openMenu = new wxMenu;
    Item(openMenu, kOpenExecute, "Open to &Execute...\tCtrl+O", kPromptOpenExecute);
    openMenu->AppendSeparator();
    Item(openMenu, kEditRuleFile, "Open to Edit &Rule File", kPromptEditRuleFile);
    file->AppendSubMenu(openMenu, "&Open...");
    if (withLog) {
        Item(file, kClose, "&Close", kPromptClose);
        file->AppendSeparator();
        Item(file, kPrint, "&Print...\tCtrl+P", kPromptPrint);
        Item(file, kPrintPreview, "Print Pre&view", kPromptPreview);
    } else {
        file->AppendSeparator();
    }
    Item(file, kPrintSetup, "P&rint Setup...", kPromptPrintSetup);
    Item(file, wxID_EXIT, "E&xit", kPromptExit);
    if (history) {
        history->UseMenu(file);
        history->AddFilesToMenu(file);
        KeepExitLast(file, *history);
    } else {
        file->InsertSeparator(file->GetMenuItemCount() - 1);
    }

    auto* view = new wxMenu;
    view->AppendCheckItem(kToggleToolBar, "&Toolbar", Before(kPromptToolBar));
    view->AppendCheckItem(kToggleStatusBar, "&Status Bar", Before(kPromptStatusBar));
    if (withLog) {
        view->AppendSeparator();
        view->AppendCheckItem(kRunOnChange, "Run on &Change", Before(kPromptRunOnChange));
    }

    auto* help = new wxMenu;
    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(view, "&View");
    if (withLog) {
        auto* tools = new wxMenu;
        Item(tools, kOptions, "&Options...", kPromptOptions);
        Item(tools, kStopTimer, "&Stop Scheduler's Timer", kPromptStopTimer);
        bar->Append(tools, "&Tools");
        auto* window = new wxMenu;
#ifdef __WXMSW__
        // Only a platform whose child windows overlap can cascade or tile them.
        Item(window, kCascade, "&Cascade", kPromptCascade);
        Item(window, kTileHorizontal, "Tile &Horizontally", kPromptTile);
        Item(window, kTileVertical, "Tile &Vertically", kPromptTile);
#endif
        Item(window, kNextWindow, "&Next\tF6", kPromptNext);
        Item(window, kPreviousWindow, "&Previous\tShift+F6", kPromptPrevious);
        window->AppendSeparator();
        Item(window, kCloseAll, "Close &All", kPromptCloseAll);
        window->AppendSeparator();  // the open windows follow (FillWindowList)
        bar->Append(window, "&Window");
        Item(help, kSynopsis, "Application &Synopsis...", kPromptSynopsis);
        Item(help, kContents, "&Contents...", kPromptContents);
        help->AppendSeparator();
    }
    Item(help, wxID_ABOUT, "&About Kolvane...", kPromptAbout);
    bar->Append(help, "&Help");
    return bar;
}

void MakeToolBar(wxFrame* frame) {
    using namespace cmd;
    wxToolBar* bar = frame->CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    const wxSize size = wxArtProvider::GetSizeHint(wxART_TOOLBAR);
    auto tool = [&](int id, const wxArtID& art, const char* prompt) {
        bar->AddTool(id, After(prompt), wxArtProvider::GetBitmapBundle(art, wxART_TOOLBAR, size),
                     After(prompt), wxITEM_NORMAL);
        bar->SetToolLongHelp(id, Before(prompt));
    };
    tool(kNewInstance, wxART_NEW, kPromptNewInstance);
    tool(kNewRuleFile, wxART_EDIT, kPromptNewRuleFile);
    bar->AddSeparator();
    tool(kOpenExecute, wxART_FILE_OPEN, kPromptOpenExecute);
    tool(kEditRuleFile, wxArtID("document-properties"), kPromptEditRuleFile);
    bar->AddSeparator();
    tool(kStopTimer, wxART_STOP, kPromptStopTimer);
    bar->AddSeparator();
    tool(kPrint, wxART_PRINT, kPromptPrint);
    tool(kContents, wxART_HELP_BOOK, kPromptContents);
    bar->Realize();
}

}  // namespace kolvane
