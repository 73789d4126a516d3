#include "ui/CheckReportDlg.h"

#include "audit/Audit.h"
#include "diagnostics/AutologonState.h"
#include "engine/NTSecurity.h"
#include "resources/StringIds.h"
#include "settings/Options.h"
#include "shell/ResStrings.h"
#include "toolkit/Application.h"
#include "ui/CheckReportDlgCore.h"
#include "ui/InfoDlgEx.h"
#include "ui/InfoDlgExCore.h"
#include "widgets/GuiUtilities.h"

namespace ui {
namespace {

std::string CheckReportLayout() {
    widgets::RegisterKXLabel();
    return toolkit::LayoutResourceText(L"LAYOUT_CHECKREPORT");
}

// A row of the list: it takes the focus (Tab, the arrow keys, a click), shows
// it with a focus rectangle, and screen readers call it by its AccessibleName.
class TFindingRow : public toolkit::TPanel {
public:
    TFindingRow(toolkit::TComponent* owner, toolkit::TWinControl* parent) : TPanel(owner, parent) {
        BevelOuter = toolkit::TBevelCut::bvNone;
        TabStop = true;
        // A tab stop of its own, not a container that dialog navigation looks into.
        SetWindowLongPtrW(Handle(), GWL_STYLE, GetWindowLongPtrW(Handle(), GWL_STYLE) | WS_TABSTOP);
        SetWindowLongPtrW(Handle(), GWL_EXSTYLE, GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & ~WS_EX_CONTROLPARENT);
    }

    void PaintWindow(HDC dc) override {
        TPanel::PaintWindow(dc);
        if (GetFocus() != Handle()) return;
        RECT focus{1, 1, ClientWidth() - 1, ClientHeight() - 1};
        DrawFocusRect(dc, &focus);
    }

    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_SETFOCUS:
            case WM_KILLFOCUS:
                InvalidateRect(Handle(), nullptr, FALSE);
                break;
            case WM_LBUTTONDOWN:
                SetFocus();
                break;
            default:
                break;
        }
        return TPanel::WndProc(message, wParam, lParam);
    }
};

toolkit::TColor VerdictColor(diagnostics::Verdict verdict) {
    switch (verdict) {
        case diagnostics::Verdict::Problem: return toolkit::RGBColor(153, 0, 0);
        case diagnostics::Verdict::Warning: return toolkit::RGBColor(128, 80, 0);
        case diagnostics::Verdict::Ok: break;
    }
    return toolkit::RGBColor(0, 102, 0);
}

RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor{sizeof(monitor), {}, {}, 0};
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

SIZE FrameOf(HWND window) {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void Place(toolkit::TControl& control, const RECT& bounds) {
    control.SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
}

}  // namespace

TdlgCheckReport::TdlgCheckReport(toolkit::TComponent* owner)
    : TSubstForm(owner, CheckReportLayout(), "LAYOUT_CHECKREPORT"),
      lblSummary(Get<toolkit::TLabel>(L"lblSummary")),
      sbxFindings(Get<toolkit::TScrollBox>(L"sbxFindings")),
      btnVerifyStored(Get<toolkit::TButton>(L"btnVerifyStored")),
      btnCopy(Get<toolkit::TButton>(L"btnCopy")),
      btnClose(Get<toolkit::TButton>(L"btnClose")) {
    RegisterHandler("FormCreate", &TdlgCheckReport::FormCreate);
    RegisterHandler("btnVerifyStoredClick", &TdlgCheckReport::btnVerifyStoredClick);
    RegisterHandler("btnCopyClick", &TdlgCheckReport::btnCopyClick);
    RegisterHandler("btnHelpClick", &TdlgCheckReport::btnHelpClick);
}

void TdlgCheckReport::FormCreate(toolkit::TComponent*) {
    {
        toolkit::THourGlass busy;
        settings::GlobalOptions().AdoptStoredChanges();
        findings_ = diagnostics::RunDiagnostics(settings::GlobalOptions());
    }
    diagnostics::SortBySeverity(findings_);
    administrator_ = engine::IsAdministrator();
    MakeRows();
    btnVerifyStored.SetEnabled(administrator_);
    ShowSummary();
    ApplyRunTimeLayout();
    // The first finding has the focus, so that the keyboard starts in the list.
    if (!rows_.empty()) ActiveControl = rows_.front().row;
}

void TdlgCheckReport::MakeRows() {
    toolkit::TPanel& content = sbxFindings.Content();
    for (std::size_t i = 0; i < findings_.size(); ++i) {
        TRow row{};
        row.row = new TFindingRow(this, &content);
        row.row->SetTabOrder(static_cast<int>(2 * i));
        row.verdict = new toolkit::TLabel(this, row.row);
        row.verdict->Font().SetStyle(toolkit::fsBold);
        row.verdict->SetTransparent(true);
        row.text = new widgets::TKXLabel(this, row.row);
        row.fix = new toolkit::TButton(this, &content);
        row.fix->SetTabOrder(static_cast<int>(2 * i + 1));
        row.fix->SetCaption(shell::ResString(IDS_CHECK_FIX_BUTTON));
        row.fix->OnClick = [this, i](toolkit::TComponent*) { FixClick(i); };
        rows_.push_back(row);
        ShowFinding(i);
    }
}

std::wstring TdlgCheckReport::VerdictText(diagnostics::Verdict verdict) const {
    switch (verdict) {
        case diagnostics::Verdict::Problem: return shell::ResString(IDS_CHECK_PROBLEM);
        case diagnostics::Verdict::Warning: return shell::ResString(IDS_CHECK_WARNING);
        case diagnostics::Verdict::Ok: break;
    }
    return shell::ResString(IDS_CHECK_OK);
}

void TdlgCheckReport::ShowFinding(std::size_t index) {
    const diagnostics::CheckResult& finding = findings_[index];
    const TRow& row = rows_[index];
    const std::wstring verdict = VerdictText(finding.verdict);
    const std::wstring fixWord = shell::ResString(IDS_CHECK_FIX);
    row.verdict->SetCaption(verdict);
    row.verdict->Font().SetColor(VerdictColor(finding.verdict));
    row.text->SetCaption(FindingMarkup(finding, fixWord));
    row.row->AccessibleName = FindingRowName(verdict, finding, fixWord);
    row.fix->AccessibleName = os::Format(shell::ResString(IDS_CHECK_FIX_NAME), os::FromUtf8(finding.id));
    row.fix->SetVisible(finding.fixable);
    row.fix->SetEnabled(administrator_);
}

void TdlgCheckReport::ShowSummary() {
    const auto count = [&](diagnostics::Verdict verdict) {
        return std::to_wstring(std::count_if(findings_.begin(), findings_.end(),
                                             [&](const auto& finding) { return finding.verdict == verdict; }));
    };
    lblSummary.SetCaption(os::Format(os::Format(shell::ResString(IDS_CHECK_SUMMARY), count(diagnostics::Verdict::Problem)),
                                     count(diagnostics::Verdict::Warning)));
}

void TdlgCheckReport::ApplyRunTimeLayout() {
    TSubstForm::ApplyRunTimeLayout();
    const auto* owner = dynamic_cast<const toolkit::TWinControl*>(Owner());
    const RECT work = WorkAreaOf(owner && owner->Handle() ? owner->Handle() : Handle());
    TCheckReportMetrics metrics;
    metrics.pixelsPerInch = PixelsPerInch();
    metrics.workArea = {work.right - work.left, work.bottom - work.top};
    metrics.frame = FrameOf(Handle());
    metrics.listChrome = {sbxFindings.Width() - sbxFindings.ClientWidth(),
                          sbxFindings.Height() - sbxFindings.ClientHeight()};
    metrics.button = {btnClose.Width(), btnClose.Height()};
    metrics.wideButton = btnVerifyStored.Width();
    metrics.summaryHeight = lblSummary.Height();
    for (const TRow& row : rows_) metrics.verdictWidth = std::max(metrics.verdictWidth, row.verdict->Width());

    const int textWidth = CheckReportTextWidth(metrics);
    std::vector<TFindingRowSize> sizes;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].text->SetWidth(textWidth);
        sizes.push_back({rows_[i].text->GetTextHeight(), findings_[i].fixable});
    }
    const TCheckReportLayout layout = LayoutCheckReport(metrics, sizes);
    Place(lblSummary, layout.summary);
    Place(sbxFindings, layout.list);
    sbxFindings.SetContentHeight(layout.contentHeight);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Place(*rows_[i].row, layout.rows[i].row);
        Place(*rows_[i].verdict, layout.rows[i].verdict);
        Place(*rows_[i].text, layout.rows[i].text);
        if (findings_[i].fixable) Place(*rows_[i].fix, layout.rows[i].fix);
    }
    Place(btnVerifyStored, layout.verifyStored);
    Place(btnCopy, layout.copy);
    Place(Get<toolkit::TButton>(L"btnHelp"), layout.help);
    Place(btnClose, layout.close);
    SetClientSize(layout.client.cx, layout.client.cy);
}

void TdlgCheckReport::FixClick(std::size_t index) {
    diagnostics::CheckResult& finding = findings_[index];
    audit::Warnings ignored;  // as for a switch in the main window
    try {
        const diagnostics::FixOutcome outcome = audit::ApplyFix(finding.id, audit::orWindow, ignored);
        const std::wstring text = outcome.changed
                                      ? os::Format(os::Format(shell::ResString(IDS_CHECK_FIXED),
                                                              PlainTextMarkup(os::FromUtf8(outcome.what))),
                                                   PlainTextMarkup(os::FromUtf8(outcome.reverse)))
                                      : PlainTextMarkup(os::FromUtf8(outcome.what));
        ShowInfoEx(this, text, shell::ResString(IDS_CHECK_FIXED_CAPTION), HelpContext);
    } catch (const engine::Exception& error) {
        ShowErrorEx(this, PlainTextMarkup(os::FromUtf8(error.what())), shell::ResString(IDS_CHECK_NOT_FIXED_CAPTION),
                    HelpContext);
    }
    finding = diagnostics::RunCheck(finding.id, settings::GlobalOptions());
    ShowFinding(index);
    ShowSummary();
    ApplyRunTimeLayout();
    rows_[index].row->SetFocus();
}

void TdlgCheckReport::btnVerifyStoredClick(toolkit::TComponent*) {
    const std::wstring caption = shell::ResString(IDS_CHECK_VERIFY_CAPTION);
    std::wstring account;
    try {
        const diagnostics::AutologonState state = diagnostics::ReadAutologonState();
        account = os::FromUtf8(diagnostics::AccountDisplayName(state.user, state.domain));
        if (state.user.empty() || state.password == diagnostics::PasswordStore::None) {
            ShowInfoEx(this, shell::ResString(IDS_CHECK_VERIFY_NOTHING), caption, HelpContext);
            return;
        }
        const std::wstring question = os::Format(shell::ResString(IDS_CHECK_VERIFY_QUESTION), PlainTextMarkup(account));
        if (AskYesNoEx(this, question, caption, false, nullptr, HelpContext) != iaYes) return;
        diagnostics::StoredPasswordTry attempt;
        {
            toolkit::THourGlass busy;
            attempt = diagnostics::TryStoredPassword();
        }
        switch (attempt.tried == diagnostics::PasswordStore::None ? engine::pcCannotVerify : attempt.result) {
            case engine::pcAccepted:
                ShowInfoEx(this, os::Format(shell::ResString(IDS_CHECK_VERIFY_ACCEPTED), PlainTextMarkup(account)),
                           caption, HelpContext);
                return;
            case engine::pcRejected:
                ShowErrorEx(this, os::Format(shell::ResString(IDS_CHECK_VERIFY_REJECTED), PlainTextMarkup(account)),
                            caption, HelpContext);
                return;
            case engine::pcLockedOut:
                ShowErrorEx(this, shell::ResString(IDS_ACCOUNT_LOCKED_OUT), caption, HelpContext);
                return;
            case engine::pcCannotVerify:
                break;
        }
        ShowErrorEx(this, os::Format(shell::ResString(IDS_CHECK_VERIFY_UNKNOWN), PlainTextMarkup(account)), caption,
                    HelpContext);
    } catch (const engine::Exception& error) {
        ShowErrorEx(this, PlainTextMarkup(os::FromUtf8(error.what())), caption, HelpContext);
    }
}

std::wstring TdlgCheckReport::ReportText() const {
    return os::FromUtf8(diagnostics::ReportText(findings_, settings::pmCustom, [](std::string_view text) {
        return std::string(text);
    }));
}

void TdlgCheckReport::btnCopyClick(toolkit::TComponent*) { widgets::CopyTextToClipboard(Handle(), ReportText()); }

void TdlgCheckReport::btnHelpClick(toolkit::TComponent*) { toolkit::Application().HelpContext(HelpContext); }

}  // namespace ui
