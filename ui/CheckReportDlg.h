#pragma once
// The check report (Commands > Check settings...): the findings of the
// settings check, one row each with its verdict, text and fix, problems first,
// in a list that scrolls when they do not fit the monitor; a Fix button on a
// finding that Gatewise can fix; Copy puts the report on the clipboard as
// text, and "Try stored password..." asks Windows whether the stored
// auto-logon password is still valid. Each row takes the keyboard focus and
// is read by screen readers as its verdict, text and fix.

#include "diagnostics/Diagnostics.h"
#include "shell/SubstFrm.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Label.h"
#include "toolkit/StdCtrls.h"
#include "widgets/KXLabel.h"

#include <string>
#include <vector>

namespace ui {

class TdlgCheckReport : public shell::TSubstForm {
public:
    explicit TdlgCheckReport(toolkit::TComponent* owner);

    // Runs the checks (hourglass meanwhile) and shows their findings.
    void FormCreate(toolkit::TComponent* sender);
    // Asks first, since a wrong password counts toward the lockout; then
    // tries the stored password once and says what Windows answered.
    void btnVerifyStoredClick(toolkit::TComponent* sender);
    void btnCopyClick(toolkit::TComponent* sender);
    void btnHelpClick(toolkit::TComponent* sender);

    // The findings shown, in their order.
    const std::vector<diagnostics::CheckResult>& Findings() const { return findings_; }
    // The report as Copy puts it on the clipboard.
    std::wstring ReportText() const;

protected:
    // Places the rows, the list and the buttons for the findings and the
    // work area of the monitor, at the window's resolution.
    void ApplyRunTimeLayout() override;

private:
    struct TRow {
        toolkit::TPanel* row;
        toolkit::TLabel* verdict;
        widgets::TKXLabel* text;
        toolkit::TButton* fix;
    };

    void MakeRows();
    void ShowFinding(std::size_t index);
    void ShowSummary();
    // Applies the fix of finding `index`, says what was done and how to
    // reverse it, and checks that finding again.
    void FixClick(std::size_t index);
    std::wstring VerdictText(diagnostics::Verdict verdict) const;

    toolkit::TLabel& lblSummary;
    toolkit::TScrollBox& sbxFindings;
    toolkit::TButton& btnVerifyStored;
    toolkit::TButton& btnCopy;
    toolkit::TButton& btnClose;
    std::vector<diagnostics::CheckResult> findings_;
    std::vector<TRow> rows_;
    bool administrator_ = false;  // fixes and the stored password are an administrator's
};

}  // namespace ui
