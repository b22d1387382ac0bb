#pragma once

// A top-level window bound to a C++ object: the object's address rides in
// CreateWindowExW's creation parameter and stays in GWLP_USERDATA from
// WM_NCCREATE on, so every later message reaches Derived::handleMessage
// (found at compile time: no virtual call). The binding ends with
// WM_NCDESTROY, the window's last message, after which handle() is null.

#include <windows.h>

namespace tovik {

template<class Derived>
class BaseWindow
{
public:
    HWND handle() const { return hwnd_; }

protected:
    // Registers the class on first use, with the fields `windowClass`
    // carries besides the ones set here, then creates the window.
    bool createWindow(WNDCLASSEXW windowClass, const wchar_t *title, DWORD style, DWORD exStyle,
                      const RECT &frame, HMENU menu)
    {
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        WNDCLASSEXW registered{};
        registered.cbSize = sizeof registered;
        if (!GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &registered)
            && !RegisterClassExW(&windowClass))
            return false;
        CreateWindowExW(exStyle, windowClass.lpszClassName, title, style, frame.left, frame.top,
                        frame.right - frame.left, frame.bottom - frame.top, nullptr, menu,
                        windowClass.hInstance, this);
        return hwnd_ != nullptr;
    }

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Derived *self;
        if (message == WM_NCCREATE) {
            auto *base = static_cast<BaseWindow *>(
                    reinterpret_cast<const CREATESTRUCTW *>(lParam)->lpCreateParams);
            self = static_cast<Derived *>(base);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        const LRESULT result = self->handleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    }
};

} // namespace tovik
