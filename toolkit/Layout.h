#pragma once
// Builds a window's controls from its stored layout (toolkit/LayoutReader.h).
// Every "object" of the layout becomes a component of the kind it names,
// owned by the form; positions are scaled from 96 pixels per inch to the
// screen's. Event properties name handlers that the form provides; they are
// bound once the form has registered its handlers (TForm::BindEvents).

#include "toolkit/LayoutReader.h"
#include "toolkit/Types.h"

#include <any>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace toolkit {

class TComponent;
class TControl;
class TWinControl;
class TForm;

// Handlers by name. A notify handler is a TNotifyEvent; other events store
// their own std::function type.
using THandlerTable = std::map<std::string, std::any>;

class TLayoutContext {
public:
    TLayoutContext(TForm& form, int pixelsPerInch) : form_(form), pixelsPerInch_(pixelsPerInch) {}

    TForm& Form() const { return form_; }
    int PixelsPerInch() const { return pixelsPerInch_; }
    int Scale(int designPixels) const;

    // Remembers that `slot` gets the handler the property names.
    template <typename Event>
    void BindEvent(const LayoutProperty& property, Event& slot) {
        pending_.push_back({property.Identifier(), property.where, [&slot](const std::any& handler) {
                                const Event* typed = std::any_cast<Event>(&handler);
                                if (!typed) return false;
                                slot = *typed;
                                return true;
                            }});
    }
    // Binds every remembered event; raises ELayoutError for a handler that the
    // table lacks or whose type does not fit the event.
    void BindEvents(const THandlerTable& handlers);

    // References to other components by name ("Menu = mnuMain"), resolved when
    // the whole layout exists.
    void Resolve(const LayoutProperty& property, std::function<void(TComponent&)> assign);
    void ResolveReferences();

private:
    struct PendingEvent {
        std::string handler;
        std::string where;
        std::function<bool(const std::any&)> bind;
    };
    struct PendingReference {
        std::string name;
        std::string where;
        std::function<void(TComponent&)> assign;
    };

    TForm& form_;
    int pixelsPerInch_;
    std::vector<PendingEvent> pending_;
    std::vector<PendingReference> references_;
};

// Typed reads of property values; errors name the layout and line.
TColor LayoutColor(const LayoutProperty& property);
TCursor LayoutCursor(const LayoutProperty& property);
unsigned LayoutFontStyle(const LayoutProperty& property);
TAlignment LayoutAlignment(const LayoutProperty& property);

// Creates a component of one kind, owned by `owner`, child of `parent` when it is a control.
using TComponentFactory = std::function<TComponent*(TComponent* owner, TWinControl* parent)>;
// Adds a kind of object that layouts may use (widgets add theirs).
void RegisterComponentKind(const std::string& kind, TComponentFactory factory);
bool ComponentKindRegistered(const std::string& kind);

// Applies the root object's properties to `form` and creates its children.
void LoadLayout(TForm& form, const LayoutNode& root, TLayoutContext& context);
// Applies again, at the context's resolution, the lengths that the layout
// gives the form (its client size) and the objects it created.
void ApplyLayoutLengths(TForm& form, const LayoutNode& root, TLayoutContext& context);

// The text of the layout stored as RCDATA resource `name` in the program;
// raises engine::Exception when it is missing.
std::string LayoutResourceText(const wchar_t* name);

}  // namespace toolkit
