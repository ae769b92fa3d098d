// Shipped files and the program's icon.
#include "app/resources.h"

#include <wx/artprov.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>

namespace kolvane {

wxString SharedFile(const wxString& relative) {
    wxFileName exe(wxStandardPaths::Get().GetExecutablePath());
    wxFileName file(exe.GetPath() + "/../share/kolvane/" + relative);
    file.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
    return file.GetFullPath();
}

wxBitmapBundle ProgramImage(int size) {
    const wxString svg = SharedFile("icons/kolvane.svg");
    if (wxFileName::FileExists(svg)) {
        wxBitmapBundle bundle = wxBitmapBundle::FromSVGFile(svg, wxSize(size, size));
        if (bundle.IsOk()) return bundle;
    }
    return wxArtProvider::GetBitmapBundle(wxART_EXECUTABLE_FILE, wxART_OTHER, wxSize(size, size));
}

wxIconBundle ProgramIcons() {
    wxIconBundle icons;
    for (int size : {16, 32, 48, 64}) {
        wxIcon icon = ProgramImage(size).GetIcon(wxSize(size, size));
        if (icon.IsOk()) icons.AddIcon(icon);
    }
    return icons;
}

}  // namespace kolvane
