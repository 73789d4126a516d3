#include "widgets/GuiUtilities.h"

#include "toolkit/Application.h"
#include "toolkit/DpiScale.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/ImageScale.h"

#include <shellapi.h>

#include <utility>

namespace widgets {
bool OpenURL(const std::wstring& address, HWND owner) {
    toolkit::THourGlass busy;
    const HINSTANCE result = ShellExecuteW(owner, L"open", address.c_str(), L"", L"", SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

toolkit::Picture CreatePNGFromResource(const std::wstring& name, int pixelsPerInch) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const std::wstring resource = L"PNG_" + name;
    const std::string_view design = toolkit::RawResource(module, resource.c_str());
    int width = 0;
    int height = 0;
    // A missing or damaged 100 % picture raises its own error here.
    if (!toolkit::ReadPngSize(design.data(), design.size(), width, height))
        return toolkit::Picture::FromResource(module, resource.c_str());
    width = toolkit::ScaleToDpi(width, pixelsPerInch);
    height = toolkit::ScaleToDpi(height, pixelsPerInch);
    const int percent = toolkit::ImageVariantPercent(pixelsPerInch);
    const std::wstring variant = resource + L"_" + std::to_wstring(percent);
    if (percent == 100 || toolkit::RawResource(module, variant.c_str()).empty())
        return toolkit::Picture::FromResource(module, resource.c_str(), width, height);
    return toolkit::Picture::FromResource(module, variant.c_str(), width, height);
}

void LoadPNGImage(toolkit::TImage& image, const std::wstring& name) {
    image.LoadPicture([name](int pixelsPerInch) { return CreatePNGFromResource(name, pixelsPerInch); });
}

}  // namespace widgets
