// The integer edit with an up-down button that the Scan File and Scan Variable pages use to
// choose a scan file or a variable by its number. The page decides whether a move happens:
// the spin asks it first (and is held back when the page refuses), and a number typed into the
// edit is reported as it is typed; text that is no number is checked only when the field is
// left, so that each keystroke does not bring a message of its own.
#pragma once

#include <wx/panel.h>

#include <functional>
#include <optional>

class wxSpinButton;
class wxTextCtrl;

namespace kolvane::editor {

class CNumberField {
  public:
    // Creates the edit and the spin button as children of `parent`, added to `sizer`.
    CNumberField(wxWindow* parent, wxSizer* sizer);

    // The spin is about to move to `to` (already clamped to the range); false holds it back.
    std::function<bool(int to)> m_onSpin;
    // The user changed the edit's text (`leaving` false) or left the edit (`leaving` true).
    std::function<void(bool leaving)> m_onTyped;

    void SetRange(int low, int high);
    // Shows `n` in the edit and as the spin's position, without a change notification.
    void Set(int n);
    // The edit's number; none when it is not an integer.
    std::optional<long> Typed() const;
    bool Empty() const;
    // What the pages do with a typed number: none while the field shows `current`; below 1,
    // not a number or empty: none, and once the field is left (`leaving`) `message` and
    // `current` put back; above `count`: `count` (shown in the field). Otherwise the page must
    // first store what it shows (`store`); when it refuses, `current` is put back and none
    // given, else the number to move to.
    std::optional<int> TypedMove(int current, int count, const wxString& message,
                                 const std::function<bool()>& store, bool leaving);
    int Low() const { return m_nLow; }
    int High() const { return m_nHigh; }
    wxTextCtrl* Edit() const { return m_edit; }

  private:
    wxTextCtrl* m_edit;
    wxSpinButton* m_spin;
    int m_nLow = 0, m_nHigh = 0;
};

}  // namespace kolvane::editor
