#include "tovik.h"

#include "twips.h"
#include "wide_text.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace tovik {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = 0;
// Each control's and menu item's command id: this + its layout::ControlId.
// IDOK and IDCANCEL, which the dialog manager sends, fall below.
constexpr int kCommandIds = 100;

int commandId(layout::ControlId control)
{
    return kCommandIds + static_cast<int>(control);
}

RECT pixels(const layout::Rect &rect, UINT dpi)
{
    const int left = pixelsAt(rect.left, dpi), top = pixelsAt(rect.top, dpi);
    return {left, top, left + pixelsAt(rect.width, dpi), top + pixelsAt(rect.height, dpi)};
}

// The frame whose client area, below the menu bar, has the layout's size
// with its top left corner at `clientOrigin`.
RECT frameAround(POINT clientOrigin, UINT dpi)
{
    RECT frame = pixels(layout::kClientArea, dpi);
    OffsetRect(&frame, clientOrigin.x - frame.left, clientOrigin.y - frame.top);
    AdjustWindowRectExForDpi(&frame, kStyle, TRUE, kExStyle, dpi);
    return frame;
}

HFONT makeFont(const layout::Font &font, UINT dpi)
{
    const int height = -static_cast<int>(std::lround(font.points * dpi / 72));
    return CreateFontW(height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                       static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, widen(font.face).c_str());
}

HMENU makeMenuBar()
{
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    for (const layout::MenuItem &item : layout::kFileMenuItems) {
        if (item.caption == "-")
            AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(file, MF_STRING, commandId(item.id), widen(item.caption).c_str());
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file),
                widen(layout::kFileMenu.caption).c_str());
    return bar;
}

} // namespace

Tovik::Tovik()
    : form_(*this)
{
}

bool Tovik::create()
{
    const std::wstring name = widen(layout::kWindowName);
    WNDCLASSEXW windowClass{};
    windowClass.lpszClassName = name.c_str();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(layout::kBackgroundColour);
    // The icon resource holds every size; Windows picks from it.
    windowClass.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"IDI_ICON1");
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"IDI_ICON1",
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), 0));
    const UINT dpi = GetDpiForSystem();
    const RECT client = pixels(layout::kClientArea, dpi);
    HMENU menu = makeMenuBar();
    if (!createWindow(windowClass, widen(layout::kWindowCaption).c_str(), kStyle, kExStyle,
                      frameAround({client.left, client.top}, dpi), menu)) {
        DestroyMenu(menu);
        return false;
    }
    return true;
}

LRESULT Tovik::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        if (!createControls())
            return -1;
        RECT frame;
        GetWindowRect(hwnd_, &frame);
        layOut(GetDpiForWindow(hwnd_), {frame.left, frame.top});
        return 0;
    }
    case WM_DPICHANGED: {
        const auto *suggested = reinterpret_cast<const RECT *>(lParam);
        layOut(HIWORD(wParam), {suggested->left, suggested->top});
        return 0;
    }
    case WM_COMMAND:
        // A menu item's too; an id that is no control's finds no case.
        if (HIWORD(wParam) == BN_CLICKED)
            form_.click(static_cast<layout::ControlId>(LOWORD(wParam) - kCommandIds));
        return 0;
    case DM_GETDEFID:
        return defaultButton();
    case WM_ACTIVATE:
        // Leaving, remember which button had the focus; coming back, the
        // window gets the focus (WM_SETFOCUS) and hands it on.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus))
                focus_ = focus;
        }
        break;
    case WM_SETFOCUS:
        if (focus_)
            SetFocus(focus_);
        return 0;
    case WM_CTLCOLORSTATIC: {
        // The notice: opaque, in the window's colour.
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(layout::kNoticeTextColour));
        SetBkColor(dc, GetSysColor(layout::kBackgroundColour));
        SetBkMode(dc, OPAQUE);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(layout::kBackgroundColour));
    }
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(windowFont_.get());
    case WM_DESTROY:
        PostQuitMessage(exitStatus_);
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// Created in tab order, so Tab goes through them as the layout lists them.
// The notice is single-line: the ellipsis style makes the static control
// draw it on one line, cut short rather than wrapped should it ever not fit.
bool Tovik::createControls()
{
    for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
        const layout::Control &control = layout::kControls[i];
        const bool button = control.kind == layout::Kind::Button;
        const DWORD style = WS_CHILD | WS_VISIBLE
                | (button ? WS_TABSTOP | BS_PUSHBUTTON : SS_CENTER | SS_NOPREFIX | SS_ENDELLIPSIS);
        controls_[i] = CreateWindowExW(0, button ? L"BUTTON" : L"STATIC",
                                       widen(control.caption).c_str(), style, 0, 0, 0, 0, hwnd_,
                                       reinterpret_cast<HMENU>(commandId(control.id)),
                                       GetModuleHandleW(nullptr), nullptr);
        if (!controls_[i])
            return false;
        if (button && !focus_)
            focus_ = controls_[i]; // the focus starts on the first that takes it
    }
    return true;
}

void Tovik::layOut(UINT dpi, POINT frameOrigin)
{
    RECT frame = frameAround({0, 0}, dpi);
    SetWindowPos(hwnd_, nullptr, frameOrigin.x, frameOrigin.y, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);

    Font windowFont(makeFont(layout::kWindowFont, dpi));
    std::array<Font, layout::kControls.size()> fonts;
    for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
        const layout::Control &control = layout::kControls[i];
        const RECT place = pixels(control.rect, dpi);
        fonts[i].reset(makeFont(control.font, dpi));
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[i].get()), FALSE);
        SetWindowPos(controls_[i], nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(controls_[i], nullptr, TRUE);
    }
    // The controls hold the new fonts now: the old ones can go.
    fonts_.swap(fonts);
    windowFont_.swap(windowFont);
}

LRESULT Tovik::defaultButton() const
{
    HWND focus = GetFocus();
    const bool ours = std::find(controls_.begin(), controls_.end(), focus) != controls_.end();
    if (!focus || !ours || !(GetWindowLongW(focus, GWL_STYLE) & WS_TABSTOP))
        return 0;
    return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
}

std::optional<std::string> Tovik::showOpenDialog(const layout::FileFilter &filter)
{
    // Description and pattern, each ended by a NUL; c_str() adds the NUL
    // that ends the list.
    const std::wstring filterText
            = widen(filter.description) + L'\0' + widen(filter.pattern) + L'\0';
    // Room for the longest path Windows knows.
    std::wstring path(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = hwnd_;
    dialog.lpstrFilter = filterText.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    // Existing files only: a mistyped name is caught here, not by a
    // conversion that would fail and end the program. The working folder
    // stays where the program was started, which is where results land.
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY
            | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    path.resize(std::wcslen(path.c_str()));
    return narrow(path);
}

FrontEnd::Answer Tovik::showMessage(const std::string &text, Buttons buttons)
{
    const UINT type = buttons == Buttons::YesNo ? MB_YESNO | MB_DEFBUTTON1 : MB_OK;
    switch (MessageBoxW(hwnd_, widen(text).c_str(), widen(layout::kMessageCaption).c_str(), type)) {
    case IDYES:
        return Answer::Yes;
    case IDNO:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

void Tovik::endProgram(int status)
{
    exitStatus_ = status;
    DestroyWindow(hwnd_);
}

} // namespace tovik
