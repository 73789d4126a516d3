#include "ui/PlainMarkupLabel.h"

#include "toolkit/Layout.h"

namespace ui {

std::wstring StripMarkup(const std::wstring& markup) {
    std::wstring text;
    bool inTag = false;
    for (wchar_t c : markup) {
        if (c == L'<') inTag = true;
        else if (c == L'>' && inTag) inTag = false;
        else if (!inTag) text.push_back(c);
    }
    return text;
}

TPlainMarkupLabel::TPlainMarkupLabel(toolkit::TComponent* owner, toolkit::TWinControl* parent)
    : TLabel(owner, parent) {
    SetAutoSize(false);
    SetWordWrap(true);
}

void TPlainMarkupLabel::SetCaption(const std::wstring& caption) {
    markup_ = caption;
    TLabel::SetCaption(StripMarkup(caption));
}

void RegisterPlainMarkupLabel() {
    if (toolkit::ComponentKindRegistered("markuplabel")) return;
    toolkit::RegisterComponentKind("markuplabel", [](toolkit::TComponent* owner, toolkit::TWinControl* parent) {
        return static_cast<toolkit::TComponent*>(new TPlainMarkupLabel(owner, parent));
    });
}

bool IsMarkupLabel(const toolkit::TLabel& label) { return dynamic_cast<const TPlainMarkupLabel*>(&label) != nullptr; }

}  // namespace ui
