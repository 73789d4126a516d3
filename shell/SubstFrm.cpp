#include "shell/SubstFrm.h"

#include "os/WinApi.h"
#include "shell/Substitution.h"
#include "toolkit/Handles.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace shell {
namespace {

int CALLBACK NoteFontSeen(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) {
    *reinterpret_cast<bool*>(seen) = true;
    return 1;
}

DWORD WindowsMajorVersion() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!os::Api().GetVersionExW(&version)) return 0;
    return version.dwMajorVersion;
}

bool IsStandardFace(const std::wstring& face) {
    static const std::array<const wchar_t*, 4> faces{L"MS Sans Serif", L"MS Shell Dlg", L"Tahoma", L"Segoe UI"};
    for (const wchar_t* standard : faces)
        if (face == standard) return true;
    return face == toolkit::DefaultFont().name;
}

// The forms whose deactivate handler is installed, in the order they installed
// it: each one saved the handler of the one before it, the first the
// application's own.
std::vector<TSubstForm*>& DeactivateChain() {
    static std::vector<TSubstForm*> chain;
    return chain;
}

// Segoe UI reads best at 9 points, Tahoma at 8.
void AdjustSizeToFace(toolkit::TFont& font) {
    if (font.Name() == L"Segoe UI" && font.Size() == 8) font.SetSize(9);
    else if (font.Name() == L"Tahoma" && font.Size() == 9) font.SetSize(8);
}

}  // namespace

bool FontExists(const std::wstring& face) {
    bool seen = false;
    toolkit::WindowDC screen;
    EnumFontsW(screen.Get(), face.c_str(), NoteFontSeen, reinterpret_cast<LPARAM>(&seen));
    return seen;
}

bool IsFarEastLocale() { return GetSystemMetrics(SM_DBCSENABLED) != 0; }

void InitializeSubstFormUnit() {
    if (!IsFarEastLocale()) return;
    LOGFONTW systemFont{};
    if (!GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(systemFont), &systemFont)) return;
    if (systemFont.lfCharSet != SHIFTJIS_CHARSET) return;
    toolkit::DefaultFont() = {L"MS Sans Serif", 8, DEFAULT_CHARSET};
}

void SubstituteComponent(toolkit::TComponent& component) {
    auto* control = dynamic_cast<toolkit::TControl*>(&component);
    if (!control) return;
    control->SetCaption(SubstituteText(control->Caption()));
    control->Hint = SubstituteText(control->Hint);
    control->AccessibleName = SubstituteText(control->AccessibleName);
}

TSubstForm::TSubstForm(toolkit::TComponent* owner, const std::string& layoutText, const std::string& layoutSource)
    : TForm(owner) {
    LoadLayout(layoutText, layoutSource);
    SetModernFont(true);

    toolkit::TForm* reference = dynamic_cast<toolkit::TForm*>(owner);
    if (!reference) reference = toolkit::Application().MainForm;
    if (Position == toolkit::poOwnerFormCenter && reference && reference != this && !reference->Showing())
        Position = toolkit::poScreenCenter;

    if (SubstitutionList()) {
        SubstituteComponent(*this);
        for (std::size_t i = 0; i < ComponentCount(); ++i) SubstituteComponent(*Components(i));
    }
}

TSubstForm::~TSubstForm() { RestoreDeactivateHandler(); }

void TSubstForm::SetModernFont(bool value) {
    modernFont_ = value;
    std::wstring modernFace =
        WindowsMajorVersion() >= 6 && FontExists(L"Segoe UI") ? L"Segoe UI" : L"Tahoma";
    if (modernFont_ && !FontExists(modernFace)) modernFont_ = false;

    const toolkit::TDefaultFont& defaults = toolkit::DefaultFont();
    if (IsFarEastLocale()) {
        Font().SetName(defaults.name);
        Font().SetCharset(defaults.charset);
    } else {
        Font().SetName(modernFont_ ? modernFace : defaults.name);
        Font().SetCharset(defaults.charset);
        Font().SetSize(defaults.size);
        AdjustSizeToFace(Font());
    }

    for (std::size_t i = 0; i < ComponentCount(); ++i) {
        auto* control = dynamic_cast<toolkit::TControl*>(Components(i));
        if (!control || !IsStandardFace(control->Font().Name())) continue;
        // Changed as one, so that the control makes its font and measures once.
        toolkit::TFont font(control->Font());
        font.SetName(Font().Name());
        font.SetCharset(Font().Charset());
        AdjustSizeToFace(font);
        if (font != control->Font()) control->Font().Assign(font);
    }
}

void TSubstForm::DoShow() {
    TForm::DoShow();
    if (AlwaysTopMost && !deactivateInstalled_) InstallDeactivateHandler();
}

void TSubstForm::DoHide() {
    TForm::DoHide();
    RestoreDeactivateHandler();
}

void TSubstForm::InstallDeactivateHandler() {
    savedDeactivate_ = toolkit::Application().OnDeactivate;
    toolkit::Application().OnDeactivate = [this](toolkit::TComponent* sender) { AppDeactivate(sender); };
    DeactivateChain().push_back(this);
    deactivateInstalled_ = true;
}

// Leaves the chain wherever it stands in it: a form hidden before the one
// shown after it hands its saved handler on to that one, which would
// otherwise call into this form once it is gone.
void TSubstForm::RestoreDeactivateHandler() {
    if (!deactivateInstalled_) return;
    std::vector<TSubstForm*>& chain = DeactivateChain();
    const auto at = std::find(chain.begin(), chain.end(), this);
    if (at != chain.end() && at + 1 != chain.end())
        (*(at + 1))->savedDeactivate_ = savedDeactivate_;
    else
        toolkit::Application().OnDeactivate = savedDeactivate_;
    if (at != chain.end()) chain.erase(at);
    savedDeactivate_ = nullptr;
    deactivateInstalled_ = false;
}

void TSubstForm::AppDeactivate(toolkit::TComponent* sender) {
    if (savedDeactivate_) savedDeactivate_(sender);
    if (AlwaysTopMost) PostMessageW(Handle(), WM_RESTORETOPMOST, 0, 0);
}

LRESULT TSubstForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RESTORETOPMOST) {
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        return 0;
    }
    return TForm::WndProc(message, wParam, lParam);
}

int ShowModalForm(const std::function<TSubstForm*()>& create) {
    TSubstForm* form = nullptr;
    {
        toolkit::THourGlass busy;
        form = create();
    }
    std::unique_ptr<TSubstForm, void (*)(TSubstForm*)> release(form, [](TSubstForm* shown) { shown->Release(); });
    if (form->Tag == kRefuseToShowTag) return toolkit::mrAbort;
    return form->ShowModal();
}

int ExecuteModalForm(const std::function<TSubstForm*()>& create) {
    try {
        return ShowModalForm(create);
    } catch (...) {
        return toolkit::mrAbort;
    }
}

}  // namespace shell
