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
    if (menu_) menu_->Update(*this);
}

std::wstring TMenuItem::Text() const {
    const std::string shortCut = ShortCutToText(shortCut_);
    return shortCut.empty() ? caption_ : caption_ + L"\t" + os::FromUtf8(shortCut);
}

UINT TMenuItem::State() const { return (enabled_ ? MFS_ENABLED : MFS_GRAYED) | (checked_ ? MFS_CHECKED : 0); }

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
    if (menu_) menu_->Rebuild();
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
        const std::wstring text = item->Text();
        const UINT flags = MF_STRING | item->State();
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
}

// Re-setting the whole bar would make Windows recompute the window's frame.
void TMainMenu::Update(const TMenuItem& item) {
    if (!form_ || !form_->Handle() || !handle_) return;
    int position = 0;
    HMENU container = Find(item, position);
    if (!container) return;
    if (item.IsSeparator() || (GetMenuState(container, position, MF_BYPOSITION) & MF_SEPARATOR)) {
        Rebuild();
        return;
    }
    std::wstring text = item.Text();
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text.data();
    info.fState = item.State();
    SetMenuItemInfoW(container, position, TRUE, &info);
    if (!item.parent_) DrawMenuBar(form_->Handle());
}

// The built menu that holds item, and the item's position there; null when
// the item or one above it is hidden and so not in the built menu.
HMENU TMainMenu::Find(const TMenuItem& item, int& position) const {
    HMENU container = Handle();
    if (item.parent_) {
        int parentPosition = 0;
        HMENU above = Find(*item.parent_, parentPosition);
        container = above ? GetSubMenu(above, parentPosition) : nullptr;
    }
    if (!container || !item.visible_) return nullptr;
    const std::vector<TMenuItem*>& siblings = item.parent_ ? item.parent_->items_ : items_;
    const auto self = std::find(siblings.begin(), siblings.end(), &item);
    position = static_cast<int>(std::count_if(siblings.begin(), self, [](const TMenuItem* s) { return s->visible_; }));
    return container;
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
