#pragma once
// Walking accessible objects inside the test process (from another process
// Wine's AccessibleObjectFromWindow answers E_NOINTERFACE).

#include "AccessibleValues.h"

#include <gtest/gtest.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <functional>
#include <string>

using Microsoft::WRL::ComPtr;

inline std::wstring Name(IAccessible* object, LONG id = CHILDID_SELF) {
    return AccessibleText([&](BSTR* text) { return object->get_accName(ChildId(id), text); });
}
inline std::wstring Action(IAccessible* object, LONG id = CHILDID_SELF) {
    return AccessibleText([&](BSTR* text) { return object->get_accDefaultAction(ChildId(id), text); });
}
inline LONG Role(IAccessible* object, LONG id = CHILDID_SELF) {
    VARIANT role;
    VariantInit(&role);
    return SUCCEEDED(object->get_accRole(ChildId(id), &role)) && role.vt == VT_I4 ? role.lVal : -1;
}
inline ComPtr<IAccessible> ChildObject(IAccessible* parent, LONG id) {
    ComPtr<IDispatch> dispatch;
    ComPtr<IAccessible> child;
    if (parent->get_accChild(ChildId(id), &dispatch) == S_OK) dispatch.As(&child);
    return child;
}
inline ComPtr<IAccessible> ClientObject(HWND window) {
    ComPtr<IAccessible> object;
    EXPECT_EQ(S_OK, AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_PPV_ARGS(&object)));
    return object;
}
// The first child object of `parent` whose name passes `wanted`, or null.
inline ComPtr<IAccessible> ChildWhere(IAccessible* parent, const std::function<bool(const std::wstring&)>& wanted) {
    LONG count = 0;
    if (FAILED(parent->get_accChildCount(&count))) return nullptr;
    for (LONG id = 1; id <= count; ++id)
        if (ComPtr<IAccessible> child = ChildObject(parent, id); child && wanted(Name(child.Get()))) return child;
    return nullptr;
}
