#pragma once
// TSubstForm: the base of every window. On creation it reads the window's
// stored layout, chooses the modern font, corrects the placement of a dialog
// whose owner is hidden and puts the substitution table's values into every
// caption and hint. ExecuteModal / Execute show a dialog class for one use.

#include "toolkit/Application.h"
#include "toolkit/Form.h"

#include <functional>
#include <string>

namespace shell {

// Posted to a form that must be put back on top of all windows.
inline constexpr UINT WM_RESTORETOPMOST = 11024;
// A form whose Tag is this after construction refuses to be shown.
inline constexpr int kRefuseToShowTag = 666;

// A font of that face is installed.
bool FontExists(const std::wstring& face);
// The system locale is a Far East one (double-byte character sets).
bool IsFarEastLocale();
// The unit's start-up work: on a Far East system whose default font uses the
// Shift-JIS character set, the default font becomes "MS Sans Serif" at 8 points.
void InitializeSubstFormUnit();

// Replaces the {NAME} tokens in the caption, hint and accessible name of a
// control; other components are left unchanged.
void SubstituteComponent(toolkit::TComponent& component);

class TSubstForm : public toolkit::TForm {
public:
    TSubstForm(toolkit::TComponent* owner, const std::string& layoutText, const std::string& layoutSource);
    ~TSubstForm() override;

    bool ModernFont() const { return modernFont_; }
    virtual void SetModernFont(bool value);
    // Keeps the form above all other windows while shown, also when the
    // application loses the focus.
    bool AlwaysTopMost = false;

    void AppDeactivate(toolkit::TComponent* sender);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void DoShow() override;
    void DoHide() override;

private:
    void InstallDeactivateHandler();
    void RestoreDeactivateHandler();

    bool modernFont_ = true;
    toolkit::TNotifyEvent savedDeactivate_;
    bool deactivateInstalled_ = false;
};

// Creates a form with `create` (hourglass meanwhile), shows it modally unless
// its Tag is 666 and releases it. The result is the modal result, or mrAbort
// for a form that refuses to be shown. Errors of the creation (creation
// handler included) and of the modal show reach the caller, the form released.
int ShowModalForm(const std::function<TSubstForm*()>& create);
// The same, with every error turned into mrAbort without a message.
int ExecuteModalForm(const std::function<TSubstForm*()>& create);

// Shows a dialog of class Form for one use; any failure gives mrAbort.
template <typename Form>
int ExecuteModal(toolkit::TComponent* owner) {
    return ExecuteModalForm([owner]() -> TSubstForm* { return toolkit::CreateFormOrRaise<Form>(owner); });
}

// The same, but a failure to create or show the dialog raises its error.
template <typename Form>
int ExecuteModalOrRaise(toolkit::TComponent* owner) {
    return ShowModalForm([owner]() -> TSubstForm* { return toolkit::CreateFormOrRaise<Form>(owner); });
}

template <typename Form>
bool Execute(toolkit::TComponent* owner) {
    return ExecuteModal<Form>(owner) == toolkit::mrOk;
}

}  // namespace shell
