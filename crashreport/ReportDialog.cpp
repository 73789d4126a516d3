#include "crashreport/ReportDialog.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

namespace crashreport {
namespace {

constexpr int kIconId = 103;
constexpr int kFrameId = 105;
constexpr short kDetailsTop = 72;  // dialog units: where the compact dialog ends
// Posted at creation: it arrives once the dialog shows and runs its message loop.
constexpr UINT WM_REPORT_SHOWN = WM_APP + 1;

// A DLGTEMPLATE with its items, laid out as DialogBoxIndirect expects.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, WORD pointSize, const wchar_t* font) {
        PutDword(style);
        PutDword(0);
        countAt_ = words_.size();
        words_.push_back(0);
        for (short value : {short(0), short(0), cx, cy}) words_.push_back(static_cast<WORD>(value));
        words_.push_back(0);  // no menu
        words_.push_back(0);  // standard class
        PutText(L"");         // the caption is set at run time
        words_.push_back(pointSize);
        PutText(font);
    }

    void Add(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const wchar_t* text) {
        Begin(style, x, y, cx, cy, id);
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        End(text);
    }

    void Add(DWORD style, short x, short y, short cx, short cy, WORD id, const wchar_t* className, const wchar_t* text) {
        Begin(style, x, y, cx, cy, id);
        PutText(className);
        End(text);
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void PutDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void PutText(const wchar_t* text) {
        for (; *text; ++text) words_.push_back(static_cast<WORD>(*text));
        words_.push_back(0);
    }
    void Begin(DWORD style, short x, short y, short cx, short cy, WORD id) {
        if (words_.size() % 2) words_.push_back(0);  // items start on a DWORD boundary
        PutDword(style | WS_CHILD);
        PutDword(0);
        for (short value : {x, y, cx, cy}) words_.push_back(static_cast<WORD>(value));
        words_.push_back(id);
    }
    void End(const wchar_t* text) {
        PutText(text);
        words_.push_back(0);  // no creation data
        ++words_[countAt_];
    }

    std::vector<WORD> words_;
    std::size_t countAt_ = 0;
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

// The font of the page text boxes, released with the dialog.
class PageFont {
public:
    PageFont()
        : font_(CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier")) {}
    ~PageFont() {
        if (font_) DeleteObject(font_);
    }
    PageFont(const PageFont&) = delete;
    PageFont& operator=(const PageFont&) = delete;
    HFONT get() const { return font_; }

private:
    HFONT font_;
};

struct DialogState {
    const ReportDialogContent& content;
    PageFont font;
    int fullHeight = 0;
    int compactHeight = 0;
    bool detailsShown = false;
};

void ShowSelectedPage(HWND dialog, const DialogState& state) {
    const int selected = static_cast<int>(SendDlgItemMessageW(dialog, kTabsId, TCM_GETCURSEL, 0, 0));
    for (std::size_t i = 0; i < state.content.pages.size(); ++i) {
        const bool visible = state.detailsShown && static_cast<int>(i) == selected;
        ShowWindow(GetDlgItem(dialog, kFirstPageId + static_cast<int>(i)), visible ? SW_SHOW : SW_HIDE);
    }
}

void ShowDetails(HWND dialog, DialogState& state, bool shown) {
    state.detailsShown = shown;
    RECT window;
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, shown ? state.fullHeight : state.compactHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetDlgItemTextW(dialog, kDetailsButtonId, shown ? L"Compact <<" : L"Details >>");
    ShowWindow(GetDlgItem(dialog, kTabsId), shown ? SW_SHOW : SW_HIDE);
    ShowSelectedPage(dialog, state);
}

void InitDialog(HWND dialog, DialogState& state) {
    SetWindowTextW(dialog, state.content.caption.c_str());
    SendDlgItemMessageW(dialog, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_HAND)), 0);
    SetDlgItemTextW(dialog, kMessageId, state.content.message.c_str());

    const HWND tabs = GetDlgItem(dialog, kTabsId);
    for (std::size_t i = 0; i < state.content.pages.size(); ++i) {
        const ReportPage& page = state.content.pages[i];
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(page.title.c_str());
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
        const HWND edit = GetDlgItem(dialog, kFirstPageId + static_cast<int>(i));
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), FALSE);
        SetWindowTextW(edit, page.text.c_str());
    }

    RECT window, client, details{0, 0, 0, kDetailsTop};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    MapDialogRect(dialog, &details);
    state.fullHeight = window.bottom - window.top;
    state.compactHeight = state.fullHeight - (client.bottom - details.bottom);
    ShowDetails(dialog, state, state.content.detailsShown && !state.content.pages.empty());
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        InitDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
        SetFocus(GetDlgItem(dialog, IDOK));
        PostMessageW(dialog, WM_REPORT_SHOWN, 0, 0);
        return FALSE;  // focus set here

    case WM_REPORT_SHOWN:
        if (state && state->content.shown) state->content.shown();
        return TRUE;

    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case kDetailsButtonId:
            if (state) ShowDetails(dialog, *state, !state->detailsShown);
            return TRUE;
        case kTerminateButtonId:
            TerminateProcess(GetCurrentProcess(), state ? state->content.exitCode : 1);
            return TRUE;
        }
        break;
    case WM_NOTIFY:
        if (state && reinterpret_cast<const NMHDR*>(lParam)->code == TCN_SELCHANGE) {
            ShowSelectedPage(dialog, *state);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

void ShowReportDialog(const ReportDialogContent& content) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    const bool hasPages = !content.pages.empty();
    DialogTemplate dialog(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION |
                              WS_SYSMENU | WS_VISIBLE,
                          364, 207, 8, L"MS Sans Serif");
    dialog.Add(SS_ETCHEDFRAME | WS_VISIBLE, 4, 3, 356, 65, kFrameId, kStatic, L"");
    dialog.Add(SS_ICON | WS_VISIBLE, 10, 10, 32, 32, kIconId, kStatic, L"");
    dialog.Add(SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 44, 10, 244, 54, kMessageId, kStatic, L"");
    dialog.Add(BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 292, 8, 62, 15, IDOK, kButton, L"OK");
    dialog.Add(BS_PUSHBUTTON | WS_TABSTOP | (hasPages ? WS_VISIBLE : 0), 292, 24, 62, 15, kDetailsButtonId, kButton,
               L"Details >>");
    if (content.terminateButton)
        dialog.Add(BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 292, 40, 62, 15, kTerminateButtonId, kButton, L"Terminate");
    dialog.Add(WS_TABSTOP | WS_CLIPSIBLINGS | (hasPages ? WS_VISIBLE : 0), 4, 72, 356, 132, kTabsId, WC_TABCONTROLW, L"");
    for (std::size_t i = 0; i < content.pages.size(); ++i)
        dialog.Add(ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL | WS_BORDER |
                       WS_TABSTOP,
                   8, 88, 348, 112, static_cast<WORD>(kFirstPageId + i), kEdit, L"");

    DialogState state{content, {}, 0, 0, false};
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), GetActiveWindow(), &DialogProc,
                            reinterpret_cast<LPARAM>(&state));
}

}  // namespace crashreport
