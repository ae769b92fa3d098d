// The help controller, created when help is first asked for.
#include "help.h"

#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/msgdlg.h>

#include <memory>

#include "resources.h"

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
    if (!help->Display(topic)) help->DisplayContents();
}

void CloseHelp() {
    if (auto& help = Controller()) {
        help->Quit();
        help.reset();
    }
}

}  // namespace kolvane
