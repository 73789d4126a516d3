#include "ui/InfoDlgEx.h"

#include "resources/StringIds.h"
#include "shell/ResStrings.h"
#include "ui/InfoDlgExCore.h"
#include "widgets/GuiUtilities.h"

namespace ui {
namespace {

std::string InfoLayout() {
    widgets::RegisterKXLabel();
    return toolkit::LayoutResourceText(L"LAYOUT_INFOEX");
}

void Place(toolkit::TControl& control, const RECT& bounds) {
    control.SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
}

TInfoAnswer AnswerFor(int modalResult, bool allowCancel) {
    if (modalResult == toolkit::mrOk || modalResult == toolkit::mrYes) return iaYes;
    if (modalResult == toolkit::mrCancel && allowCancel) return iaCancel;
    return iaNo;
}

}  // namespace

TdlgKVInfoEx::TdlgKVInfoEx(toolkit::TComponent* owner, const std::wstring& caption, const std::wstring& text,
                           bool isQuestion, bool isError, bool allowCancel, bool* dontShowAgain, int helpContext)
    : TSubstForm(owner, InfoLayout(), "LAYOUT_INFOEX"),
      imgIcon(Get<toolkit::TImage>(L"imgIcon")),
      lblText(Get<widgets::TKXLabel>(L"lblText")),
      bvlDontShow(Get<toolkit::TBevel>(L"bvlDontShow")),
      chkDontShow(Get<toolkit::TCheckBox>(L"chkDontShow")),
      btnOk(Get<toolkit::TButton>(L"btnOk")),
      btnYes(Get<toolkit::TButton>(L"btnYes")),
      btnNo(Get<toolkit::TButton>(L"btnNo")),
      btnHelp(Get<toolkit::TButton>(L"btnHelp")),
      btnCancel(Get<toolkit::TButton>(L"btnCancel")),
      dontShowAgain_(dontShowAgain) {
    RegisterHandler("btnHelpClick", &TdlgKVInfoEx::btnHelpClick);
    RegisterHandler("lblTextLinkClick",
                    widgets::TKXLabelLinkClickEvent([this](toolkit::TComponent* sender, widgets::THTMLRenderItem& item) {
                        lblTextLinkClick(sender, item);
                    }));

    if (!owner) Position = toolkit::poScreenCenter;
    if (auto* ownerForm = dynamic_cast<toolkit::TForm*>(owner);
        ownerForm && ownerForm->FormStyle() == toolkit::TFormStyle::fsStayOnTop)
        SetFormStyle(toolkit::TFormStyle::fsStayOnTop);

    SetCaption(caption);
    lblText.SetCaption(text);
    HelpContext = helpContext;
    shell::SubstituteComponent(*this);
    shell::SubstituteComponent(lblText);

    imgIcon.SetSystemIcon(isError ? IDI_HAND : isQuestion ? IDI_QUESTION : IDI_ASTERISK);
    imgIcon.AccessibleName = shell::ResString(isError ? IDS_ICON_ERROR : isQuestion ? IDS_ICON_QUESTION : IDS_ICON_INFORMATION);
    ShowButtons(isQuestion, allowCancel, helpContext != 0);
    bvlDontShow.SetVisible(dontShowAgain != nullptr);
    chkDontShow.SetVisible(dontShowAgain != nullptr);
    ArrangeControls();
}

void TdlgKVInfoEx::ShowButtons(bool isQuestion, bool allowCancel, bool help) {
    btnOk.SetVisible(!isQuestion);
    btnYes.SetVisible(isQuestion);
    btnNo.SetVisible(isQuestion);
    btnCancel.SetVisible(allowCancel);
    btnHelp.SetVisible(help);
    // Enter presses the one of OK and Yes that shows.
    (isQuestion ? btnOk : btnYes).SetDefault(false);
    (isQuestion ? btnYes : btnOk).SetDefault(true);
    // Without Cancel, Esc answers No to a question and OK to a message.
    if (!allowCancel) {
        btnCancel.SetCancel(false);
        (isQuestion ? btnNo : btnOk).SetCancel(true);
    }
}

void TdlgKVInfoEx::DefaultToNo() {
    btnYes.SetDefault(false);
    btnNo.SetDefault(true);
    ActiveControl = &btnNo;
}

void TdlgKVInfoEx::ArrangeControls() {
    TInfoDlgMetrics metrics;
    metrics.pixelsPerInch = PixelsPerInch();
    metrics.icon = {imgIcon.Width(), imgIcon.Height()};
    metrics.button = {btnOk.Width(), btnOk.Height()};
    metrics.checkBoxHeight = chkDontShow.Height();
    metrics.ok = btnOk.Visible();
    metrics.yes = btnYes.Visible();
    metrics.no = btnNo.Visible();
    metrics.help = btnHelp.Visible();
    metrics.cancel = btnCancel.Visible();
    metrics.checkBox = chkDontShow.Visible();
    lblText.SetWidth(InfoDlgTextWidth(metrics));
    metrics.textHeight = lblText.GetTextHeight();

    const TInfoDlgLayout layout = LayoutInfoDlg(metrics);
    Place(imgIcon, layout.icon);
    Place(lblText, layout.text);
    Place(bvlDontShow, layout.bevel);
    Place(chkDontShow, layout.checkBox);
    const std::pair<toolkit::TButton*, const RECT*> buttons[] = {
        {&btnOk, &layout.ok}, {&btnYes, &layout.yes}, {&btnNo, &layout.no}, {&btnHelp, &layout.help},
        {&btnCancel, &layout.cancel}};
    for (const auto& [button, bounds] : buttons)
        if (button->Visible()) Place(*button, *bounds);
    SetClientSize(layout.client.cx, layout.client.cy);
}

void TdlgKVInfoEx::ApplyRunTimeLayout() {
    TSubstForm::ApplyRunTimeLayout();
    ArrangeControls();
}

void TdlgKVInfoEx::DoHide() {
    TSubstForm::DoHide();
    if (dontShowAgain_) *dontShowAgain_ = chkDontShow.Checked();
}

void TdlgKVInfoEx::btnHelpClick(toolkit::TComponent*) { toolkit::Application().HelpContext(HelpContext); }

void TdlgKVInfoEx::lblTextLinkClick(toolkit::TComponent*, widgets::THTMLRenderItem& item) {
    const std::wstring target = CompleteLinkTarget(item.Href);
    if (!target.empty()) widgets::OpenURL(target);
}

TInfoAnswer ExecuteInfoEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption,
                          bool isQuestion, bool isError, bool allowCancel, bool* dontShowAgain, int helpContext) {
    const int result = shell::ShowModalForm([&]() -> shell::TSubstForm* {
        return toolkit::CreateFormOrRaise<TdlgKVInfoEx>(owner, caption, text, isQuestion, isError, allowCancel,
                                                        dontShowAgain, helpContext);
    });
    return AnswerFor(result, allowCancel);
}

void ShowErrorEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption, int helpContext) {
    const std::wstring shown = caption.empty() ? shell::ResString(IDS_ERROR_CAPTION) : caption;
    ExecuteInfoEx(owner, text, shown, false, true, false, nullptr, helpContext);
}

void ShowInfoEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption, int helpContext) {
    const std::wstring shown = caption.empty() ? toolkit::Application().Title : caption;
    ExecuteInfoEx(owner, text, shown, false, false, false, nullptr, helpContext);
}

TInfoAnswer AskYesNoEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption, bool allowCancel,
                       bool* dontShowAgain, int helpContext) {
    const std::wstring shown = caption.empty() ? toolkit::Application().Title : caption;
    return ExecuteInfoEx(owner, text, shown, true, false, allowCancel, dontShowAgain, helpContext);
}

TInfoAnswer AskNoByDefaultEx(toolkit::TForm* owner, const std::wstring& text, const std::wstring& caption,
                             int helpContext) {
    const std::wstring shown = caption.empty() ? toolkit::Application().Title : caption;
    const int result = shell::ShowModalForm([&]() -> shell::TSubstForm* {
        auto* dialog = toolkit::CreateFormOrRaise<TdlgKVInfoEx>(owner, shown, text, true, false, false, nullptr,
                                                                helpContext);
        dialog->DefaultToNo();
        return dialog;
    });
    return AnswerFor(result, false);
}

}  // namespace ui
