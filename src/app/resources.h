// Where the program finds its shipped files: beside the executable, in ../share/kolvane, which
// is right both in the build tree (<build>/bin, <build>/share) and under the install prefix.
#pragma once

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>
#include <wx/string.h>

namespace kolvane {

// <dir of the executable>/../share/kolvane/<relative>
wxString SharedFile(const wxString& relative);
// The program's icon (the SVG icon at its sizes, or the theme's executable icon).
wxIconBundle ProgramIcons();
wxBitmapBundle ProgramImage(int size);

}  // namespace kolvane
