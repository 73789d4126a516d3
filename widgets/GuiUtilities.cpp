#include "widgets/GuiUtilities.h"

#include "toolkit/Application.h"
#include "toolkit/ExtCtrls.h"

#include <shellapi.h>

#include <utility>

namespace widgets {
bool OpenURL(const std::wstring& address, HWND owner) {
    toolkit::THourGlass busy;
    const HINSTANCE result = ShellExecuteW(owner, L"open", address.c_str(), L"", L"", SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

toolkit::Picture CreatePNGFromResource(const std::wstring& name) {
    const std::wstring resource = L"PNG_" + name;
    return toolkit::Picture::FromResource(GetModuleHandleW(nullptr), resource.c_str());
}

void LoadPNGImage(toolkit::TImage& image, const std::wstring& name) {
    image.LoadPicture(CreatePNGFromResource(name));
}

}  // namespace widgets
