#include "toolkit/Menu.h"

#include "os/Text.h"
#include "toolkit/Form.h"
#include "toolkit/Layout.h"
#include "toolkit/LayoutReader.h"

#include <algorithm>
#include <functional>

namespace toolkit {

// ---- TMenuItem

TMenuItem::TMenuItem(TComponent* owner, TMainMenu* menu, TMenuItem* parent)
    : TComponent(owner), menu_(menu), parent_(parent) {
    (parent_ ? parent_->items_ : menu_->items_).push_back(this);
    command_ = menu_->nextCommand_++;
}

TMenuItem::~TMenuItem() {
    for (TMenuItem* item : items_) item->parent_ = nullptr;
    if (parent_) {
        auto& siblings = parent_->items_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    } else if (menu_) {
        auto& siblings = menu_->items_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

void TMenuItem::Changed() {
    if (menu_) menu_->Rebuild();
}

void TMenuItem::SetCaption(const std::wstring& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    Changed();
}

void TMenuItem::SetShortCut(const TShortCut& shortCut) {
    shortCut_ = shortCut;
    Changed();
}

void TMenuItem::SetEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    Changed();
}

void TMenuItem::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    Changed();
}

void TMenuItem::SetChecked(bool checked) {
    if (checked_ == checked) return;
    checked_ = checked;
    Changed();
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

bool TMenuItem::ApplyLayoutProperty(const LayoutProperty& p, TLayoutContext& context) {
    auto is = [&p](const char* name) { return os::EqualsIgnoringCase(p.name, name); };
    if (is("Caption")) {
        SetCaption(p.Text());
    } else if (is("ShortCut")) {
        try {
            SetShortCut(ParseShortCut(os::ToUtf8(p.Text())));
        } catch (const ELayoutError& error) {
            p.Fail(error.what());
        }
    } else if (is("Enabled")) {
        SetEnabled(p.Bool());
    } else if (is("Visible")) {
        SetVisible(p.Bool());
    } else if (is("Checked")) {
        SetChecked(p.Bool());
    } else if (is("OnClick")) {
        context.BindEvent(p, OnClick);
    } else {
        return TComponent::ApplyLayoutProperty(p, context);
    }
    return true;
}

// ---- TMainMenu

TMainMenu::TMainMenu(TComponent* owner) : TComponent(owner) {}

TMainMenu::~TMainMenu() {
    for (TMenuItem* item : AllItems()) item->menu_ = nullptr;
    for (TMenuItem* item : items_) item->parent_ = nullptr;
    if (form_ && form_->Handle() && GetMenu(form_->Handle()) == Handle()) ::SetMenu(form_->Handle(), nullptr);
}

std::vector<TMenuItem*> TMainMenu::AllItems() const {
    std::vector<TMenuItem*> all;
    std::function<void(const std::vector<TMenuItem*>&)> walk = [&](const std::vector<TMenuItem*>& items) {
        for (TMenuItem* item : items) {
            all.push_back(item);
            walk(item->items_);
        }
    };
    walk(items_);
    return all;
}

void TMainMenu::AttachTo(TForm* form) {
    form_ = form;
    Rebuild();
}

HMENU TMainMenu::BuildPopup(const std::vector<TMenuItem*>& items, bool bar) {
    HMENU menu = bar ? CreateMenu() : CreatePopupMenu();
    for (TMenuItem* item : items) {
        if (!item->visible_) continue;
        if (item->IsSeparator()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::wstring text = item->caption_;
        std::string shortCut = ShortCutToText(item->shortCut_);
        if (!shortCut.empty()) text += L"\t" + os::FromUtf8(shortCut);
        UINT flags = MF_STRING | (item->enabled_ ? MF_ENABLED : MF_GRAYED) | (item->checked_ ? MF_CHECKED : 0);
        if (!item->items_.empty()) {
            AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(BuildPopup(item->items_, false)),
                        text.c_str());
        } else {
            AppendMenuW(menu, flags, item->command_, text.c_str());
        }
    }
    return menu;
}

void TMainMenu::Rebuild() {
    if (!form_ || !form_->Handle()) return;
    MenuHandle fresh(BuildPopup(items_, true));
    ::SetMenu(form_->Handle(), fresh.Get());
    handle_ = std::move(fresh);
    DrawMenuBar(form_->Handle());
}

bool TMainMenu::DispatchCommand(UINT command) {
    for (TMenuItem* item : AllItems())
        if (item->command_ == command) {
            if (item->enabled_) item->Click();
            return true;
        }
    return false;
}

bool TMainMenu::DispatchShortCut(const TShortCut& shortCut) {
    if (shortCut.key == 0) return false;
    for (TMenuItem* item : AllItems()) {
        if (!(item->shortCut_ == shortCut)) continue;
        bool available = true;
        for (TMenuItem* level = item; level; level = level->parent_)
            available = available && level->enabled_ && level->visible_;
        if (available) item->Click();
        return available;
    }
    return false;
}

}  // namespace toolkit
