#pragma once
// The main menu of a form and its items. A change of an item's text or state
// updates that item of the built menu; showing or hiding an item rebuilds the
// menu bar from the items.

#include "toolkit/Component.h"
#include "toolkit/Handles.h"
#include "toolkit/ShortCut.h"

#include <string>
#include <vector>

namespace toolkit {

class TForm;
class TMainMenu;

class TMenuItem : public TComponent {
public:
    // `parent` is the item this one belongs to, or null for a top-level item of `menu`.
    TMenuItem(TComponent* owner, TMainMenu* menu, TMenuItem* parent);
    ~TMenuItem() override;

    const std::wstring& Caption() const { return caption_; }
    void SetCaption(const std::wstring& caption);
    bool IsSeparator() const { return caption_ == L"-"; }
    TShortCut ShortCut() const { return shortCut_; }
    void SetShortCut(const TShortCut& shortCut);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);

    const std::vector<TMenuItem*>& Items() const { return items_; }
    TMenuItem* ParentItem() const { return parent_; }

    TNotifyEvent OnClick;
    virtual void Click();

    bool ApplyLayoutProperty(const LayoutProperty& property, TLayoutContext& context) override;

private:
    friend class TMainMenu;
    void Changed();
    std::wstring Text() const;
    UINT State() const;

    TMainMenu* menu_;
    TMenuItem* parent_;
    std::vector<TMenuItem*> items_;
    std::wstring caption_;
    TShortCut shortCut_;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    UINT command_ = 0;
};

class TMainMenu : public TComponent {
public:
    explicit TMainMenu(TComponent* owner);
    ~TMainMenu() override;

    const std::vector<TMenuItem*>& Items() const { return items_; }
    HMENU Handle() const { return static_cast<HMENU>(handle_.Get()); }

    // Shows the menu as the bar of `form`.
    void AttachTo(TForm* form);
    // Runs the item with that command number; false when there is none.
    bool DispatchCommand(UINT command);
    // Runs the enabled, visible item with that shortcut; false when there is none.
    bool DispatchShortCut(const TShortCut& shortCut);
    // Every item, depth first.
    std::vector<TMenuItem*> AllItems() const;

private:
    friend class TMenuItem;
    void Rebuild();
    void Update(const TMenuItem& item);
    HMENU Find(const TMenuItem& item, int& position) const;
    HMENU BuildPopup(const std::vector<TMenuItem*>& items, bool bar);

    std::vector<TMenuItem*> items_;
    TForm* form_ = nullptr;
    MenuHandle handle_;
    UINT nextCommand_ = 1000;
};

}  // namespace toolkit
