// The about box: the program's icon, the about text built from the compiled-in version values,
// and the contact text.
#pragma once

class wxWindow;

namespace kolvane {

void ShowAboutBox(wxWindow* parent);

}  // namespace kolvane
