#pragma once
// Push button, check box and single-line edit: system controls whose
// notifications reach the objects through the parent's WM_COMMAND.

#include "os/Text.h"
#include "toolkit/Control.h"

namespace toolkit {

class TButton : public TWinControl {
public:
    TButton(TComponent* owner, TWinControl* parent);

    // Enter presses the default button, Esc the cancel button.
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value);
    // Set on the form when the button is clicked (0: none).
    TModalResult ModalResult = mrNone;

    void Click() override;
    void HandleCommand(WORD code) override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

private:
    bool default_ = false;
    bool cancel_ = false;
};

class TCheckBox : public TWinControl {
public:
    TCheckBox(TComponent* owner, TWinControl* parent);

    bool Checked() const;
    // A change of state runs OnClick; setting the state it already has runs nothing.
    void SetChecked(bool checked);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);

    void HandleCommand(WORD code) override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

private:
    bool wordWrap_ = false;
};

class TEdit : public TWinControl {
public:
    // The longest text of a password edit, as gatewisecmd takes it.
    static constexpr int kMaxPasswordLength = 1024;

    TEdit(TComponent* owner, TWinControl* parent);

    std::wstring Text() const { return Caption(); }
    // The text as a secret: no other copy of it is left in memory.
    os::SecretString SecretText() const;
    void SetText(const std::wstring& text) { SetCaption(text); }
    // Characters shown as this one; 0 shows the text. A password edit takes
    // at most kMaxPasswordLength characters, and its buffers are given that
    // room at once, so that they never move and leave the text behind.
    void SetPasswordChar(wchar_t passwordChar);
    // Overwrites the text where the edit keeps it, then empties it, without
    // telling OnChange. A password edit does this itself before its window
    // goes; a dialog does it when it closes.
    void WipeText();
    wchar_t PasswordChar() const { return passwordChar_; }
    void SetReadOnly(bool readOnly);
    void SetMaxLength(int length);

    TNotifyEvent OnChange;

    void HandleCommand(WORD code) override;
    // A password edit refuses WM_COPY and WM_CUT (Ctrl+C, Ctrl+X), which
    // Wine's edit would carry out, and WM_UNDO (Ctrl+Z), which would copy
    // deleted text into a block that is freed unwiped.
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    HBRUSH HandleControlColor(HDC) override { return nullptr; }
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

private:
    // Fills the whole room of the text, then clears it so that the undo
    // buffer takes the filler: both buffers end up that large, holding only
    // the filler.
    void FillAndClear();

    wchar_t passwordChar_ = 0;
};

}  // namespace toolkit
