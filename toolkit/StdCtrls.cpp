#include "toolkit/StdCtrls.h"

#include "os/Text.h"
#include "toolkit/Form.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <commctrl.h>

#include <string>
#include <utility>

namespace toolkit {

// ---- TButton

TButton::TButton(TComponent* owner, TWinControl* parent) : TWinControl(owner) {
    SetParent(parent);
    CreateHandle(WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0);
}

void TButton::SetDefault(bool value) {
    default_ = value;
    if (TForm* form = ParentForm()) {
        if (value) form->SetDefaultButton(this);
        else if (form->DefaultButton() == this) form->SetDefaultButton(nullptr);
    }
    SendMessageW(Handle(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::SetCancel(bool value) {
    cancel_ = value;
    if (TForm* form = ParentForm()) {
        if (value) form->SetCancelButton(this);
        else if (form->CancelButton() == this) form->SetCancelButton(nullptr);
    }
}

void TButton::Click() {
    if (TForm* form = ParentForm(); form && ModalResult != mrNone) form->SetModalResult(ModalResult);
    TWinControl::Click();
}

void TButton::HandleCommand(WORD code) {
    if (code == BN_CLICKED) Click();
}

bool TButton::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "Default")) {
        SetDefault(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "Cancel")) {
        SetCancel(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "ModalResult")) {
        ModalResult = p.Int();
    } else {
        return TWinControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* owner, TWinControl* parent) : TWinControl(owner) {
    SetParent(parent);
    CreateHandle(WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0);
}

bool TCheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) {
    if (Checked() == checked) return;
    SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    Click();
}

void TCheckBox::SetWordWrap(bool wordWrap) {
    wordWrap_ = wordWrap;
    LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
    style = wordWrap ? (style | BS_MULTILINE) : (style & ~static_cast<LONG_PTR>(BS_MULTILINE));
    SetWindowLongPtrW(Handle(), GWL_STYLE, style);
    Invalidate();
}

// The box is a plain BS_CHECKBOX: the click toggles it here, so that every
// change of state, by the user or by SetChecked, runs OnClick once.
void TCheckBox::HandleCommand(WORD code) {
    if (code != BN_CLICKED) return;
    SendMessageW(Handle(), BM_SETCHECK, Checked() ? BST_UNCHECKED : BST_CHECKED, 0);
    Click();
}

bool TCheckBox::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "Checked")) {
        SetChecked(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "WordWrap")) {
        SetWordWrap(p.Bool());
    } else {
        return TWinControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

// ---- TEdit

TEdit::TEdit(TComponent* owner, TWinControl* parent) : TWinControl(owner) {
    SetParent(parent);
    SetColor(clWindow);
    CreateHandle(WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE);
}

os::SecretString TEdit::SecretText() const {
    int length = GetWindowTextLengthW(Handle());
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(Handle(), buffer.data(), length + 1);
    os::SecretString secret(buffer.substr(0, static_cast<std::size_t>(copied > 0 ? copied : 0)));
    os::SecureWipe(buffer);
    return secret;
}

void TEdit::SetPasswordChar(wchar_t passwordChar) {
    const bool becomesPassword = passwordChar && !passwordChar_;
    passwordChar_ = passwordChar;
    SendMessageW(Handle(), EM_SETPASSWORDCHAR, passwordChar, 0);
    if (becomesPassword) {
        SetMaxLength(kMaxPasswordLength);
        const TNotifyEvent onChange = std::exchange(OnChange, nullptr);
        FillAndClear();
        OnChange = onChange;
    }
    Invalidate();
}

// The edit grows its text and undo buffers by moving them, and hands every
// text that a change removes to a block of its own: each of these is freed
// unwiped. So the text is overwritten one character at a time, and what the
// final clearing removes is filler.
void TEdit::WipeText() {
    const HWND edit = Handle();
    const TNotifyEvent onChange = std::exchange(OnChange, nullptr);
    const int length = GetWindowTextLengthW(edit);
    for (int i = 0; i < length; ++i) {
        SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(i), i + 1);
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L"*"));
    }
    FillAndClear();
    OnChange = onChange;
}

void TEdit::FillAndClear() {
    const HWND edit = Handle();
    const std::wstring filler(kMaxPasswordLength, L'*');
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(filler.c_str()));
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    SendMessageW(edit, EM_EMPTYUNDOBUFFER, 0, 0);
}

void TEdit::SetReadOnly(bool readOnly) { SendMessageW(Handle(), EM_SETREADONLY, readOnly, 0); }

void TEdit::SetMaxLength(int length) { SendMessageW(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(length), 0); }

LRESULT TEdit::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (passwordChar_) {
        if (message == WM_COPY || message == WM_CUT || message == WM_UNDO || message == EM_UNDO) return 0;
        if (message == WM_DESTROY) WipeText();
    }
    return TWinControl::WndProc(message, wParam, lParam);
}

void TEdit::HandleCommand(WORD code) {
    if (code == EN_CHANGE && OnChange) OnChange(this);
}

bool TEdit::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    if (os::EqualsIgnoringCase(p.name, "PasswordChar")) {
        const os::WString& text = p.Text();
        SetPasswordChar(text.empty() ? 0 : text[0]);
    } else if (os::EqualsIgnoringCase(p.name, "ReadOnly")) {
        SetReadOnly(p.Bool());
    } else if (os::EqualsIgnoringCase(p.name, "MaxLength")) {
        SetMaxLength(p.Int());
    } else if (os::EqualsIgnoringCase(p.name, "OnChange")) {
        context.BindEvent(p, OnChange);
    } else {
        return TWinControl::ApplyLayoutProperty(p, context);
    }
    return true;
}

}  // namespace toolkit
