#pragma once
// Reading accessible objects in tests: child ids and texts.

#include <windows.h>
#include <oleacc.h>

#include <string>

inline VARIANT ChildId(LONG id) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = id;
    return variant;
}

// The text that read(BSTR*) gives, empty unless it answers S_OK.
template <typename Read>
std::wstring AccessibleText(Read read) {
    BSTR text = nullptr;
    const HRESULT hr = read(&text);
    std::wstring result = hr == S_OK && text ? std::wstring(text, SysStringLen(text)) : L"";
    SysFreeString(text);
    return result;
}
