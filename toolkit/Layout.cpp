#include "toolkit/Layout.h"

#include "engine/Exception.h"
#include "os/Text.h"
#include "toolkit/DpiScale.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Form.h"
#include "toolkit/Label.h"
#include "toolkit/Menu.h"
#include "toolkit/StdCtrls.h"

namespace toolkit {
namespace {

template <typename Control>
TComponentFactory ControlFactory() {
    return [](TComponent* owner, TWinControl* parent) -> TComponent* { return new Control(owner, parent); };
}

std::map<std::string, TComponentFactory>& Factories() {
    static std::map<std::string, TComponentFactory> factories{
        {"label", ControlFactory<TLabel>()},
        {"button", ControlFactory<TButton>()},
        {"checkbox", ControlFactory<TCheckBox>()},
        {"edit", ControlFactory<TEdit>()},
        {"image", ControlFactory<TImage>()},
        {"panel", ControlFactory<TPanel>()},
        {"scrollbox", ControlFactory<TScrollBox>()},
        {"shape", ControlFactory<TShape>()},
        {"bevel", ControlFactory<TBevel>()},
        {"timer", [](TComponent* owner, TWinControl*) -> TComponent* { return new TTimer(owner); }},
        {"mainmenu", [](TComponent* owner, TWinControl*) -> TComponent* { return new TMainMenu(owner); }},
    };
    return factories;
}

void ApplyProperties(TComponent& component, const LayoutNode& node, TLayoutContext& context) {
    for (const LayoutProperty& property : node.properties)
        if (!component.ApplyLayoutProperty(property, context))
            throw ELayoutError("Layout " + property.where + ": " + node.kind + " " + node.name +
                                      " has no property \"" + property.name + "\"");
}

void LoadMenuItems(TForm& form, TMainMenu& menu, TMenuItem* parent, const LayoutNode& node,
                   TLayoutContext& context, std::vector<TComponent*>& created);

TComponent* CreateChild(TForm& form, TWinControl* parent, const LayoutNode& node, TLayoutContext& context,
                        std::vector<TComponent*>& created) {
    if (form.FindComponent(os::FromUtf8(node.name)))
        throw ELayoutError("Layout " + node.where + ": a second object named " + node.name);
    auto factory = Factories().find(node.kind);
    if (factory == Factories().end())
        throw ELayoutError("Layout " + node.where + ": unknown kind of object \"" + node.kind + "\"");
    TComponent* component = factory->second(&form, parent);
    component->Name = os::FromUtf8(node.name);
    created.push_back(component);
    ApplyProperties(*component, node, context);
    if (auto* menu = dynamic_cast<TMainMenu*>(component)) {
        for (const LayoutNode& child : node.children) LoadMenuItems(form, *menu, nullptr, child, context, created);
        return component;
    }
    auto* container = dynamic_cast<TWinControl*>(component);
    if (!node.children.empty() && !container)
        throw ELayoutError("Layout " + node.where + ": " + node.kind + " " + node.name + " cannot hold objects");
    for (const LayoutNode& child : node.children) CreateChild(form, container, child, context, created);
    return component;
}

void LoadMenuItems(TForm& form, TMainMenu& menu, TMenuItem* parent, const LayoutNode& node,
                   TLayoutContext& context, std::vector<TComponent*>& created) {
    if (node.kind != "menuitem")
        throw ELayoutError("Layout " + node.where + ": a menu holds only menuitem objects");
    if (form.FindComponent(os::FromUtf8(node.name)))
        throw ELayoutError("Layout " + node.where + ": a second object named " + node.name);
    auto* item = new TMenuItem(&form, &menu, parent);
    item->Name = os::FromUtf8(node.name);
    created.push_back(item);
    ApplyProperties(*item, node, context);
    for (const LayoutNode& child : node.children) LoadMenuItems(form, menu, item, child, context, created);
}

void ApplyObjectLengths(TForm& form, const LayoutNode& node, TLayoutContext& context) {
    if (TComponent* component = form.FindComponent(os::FromUtf8(node.name)))
        for (const LayoutProperty& property : node.properties)
            if (IsLengthProperty(property.name)) component->ApplyLayoutProperty(property, context);
    for (const LayoutNode& child : node.children) ApplyObjectLengths(form, child, context);
}

}  // namespace

int TLayoutContext::Scale(int designPixels) const { return ScaleToDpi(designPixels, pixelsPerInch_); }

void TLayoutContext::BindEvents(const THandlerTable& handlers) {
    for (const PendingEvent& event : pending_) {
        auto handler = handlers.find(event.handler);
        if (handler == handlers.end())
            throw ELayoutError("Layout " + event.where + ": no handler named " + event.handler);
        if (!event.bind(handler->second))
            throw ELayoutError("Layout " + event.where + ": handler " + event.handler + " does not fit the event");
    }
    pending_.clear();
}

void TLayoutContext::Resolve(const LayoutProperty& property, std::function<void(TComponent&)> assign) {
    references_.push_back({property.Identifier(), property.where, std::move(assign)});
}

void TLayoutContext::ResolveReferences() {
    for (const PendingReference& reference : references_) {
        TComponent* target = form_.FindComponent(os::FromUtf8(reference.name));
        if (!target) throw ELayoutError("Layout " + reference.where + ": no object named " + reference.name);
        reference.assign(*target);
    }
    references_.clear();
}

void RegisterComponentKind(const std::string& kind, TComponentFactory factory) { Factories()[kind] = std::move(factory); }

bool ComponentKindRegistered(const std::string& kind) { return Factories().count(kind) != 0; }

TColor LayoutColor(const LayoutProperty& p) {
    if (p.value.kind == LayoutValue::Kind::Color) return p.value.color;
    TColor color;
    if (p.value.kind == LayoutValue::Kind::Identifier && ColorFromName(p.value.identifier, color)) return color;
    p.Fail("expected a colour (#RRGGBB or a colour name)");
}

TCursor LayoutCursor(const LayoutProperty& p) {
    TCursor cursor;
    if (CursorFromName(p.Identifier(), cursor)) return cursor;
    p.Fail("unknown cursor \"" + p.Identifier() + "\"");
}

unsigned LayoutFontStyle(const LayoutProperty& p) {
    unsigned style = 0;
    for (const std::string& item : p.Set()) {
        if (item == "bold") style |= fsBold;
        else if (item == "italic") style |= fsItalic;
        else if (item == "underline") style |= fsUnderline;
        else if (item == "strikeOut") style |= fsStrikeOut;
        else p.Fail("unknown font style \"" + item + "\"");
    }
    return style;
}

TAlignment LayoutAlignment(const LayoutProperty& p) {
    const std::string& alignment = p.Identifier();
    if (alignment == "left") return TAlignment::taLeftJustify;
    if (alignment == "right") return TAlignment::taRightJustify;
    if (alignment == "center") return TAlignment::taCenter;
    p.Fail("expected left, right or center");
}

void LoadLayout(TForm& form, const LayoutNode& root, TLayoutContext& context) {
    form.Name = os::FromUtf8(root.name);
    ApplyProperties(form, root, context);
    std::vector<TComponent*> created;
    for (const LayoutNode& child : root.children) CreateChild(form, &form, child, context, created);
    context.ResolveReferences();
    form.Loaded();
    for (TComponent* component : created) component->Loaded();
}

void ApplyLayoutLengths(TForm& form, const LayoutNode& root, TLayoutContext& context) {
    // The form's own Left and Top are screen positions, not lengths.
    for (const LayoutProperty& property : root.properties)
        if (IsLengthProperty(property.name) && !os::EqualsIgnoringCase(property.name, "Left") &&
            !os::EqualsIgnoringCase(property.name, "Top"))
            form.ApplyLayoutProperty(property, context);
    for (const LayoutNode& child : root.children) ApplyObjectLengths(form, child, context);
}

std::string LayoutResourceText(const wchar_t* name) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) throw engine::Exception("The window layout \"" + os::ToUtf8(name) + "\" is missing from the program");
    return std::string(static_cast<const char*>(bytes), SizeofResource(module, resource));
}

}  // namespace toolkit
