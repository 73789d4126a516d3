#include "toolkit/Accessibility.h"

#include "toolkit/Application.h"
#include "toolkit/ComOnDemand.h"
#include "toolkit/Control.h"
#include "toolkit/Form.h"
#include "toolkit/Label.h"
#include "toolkit/OptionalFunction.h"

#include <oleacc.h>
#include <wrl/client.h>

#include <string>
#include <vector>

namespace toolkit {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const char* kOleacc = "oleacc.dll";

HRESULT CreateStandardObject(HWND window, LONG objectId, REFIID iid, void** object) {
    using Function = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    static engine::OsFunctionSlot slot;
    auto create = OptionalFunction<Function>(slot, kOleacc, "CreateStdAccessibleObject");
    return create ? create(window, objectId, iid, object) : E_NOTIMPL;
}

HRESULT ObjectFromWindow(HWND window, DWORD objectId, REFIID iid, void** object) {
    using Function = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    static engine::OsFunctionSlot slot;
    auto find = OptionalFunction<Function>(slot, kOleacc, "AccessibleObjectFromWindow");
    return find ? find(window, objectId, iid, object) : E_NOTIMPL;
}

LRESULT ResultFromObject(REFIID iid, WPARAM wParam, IUnknown* object) {
    using Function = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    static engine::OsFunctionSlot slot;
    auto answer = OptionalFunction<Function>(slot, kOleacc, "LresultFromObject");
    const LRESULT result = answer ? answer(iid, wParam, object) : 0;
    return result > 0 ? result : 0;
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return S_FALSE;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

VARIANT IntVariant(LONG value) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = value;
    return variant;
}

// The controls of a window that screen readers see, in the order of the
// layout: child windows, and the visible controls without a window that have
// a role.
std::vector<TControl*> AccessibleChildren(const TWinControl& window) {
    std::vector<TControl*> children;
    for (TControl* control : window.Controls()) {
        const bool shown = control->IsWindowed() ? static_cast<TWinControl*>(control)->Handle() != nullptr
                                                 : control->Visible() && control->AccessibleRole() != TAccessibleRole::None;
        if (shown) children.push_back(control);
    }
    return children;
}

// The label whose access key focuses `control`, or null.
TLabel* LabelOf(const TWinControl& control) {
    const TForm* form = control.ParentForm();
    for (std::size_t i = 0; form && i < form->ComponentCount(); ++i)
        if (auto* label = dynamic_cast<TLabel*>(form->Components(i)); label && label->FocusControl == &control)
            return label;
    return nullptr;
}

std::wstring NameOf(TWinControl& control) {
    if (!control.AccessibleName.empty()) return control.AccessibleName;
    TLabel* label = LabelOf(control);
    return label ? label->AccessibleText() : std::wstring();
}

// `control` while it is still a control of the window `parent`.
TControl* LiveControl(HWND parent, const TControl* control) {
    const TWinControl* window = TWinControl::FromHandle(parent);
    if (!window) return nullptr;
    for (TControl* child : window->Controls())
        if (child == control) return child;
    return nullptr;
}

RECT ScreenRect(const TControl& control, RECT bounds) {
    const POINT origin = control.ClientToScreen({0, 0});
    OffsetRect(&bounds, origin.x, origin.y);
    return bounds;
}

LONG RoleOf(TAccessibleRole role) {
    switch (role) {
        case TAccessibleRole::Graphic: return ROLE_SYSTEM_GRAPHIC;
        case TAccessibleRole::Link: return ROLE_SYSTEM_LINK;
        case TAccessibleRole::Dialog: return ROLE_SYSTEM_DIALOG;
        default: return ROLE_SYSTEM_STATICTEXT;
    }
}

HRESULT ReturnLocation(const RECT& rect, LONG* left, LONG* top, LONG* width, LONG* height) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
}

// IUnknown and IDispatch of the objects below; screen readers call the
// IAccessible methods directly, never through IDispatch.
class TAccessibleObject : public IAccessible {
public:
    TAccessibleObject() = default;
    TAccessibleObject(const TAccessibleObject&) = delete;
    TAccessibleObject& operator=(const TAccessibleObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG references = InterlockedDecrement(&references_);
        if (references == 0) delete this;
        return static_cast<ULONG>(references);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

protected:
    virtual ~TAccessibleObject() = default;

private:
    LONG references_ = 1;
};

// A control without a window: a label, an image or a markup text, whose
// links are its children (simple elements 1, 2, ...).
class TGraphicAccessible final : public TAccessibleObject {
public:
    TGraphicAccessible(HWND parent, TControl* control) : parent_(parent), control_(control) {}

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        return ObjectFromWindow(parent_, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IDispatch),
                                reinterpret_cast<void**>(parent));
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        TControl* control = Control();
        if (!count) return E_POINTER;
        if (!control) return CO_E_OBJNOTCONNECTED;
        *count = static_cast<LONG>(control->AccessibleLinks().size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        TControl* control = nullptr;
        LONG link = 0;
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        return link >= 0 ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        TControl* control = nullptr;
        LONG link = 0;
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        return ReturnText(link < 0 ? control->AccessibleText() : control->AccessibleLinks()[link].text, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override { return Nothing(id, value); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* text) override { return Nothing(id, text); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* text) override { return Nothing(id, text); }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* text) override { return Nothing(id, text); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        if (file) *file = nullptr;
        if (topic) *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        TControl* control = nullptr;
        LONG link = 0;
        if (!role) return E_POINTER;
        VariantInit(role);
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        *role = IntVariant(link >= 0 ? ROLE_SYSTEM_LINK : RoleOf(control->AccessibleRole()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        TControl* control = nullptr;
        LONG link = 0;
        if (!state) return E_POINTER;
        VariantInit(state);
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        LONG flags = STATE_SYSTEM_LINKED;
        if (link < 0) {
            const TAccessibleRole role = control->AccessibleRole();
            flags = role == TAccessibleRole::Link ? STATE_SYSTEM_LINKED : 0;
            if (role == TAccessibleRole::Text) flags |= STATE_SYSTEM_READONLY;
            if (!control->Showing()) flags |= STATE_SYSTEM_INVISIBLE;
            if (!control->Enabled()) flags |= STATE_SYSTEM_UNAVAILABLE;
        }
        *state = IntVariant(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return NoChild(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override { return NoChild(selection); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
        TControl* control = nullptr;
        LONG link = 0;
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        if (link >= 0 || control->AccessibleRole() == TAccessibleRole::Link) return ReturnText(L"Jump", action);
        return ReturnText(control->AccessibleClickable() ? L"Click" : L"", action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override {
        TControl* control = nullptr;
        LONG link = 0;
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        const RECT bounds = link >= 0 ? control->AccessibleLinks()[link].bounds : RECT{0, 0, control->Width(), control->Height()};
        return ReturnLocation(ScreenRect(*control, bounds), left, top, width, height);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* end) override {
        if (end) VariantInit(end);
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        TControl* control = Control();
        if (!hit) return E_POINTER;
        VariantInit(hit);
        if (!control) return CO_E_OBJNOTCONNECTED;
        const POINT origin = control->ClientToScreen({0, 0});
        const POINT point{x - origin.x, y - origin.y};
        const std::vector<TAccessibleLink> links = control->AccessibleLinks();
        for (std::size_t i = 0; i < links.size(); ++i)
            if (PtInRect(&links[i].bounds, point)) {
                *hit = IntVariant(static_cast<LONG>(i) + 1);
                return S_OK;
            }
        const RECT bounds{0, 0, control->Width(), control->Height()};
        if (!PtInRect(&bounds, point)) return S_FALSE;
        *hit = IntVariant(CHILDID_SELF);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        TControl* control = nullptr;
        LONG link = 0;
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        if (link < 0 && !control->AccessibleClickable()) return DISP_E_MEMBERNOTFOUND;
        Application().RunLater([parent = parent_, target = control_, link] {
            TControl* live = LiveControl(parent, target);
            if (!live) return;
            if (link >= 0) live->FollowAccessibleLink(static_cast<std::size_t>(link));
            else live->Click();
        });
        return S_OK;
    }

private:
    TControl* Control() const { return LiveControl(parent_, control_); }
    // The control, and the index of the link that `id` names (-1: the control itself).
    HRESULT Resolve(const VARIANT& id, TControl*& control, LONG& link) const {
        control = Control();
        if (!control) return CO_E_OBJNOTCONNECTED;
        if (id.vt != VT_I4) return E_INVALIDARG;
        link = id.lVal - 1;
        if (id.lVal == CHILDID_SELF) return S_OK;
        if (link < 0 || static_cast<std::size_t>(link) >= control->AccessibleLinks().size()) return E_INVALIDARG;
        return S_OK;
    }
    HRESULT Nothing(const VARIANT& id, BSTR* text) const {
        TControl* control = nullptr;
        LONG link = 0;
        if (HRESULT hr = Resolve(id, control, link); FAILED(hr)) return hr;
        return ReturnText(L"", text);
    }
    static HRESULT NoChild(VARIANT* child) {
        if (!child) return E_POINTER;
        VariantInit(child);
        return S_FALSE;
    }

    HWND parent_;
    TControl* control_;
};

// The client area of one of the program's windows: the system's standard
// object, with the window's controls without a window added as children and
// the name of the label that names the window.
class TClientAccessible final : public TAccessibleObject {
public:
    TClientAccessible(HWND window, ComPtr<IAccessible> standard) : window_(window), standard_(std::move(standard)) {}

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        TWinControl* window = Window();
        if (!count) return E_POINTER;
        if (!window) return CO_E_OBJNOTCONNECTED;
        *count = static_cast<LONG>(AccessibleChildren(*window).size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        if (!child) return E_POINTER;
        *child = nullptr;
        ComPtr<IAccessible> object;
        if (HRESULT hr = Child(id, object); FAILED(hr)) return hr;
        if (!object) return E_INVALIDARG;
        return object.CopyTo(child);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
        TWinControl* window = Window();
        if (window && id.vt == VT_I4 && id.lVal == CHILDID_SELF) {
            if (std::wstring own = NameOf(*window); !own.empty()) return ReturnText(own, name);
        }
        return Forward(id, [name](IAccessible* object, VARIANT self) { return object->get_accName(self, name); });
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* text) override {
        TWinControl* window = Window();
        if (window && id.vt == VT_I4 && id.lVal == CHILDID_SELF && window->AccessibleName.empty()) {
            if (TLabel* label = LabelOf(*window); label && AccessKeyOf(label->Caption()))
                return ReturnText(std::wstring(L"Alt+") + AccessKeyOf(label->Caption()), text);
        }
        return Forward(id, [text](IAccessible* object, VARIANT self) { return object->get_accKeyboardShortcut(self, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
        return Forward(id, [value](IAccessible* object, VARIANT self) { return object->get_accValue(self, value); });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* text) override {
        return Forward(id, [text](IAccessible* object, VARIANT self) { return object->get_accDescription(self, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
        TWinControl* window = Window();
        if (window && role && id.vt == VT_I4 && id.lVal == CHILDID_SELF &&
            window->AccessibleRole() != TAccessibleRole::None) {
            *role = IntVariant(RoleOf(window->AccessibleRole()));
            return S_OK;
        }
        return Forward(id, [role](IAccessible* object, VARIANT self) { return object->get_accRole(self, role); });
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
        return Forward(id, [state](IAccessible* object, VARIANT self) { return object->get_accState(self, state); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* text) override {
        return Forward(id, [text](IAccessible* object, VARIANT self) { return object->get_accHelp(self, text); });
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
        return Forward(id, [file, topic](IAccessible* object, VARIANT self) {
            return object->get_accHelpTopic(file, self, topic);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
        if (IsLink(id)) return ReturnText(L"Jump", action);
        return Forward(id, [action](IAccessible* object, VARIANT self) { return object->get_accDefaultAction(self, action); });
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
        return Forward(id, [flags](IAccessible* object, VARIANT self) { return object->accSelect(flags, self); });
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT id) override {
        return Forward(id, [=](IAccessible* object, VARIANT self) { return object->accLocation(left, top, width, height, self); });
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return Forward(start, [=](IAccessible* object, VARIANT self) { return object->accNavigate(direction, self, end); });
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
        TWinControl* window = Window();
        if (!hit) return E_POINTER;
        VariantInit(hit);
        if (!window) return CO_E_OBJNOTCONNECTED;
        POINT point{x, y};
        ScreenToClient(window_, &point);
        const std::vector<TControl*> children = AccessibleChildren(*window);
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            const RECT bounds = (*child)->BoundsRect();
            if ((*child)->IsWindowed() || !PtInRect(&bounds, point)) continue;
            hit->vt = VT_DISPATCH;
            hit->pdispVal = new TGraphicAccessible(window_, *child);
            return S_OK;
        }
        return standard_->accHitTest(x, y, hit);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        if (IsLink(id)) {
            Application().RunLater([window = window_] {
                if (TWinControl* link = TWinControl::FromHandle(window)) link->Click();
            });
            return S_OK;
        }
        return Forward(id, [](IAccessible* object, VARIANT self) { return object->accDoDefaultAction(self); });
    }

private:
    TWinControl* Window() const { return TWinControl::FromHandle(window_); }
    // `id` names the window itself, and the window is a link.
    bool IsLink(const VARIANT& id) const {
        TWinControl* window = Window();
        return window && id.vt == VT_I4 && id.lVal == CHILDID_SELF && window->AccessibleRole() == TAccessibleRole::Link;
    }

    // The object of child `id`; null for the window itself.
    HRESULT Child(const VARIANT& id, ComPtr<IAccessible>& object) const {
        TWinControl* window = Window();
        if (!window) return CO_E_OBJNOTCONNECTED;
        if (id.vt != VT_I4) return E_INVALIDARG;
        if (id.lVal == CHILDID_SELF) return S_OK;
        const std::vector<TControl*> children = AccessibleChildren(*window);
        if (id.lVal < 1 || static_cast<std::size_t>(id.lVal) > children.size()) return E_INVALIDARG;
        TControl* child = children[static_cast<std::size_t>(id.lVal) - 1];
        if (!child->IsWindowed()) {
            object.Attach(new TGraphicAccessible(window_, child));
            return S_OK;
        }
        return ObjectFromWindow(static_cast<TWinControl*>(child)->Handle(), static_cast<DWORD>(OBJID_WINDOW),
                                __uuidof(IAccessible), reinterpret_cast<void**>(object.GetAddressOf()));
    }
    // Asks the standard object about the window itself, or the child's own
    // object about itself.
    template <typename Call>
    HRESULT Forward(const VARIANT& id, Call call) const {
        ComPtr<IAccessible> child;
        if (HRESULT hr = Child(id, child); FAILED(hr)) return hr;
        return call(child ? child.Get() : standard_.Get(), IntVariant(CHILDID_SELF));
    }

    HWND window_;
    ComPtr<IAccessible> standard_;
};

}  // namespace

LRESULT AccessibleObjectOf(TWinControl& control, WPARAM wParam, LPARAM objectId) {
    if (static_cast<DWORD>(objectId) != static_cast<DWORD>(OBJID_CLIENT) || !control.Handle()) return 0;
    if (AccessibleChildren(control).empty() && NameOf(control).empty() &&
        control.AccessibleRole() == TAccessibleRole::None)
        return 0;
    // The answer is marshalled to the screen reader through COM.
    StartComOnThisThread();
    ComPtr<IAccessible> standard;
    if (FAILED(CreateStandardObject(control.Handle(), OBJID_CLIENT, __uuidof(IAccessible),
                                    reinterpret_cast<void**>(standard.GetAddressOf()))) ||
        !standard)
        return 0;
    ComPtr<IAccessible> client;
    client.Attach(new TClientAccessible(control.Handle(), std::move(standard)));
    return ResultFromObject(__uuidof(IAccessible), wParam, client.Get());
}

}  // namespace toolkit
