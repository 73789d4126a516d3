#pragma once
// Layouts name explanation texts "markuplabel". Until a markup label control
// registers that kind, it is a word-wrapped label that shows the text without
// its tags.

#include "toolkit/Label.h"

#include <string>

namespace ui {

// The text with its <...> tags left out.
std::wstring StripMarkup(const std::wstring& markup);

class TPlainMarkupLabel : public toolkit::TLabel {
public:
    TPlainMarkupLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent);

    void SetCaption(const std::wstring& caption) override;
    std::wstring Caption() const override { return markup_; }

private:
    std::wstring markup_;
};

// Registers "markuplabel" for layouts unless a control already did.
void RegisterPlainMarkupLabel();
bool IsMarkupLabel(const toolkit::TLabel& label);

}  // namespace ui
