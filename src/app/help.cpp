// The help controller, created when help is first asked for.
#include "app/help.h"

#include <wx/ffile.h>
#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/msgdlg.h>
#include <wx/sysopt.h>

#include <memory>

#include "widgets/accessible.h"
#include "app/help_map.h"
#include "app/resources.h"

namespace kolvane {
namespace {

std::unique_ptr<wxHtmlHelpController>& Controller() {
    static std::unique_ptr<wxHtmlHelpController> controller;
    return controller;
}

}  // namespace

void ShowHelpTopic(int topic) {
    auto& help = Controller();
    if (!help) {
        // The pages' types by their extensions (.htm is HTML), not by the desktop's type
        // database, which may know no .htm at all.
        wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
        const wxString book = SharedFile("help/kolvane.hhp");
        auto controller = std::make_unique<wxHtmlHelpController>(wxHF_DEFAULT_STYLE);
        if (!wxFileName::FileExists(book) || !controller->AddBook(wxFileName(book))) {
            wxMessageBox("The help book was not found:\n" + book, "Kolvane",
                         wxOK | wxICON_INFORMATION);
            return;
        }
        controller->SetTitleFormat("Kolvane Help: %s");
        help = std::move(controller);
    }
    // The page from the book's own map; the toolkit's numeric lookup only knows ids given in
    // the contents file.
    wxString project;
    wxFFile(SharedFile("help/kolvane.hhp")).ReadAll(&project);
    const std::string page = HelpPageFor(std::string(project.utf8_str()), topic);
    if (page.empty() || !help->Display(wxString::FromUTF8(page))) help->DisplayContents();
    // A new help window (the toolkit makes one each time the last was closed): Esc and Ctrl+W
    // close it, and its tool bar buttons get names a screen reader can say.
    wxFrame* frame = help->GetFrame();
    if (!frame || frame->GetName() == "kolvane-help") return;
    frame->SetName("kolvane-help");
    NameIconButtons(frame);
    frame->Bind(wxEVT_CHAR_HOOK, [frame](wxKeyEvent& e) {
        const bool ctrlW = e.GetModifiers() == wxMOD_CONTROL && e.GetKeyCode() == 'W';
        if (ctrlW || (e.GetKeyCode() == WXK_ESCAPE && !e.HasAnyModifiers()))
            frame->Close();
        else
            e.Skip();
    });
}

bool CloseHelpWindow() {
    // Closed as by the user: over a modal dialog that ends the window's hold on the input.
    auto& help = Controller();
    wxFrame* frame = help ? help->GetFrame() : nullptr;
    if (!frame) return false;
    frame->Close(true);
    return true;
}

void CloseHelp() {
    if (auto& help = Controller()) {
        help->Quit();
        help.reset();
    }
}

}  // namespace kolvane
