// A stand-in Magnification.dll, for the Wine test prefix only: it never
// ships and is never installed anywhere but a test prefix's system folder.
// Wine has no Magnification API; this gives its smoke run a picture to check.
//
// It exports the calls Kestrove makes. Its "Magnifier" window class paints
// the source rectangle of the screen, scaled by the transform's zoom with
// GDI's halftone filter, from the control's top-left corner; whatever the
// scaled source does not cover is black. It does not draw the cursor.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr wchar_t kClassName[] = L"Magnifier";

// What MagSetWindowSource and MagSetWindowTransform set on one control.
struct View {
    RECT source{};
    float zoomX = 1.0f;
    float zoomY = 1.0f;
};

HINSTANCE g_module = nullptr;
ATOM g_class = 0;

// The control's view, or null when `hwnd` is not one of ours.
View* ViewOf(HWND hwnd) {
    if (g_class == 0 || !IsWindow(hwnd) || GetClassWord(hwnd, GCW_ATOM) != g_class) {
        return nullptr;
    }
    return reinterpret_cast<View*>(GetWindowLongPtrW(hwnd, 0));
}

// Bounded, so that no source or zoom overflows GDI's coordinates.
constexpr double kLargest = 1 << 20;

int Length(LONG from, LONG to) {
    return static_cast<int>(std::clamp(static_cast<double>(to) - from, 0.0, kLargest));
}

int Scaled(int length, float zoom) {
    return static_cast<int>(
        std::lround(std::clamp(length * static_cast<double>(zoom), 0.0, kLargest)));
}

void Paint(HWND hwnd, const View& view) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    const int sourceWidth = Length(view.source.left, view.source.right);
    const int sourceHeight = Length(view.source.top, view.source.bottom);
    const int width = Scaled(sourceWidth, view.zoomX);
    const int height = Scaled(sourceHeight, view.zoomY);
    if (sourceWidth > 0 && sourceHeight > 0 && width > 0 && height > 0) {
        HDC screen = GetDC(nullptr);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr); // as HALFTONE requires after the mode is set
        StretchBlt(dc, 0, 0, width, height, screen, view.source.left, view.source.top, sourceWidth,
                   sourceHeight, SRCCOPY);
        ReleaseDC(nullptr, screen);
        ExcludeClipRect(dc, 0, 0, width, height);
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(hwnd, &paint);
}

LRESULT CALLBACK MagnifierProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: {
        auto* view = new (std::nothrow) View;
        if (view == nullptr) {
            return FALSE; // the window is not created
        }
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(view));
        break;
    }
    case WM_NCDESTROY:
        delete reinterpret_cast<View*>(GetWindowLongPtrW(hwnd, 0));
        SetWindowLongPtrW(hwnd, 0, 0);
        break;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel: no flicker
    case WM_PAINT:
        if (const View* view = ViewOf(hwnd)) {
            Paint(hwnd, *view);
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

// Registers the "Magnifier" class for the whole process, as the real API does.
BOOL WINAPI MagInitialize() {
    if (g_class != 0) {
        return TRUE;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MagnifierProc;
    windowClass.cbWndExtra = sizeof(View*);
    windowClass.hInstance = g_module;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    g_class = RegisterClassExW(&windowClass);
    return g_class != 0 ? TRUE : FALSE;
}

BOOL WINAPI MagSetWindowSource(HWND hwnd, RECT source) {
    View* view = ViewOf(hwnd);
    if (view == nullptr) {
        return FALSE;
    }
    view->source = source;
    return TRUE;
}

// `transform` is a MAGTRANSFORM: 3 x 3 floats, row by row; only the scale
// on the diagonal is used.
BOOL WINAPI MagSetWindowTransform(HWND hwnd, const float (*transform)[3]) {
    View* view = ViewOf(hwnd);
    if (view == nullptr || transform == nullptr || !std::isfinite(transform[0][0]) ||
        !std::isfinite(transform[1][1]) || !(transform[0][0] > 0.0f) || !(transform[1][1] > 0.0f)) {
        return FALSE;
    }
    view->zoomX = transform[0][0];
    view->zoomY = transform[1][1];
    return TRUE;
}

} // extern "C"
