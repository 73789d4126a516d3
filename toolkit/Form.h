#pragma once
// A top-level window: border, caption, client size, placement, menu, help
// context, default and cancel buttons, modal show with its own message loop,
// and the handlers that its stored layout names.

#include "toolkit/Control.h"
#include "toolkit/Layout.h"

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace toolkit {

class TMainMenu;
class TButton;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
enum class TFormStyle { fsNormal, fsStayOnTop };
// The standard placement numbers.
enum TPosition : int {
    poDesigned = 0,
    poDefault = 1,
    poDefaultPosOnly = 2,
    poDefaultSizeOnly = 3,
    poScreenCenter = 4,
    poDesktopCenter = 5,
    poMainFormCenter = 6,
    poOwnerFormCenter = 7,
};
struct TBorderIcons {
    bool systemMenu = true;
    bool minimize = true;
    bool maximize = true;
};

class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    // Reads a stored layout into the form: its own properties and its controls.
    // From then until AfterConstruction (or the first Show), the hidden
    // window's size, frame and z-order are kept and applied in one pass.
    void LoadLayout(const std::string& text, const std::string& source);
    // Makes a handler available to the layout's event properties.
    void RegisterHandler(const std::string& name, std::any handler) { handlers_[name] = std::move(handler); }
    template <typename Form>
    void RegisterHandler(const std::string& name, void (Form::*method)(TComponent*)) {
        Form* self = static_cast<Form*>(this);
        handlers_[name] = TNotifyEvent([self, method](TComponent* sender) { (self->*method)(sender); });
    }
    // What becomes of an error that OnCreate raises.
    enum class TCreateErrors {
        Report,  // it goes to the error display and the form stays usable
        Raise,   // it propagates
    };
    // Completes construction: binds the layout's events (raising for a
    // missing handler) and runs OnCreate.
    void AfterConstruction(TCreateErrors createErrors = TCreateErrors::Report);

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    TBorderIcons BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    TPosition Position = poDesigned;
    int HelpContext = 0;
    // The resolution of the screen the form is on; its stored layout is
    // scaled from 96 dpi to it.
    int PixelsPerInch() const override { return pixelsPerInch_; }

    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);
    // Sizes the window so that its client area has this size.
    void SetClientSize(int width, int height);
    // While the form is being made, the client size it will have.
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int width) { SetClientSize(width, ClientHeight()); }
    void SetClientHeight(int height) { SetClientSize(ClientWidth(), height); }

    TButton* DefaultButton() const { return defaultButton_; }
    void SetDefaultButton(TButton* button) { defaultButton_ = button; }
    TButton* CancelButton() const { return cancelButton_; }
    void SetCancelButton(TButton* button) { cancelButton_ = button; }
    // The control focused when the form is shown.
    TWinControl* ActiveControl = nullptr;

    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    bool Modal() const { return modal_; }
    // Shows the form modally and runs messages until ModalResult is set.
    TModalResult ShowModal();
    void Show();
    void Hide();
    // The close box: a modal form ends with mrCancel, the main form ends the
    // application, any other form is hidden.
    void Close();
    // Destroys the form once the current message has been handled.
    void Release();

    // Keyboard: menu shortcuts, then Alt with a label's access key (focus to
    // its FocusControl), then F1 (help topic), then Enter on a focused button,
    // which presses that button. True when the key was used.
    virtual bool HandleShortCut(WPARAM key);
    // A form shown modally is a dialog to screen readers.
    TAccessibleRole AccessibleRole() const override {
        return modal_ ? TAccessibleRole::Dialog : TAccessibleRole::None;
    }

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

    // Every form that exists, for validating deferred work.
    static bool Exists(const TForm* form);

    // WM_SYSCOLORCHANGE, and WM_SETTINGCHANGE for the high-contrast setting:
    // the controls take the system's new colours (the high-contrast setting is
    // read again) and the whole window is painted anew.
    void ColorsChanged();

    // WM_DPICHANGED: the form moved to a screen of another resolution.
    // Applies the stored layout's lengths again at pixelsPerInch (from
    // their 96-dpi values, so that nothing drifts over several moves), makes
    // fonts, pictures and content-sized controls for it (ScaleChanged of every
    // component), takes the position of `suggested` with the stored client
    // size, then lets the form redo its own layout (ApplyRunTimeLayout).
    void ChangeScale(int pixelsPerInch, const RECT& suggested);

protected:
    // The layout that the form computes at run time instead of reading it
    // from its stored layout: sizes that follow a text, a row taken out,
    // controls lined up with a picture. ChangeScale calls it last, when every
    // control again has its stored position and size at PixelsPerInch(),
    // fonts and pictures are made for that resolution, content-sized controls
    // fit their content and the client area has its stored size; visibility,
    // texts, enabled states and chosen pictures stay as the code left them.
    // An override computes from those current values, never from pixels saved
    // before, so that its result equals the one at creation at that
    // resolution; it calls the inherited one first. The creation handler may
    // call it to do the same work there. The default does nothing.
    virtual void ApplyRunTimeLayout() {}

    // Notifications of show and hide; the defaults raise OnShow and OnHide.
    virtual void DoShow();
    virtual void DoHide();

private:
    bool FocusByAccessKey(wchar_t key);
    // The control that gets the focus when the form is shown: ActiveControl,
    // else the first one in tab order that can take it; null for none.
    TWinControl* FirstFocus() const;
    // Deactivated, the form remembers its focused control; activated again,
    // it gives the focus back to it (or to FirstFocus when it is gone), so
    // that the keyboard goes on where it was. False when nothing took it.
    void SaveFocus();
    bool RestoreFocus();
    void UpdateStyle();
    // Corrects the window's size where its frame or a wrapping menu bar
    // leaves the client area another size than asked for.
    void FitFrameToClient();
    void ApplyDeferredPlacement();
    void ApplyPosition();
    void Center();
    DWORD WindowStyle() const;
    DWORD WindowExStyle() const;
    HWND OwnerWindow() const;

    TBorderStyle borderStyle_ = TBorderStyle::bsSizeable;
    TBorderIcons borderIcons_;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    int pixelsPerInch_;
    TMainMenu* menu_ = nullptr;
    TButton* defaultButton_ = nullptr;
    TButton* cancelButton_ = nullptr;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    bool placed_ = false;
    // Set between LoadLayout and ApplyDeferredPlacement: what is kept for it.
    bool deferPlacement_ = false;
    bool boundsPending_ = false;
    bool framePending_ = false;
    HWND savedFocus_ = nullptr;
    int clientWidth_ = -1;
    int clientHeight_ = -1;
    THandlerTable handlers_;
    std::unique_ptr<TLayoutContext> layout_;
    std::unique_ptr<const LayoutNode> design_;
};

// Creates a form of class Form and completes its construction. The form is
// owned by its owner, or by the caller when the owner is null. An error of its
// creation handler goes to the error display and the form is kept.
template <typename Form, typename... Args>
Form* CreateForm(Args&&... args) {
    std::unique_ptr<Form> form(new Form(std::forward<Args>(args)...));
    form->AfterConstruction(TForm::TCreateErrors::Report);
    return form.release();
}

// The same, but an error of the creation handler destroys the form and propagates.
template <typename Form, typename... Args>
Form* CreateFormOrRaise(Args&&... args) {
    std::unique_ptr<Form> form(new Form(std::forward<Args>(args)...));
    form->AfterConstruction(TForm::TCreateErrors::Raise);
    return form.release();
}

}  // namespace toolkit
