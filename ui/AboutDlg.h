#pragma once
// The About box: the product and maker logos, the copyright notice, the
// product name with its version, a link to the product's web page and the
// disclaimer of warranties.

#include "shell/SubstFrm.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Label.h"
#include "widgets/LinkLbl.h"

namespace ui {

class TdlgAbout : public shell::TSubstForm {
public:
    explicit TdlgAbout(toolkit::TComponent* owner);

    // Loads the logos and fills in the copyright notice, version and link.
    void FormCreate(toolkit::TComponent* sender);

protected:
    // The maker's logo, sized for the resolution, ends where the copyright notice ends.
    void ApplyRunTimeLayout() override;

private:
    toolkit::TImage& imgLogo;
    toolkit::TImage& imgVantrelLogo;
    toolkit::TLabel& lblCopyRight;
    toolkit::TLabel& lblVersion;
    widgets::TLinkLabel& lblLink;
};

}  // namespace ui
