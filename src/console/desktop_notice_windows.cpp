// An unattended run's notice on Windows: a balloon from the notification area, which
// Windows 10 and 11 show as a notification. The icon stays a few seconds so that the
// notification is shown before the run ends.
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <type_traits>

#include "console/desktop_notice.h"

namespace zv {

namespace {

struct WindowCloser {
    void operator()(HWND w) const { DestroyWindow(w); }
};

// Copies as much of `text` as fits, always ended.
template <size_t N>
void fill(wchar_t (&field)[N], const QString& text) {
    const qsizetype n = std::min<qsizetype>(text.size(), N - 1);
    text.left(n).toWCharArray(field);
    field[n] = 0;
}

}  // namespace

void showDesktopNotice(const QString& title, const QString& message) {
    const HINSTANCE self = GetModuleHandleW(nullptr);
    WNDCLASSW type{};
    type.lpfnWndProc = DefWindowProcW;
    type.hInstance = self;
    type.lpszClassName = L"ZuduvorNotice";
    RegisterClassW(&type);  // fails harmlessly when a notice was shown before
    const std::unique_ptr<std::remove_pointer_t<HWND>, WindowCloser> window(CreateWindowExW(
        0, type.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, self, nullptr));
    if (!window) return;
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window.get();
    icon.uID = 1;
    icon.uFlags = NIF_ICON | NIF_TIP | NIF_INFO;
    icon.hIcon = LoadIconW(self, MAKEINTRESOURCEW(1));
    if (!icon.hIcon) icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));  // IDI_WARNING
    icon.dwInfoFlags = NIIF_WARNING;
    fill(icon.szTip, QStringLiteral("Electronic Claims Secure File Transfer"));
    fill(icon.szInfoTitle, title);
    fill(icon.szInfo, message);
    if (!Shell_NotifyIconW(NIM_ADD, &icon)) return;  // no notification area (a service)
    Sleep(8000);
    Shell_NotifyIconW(NIM_DELETE, &icon);
}

}  // namespace zv
