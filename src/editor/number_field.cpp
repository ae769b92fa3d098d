// The number edit with its spin button (see number_field.h).
#include "editor/number_field.h"

#include <wx/sizer.h>
#include <wx/spinbutt.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>

#include "editor/my_sheet.h"
#include "widgets/accessible.h"

namespace kolvane::editor {

CNumberField::CNumberField(wxWindow* parent, wxSizer* sizer) {
    // The page creates the field's label right before it: the toolkit links the label to the
    // edit only, so the spin button takes the label's text as its name (a screen reader would
    // announce an unnamed spin button).
    const wxWindowList::compatibility_iterator last = parent->GetChildren().GetLast();
    const auto* label = last ? dynamic_cast<wxStaticText*>(last->GetData()) : nullptr;
    m_edit =
        new wxTextCtrl(parent, wxID_ANY, "0", wxDefaultPosition, wxSize(parent->FromDIP(60), -1));
    m_edit->SetMaxLength(11);
    m_spin = new wxSpinButton(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                              wxSP_VERTICAL | wxSP_ARROW_KEYS);
    m_spin->SetRange(0, 0);
    if (label) {
        wxString name = label->GetLabelText();
        name.EndsWith(":", &name);
        SetAccessibleName(m_spin, name);
    }
    sizer->Add(m_edit, 0, wxALIGN_CENTER_VERTICAL);
    sizer->Add(m_spin, 0, wxALIGN_CENTER_VERTICAL);

    auto step = [this](wxSpinEvent& event, int) {
        // The event carries the position after the step; the page decides whether it happens.
        const int to = std::clamp(event.GetPosition(), m_nLow, m_nHigh);
        if (m_onSpin && !m_onSpin(to)) {
            event.Veto();
            return;
        }
        Set(to);
    };
    m_spin->Bind(wxEVT_SPIN_UP, [step](wxSpinEvent& e) { step(e, 1); });
    m_spin->Bind(wxEVT_SPIN_DOWN, [step](wxSpinEvent& e) { step(e, -1); });
    m_edit->Bind(wxEVT_TEXT, [this](wxCommandEvent&) {
        if (m_onTyped) m_onTyped(false);
    });
    m_edit->Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
        event.Skip();
        if (m_onTyped) m_onTyped(true);
    });
}

void CNumberField::SetRange(int low, int high) {
    m_nLow = low;
    m_nHigh = high;
    m_spin->SetRange(low, high);
}

void CNumberField::Set(int n) {
    m_edit->ChangeValue(wxString::Format("%d", n));
    m_spin->SetValue(n);
}

std::optional<long> CNumberField::Typed() const {
    long n = 0;
    const wxString text = m_edit->GetValue().Strip(wxString::both);
    if (!text.ToLong(&n)) return std::nullopt;
    return n;
}

std::optional<int> CNumberField::TypedMove(int current, int count, const wxString& message,
                                           const std::function<bool()>& store, bool leaving) {
    const std::optional<long> typed = Typed();
    if (!typed || *typed < 1) {
        // Still being typed ("-", an emptied field): judged when the field is left.
        if (!leaving) return std::nullopt;
        if (typed || !Empty()) ShowMessageLater(m_edit, message);
        Set(current);
        return std::nullopt;
    }
    const int to = int(std::min<long>(*typed, count));
    if (to != *typed) Set(to);
    if (to == current) return std::nullopt;
    if (!store()) {
        Set(current);
        return std::nullopt;
    }
    return to;
}

bool CNumberField::Empty() const {
    return m_edit->GetValue().Strip(wxString::both).empty();
}

}  // namespace kolvane::editor
