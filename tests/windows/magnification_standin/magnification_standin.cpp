// A stand-in Magnification.dll, for the Wine test prefix only: it never
// ships and is never installed anywhere but a test prefix's system folder.
// Wine has no Magnification API; this gives its smoke run a picture to check.
//
// It exports the calls Kestrove makes. Its "Magnifier" window class paints
// the source rectangle of the screen, scaled by the transform's zoom with
// GDI's halftone filter, from the control's top-left corner; whatever the
// scaled source does not cover is black. It does not draw the cursor.
//
// Each call, with its arguments and result, and the unloading of the DLL are
// appended as one line to the file that KESTROVE_MAGNIFICATION_LOG names (a
// Windows path), when it is set:
//   MagInitialize -> 1
//   MagSetWindowSource magnifier=<hwnd> parent=<hwnd> source=<l>,<t>,<r>,<b> -> 1
//   MagSetWindowTransform magnifier=<hwnd> parent=<hwnd> matrix=<9 floats> -> 1
//   MagUninitialize -> 1
//   DLL_PROCESS_ATTACH <the path this copy was loaded from>
//   DLL_PROCESS_DETACH FreeLibrary (or: process exit)
// Window handles are written as decimal numbers.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
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

// Appends one line to the log; the file is opened for each line, so that
// what was written survives however the process ends.
void Record(const char* format, ...) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"KESTROVE_MAGNIFICATION_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    const int size = std::vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (size < 0) {
        return;
    }
    const auto used = static_cast<DWORD>(std::min<int>(size, sizeof line - 2));
    line[used] = '\n';
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line, used + 1, &written, nullptr);
    CloseHandle(file);
}

unsigned long long Number(HWND hwnd) {
    return reinterpret_cast<unsigned long long>(hwnd);
}

unsigned long long Parent(HWND hwnd) {
    return IsWindow(hwnd) ? Number(GetAncestor(hwnd, GA_PARENT)) : 0;
}

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

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
        // Which copy runs: the tests plant copies under other names too.
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
        char narrow[3 * MAX_PATH] = {};
        WideCharToMultiByte(CP_UTF8, 0, path, static_cast<int>(length), narrow, sizeof narrow - 1,
                            nullptr, nullptr);
        Record("DLL_PROCESS_ATTACH %s", narrow);
    } else if (reason == DLL_PROCESS_DETACH) {
        // A null `reserved` means FreeLibrary; else the process is ending.
        Record("DLL_PROCESS_DETACH %s", reserved == nullptr ? "FreeLibrary" : "process exit");
    }
    return TRUE;
}

// Registers the "Magnifier" class for the whole process, as the real API does.
BOOL WINAPI MagInitialize() {
    if (g_class != 0) {
        Record("MagInitialize -> 1");
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
    Record("MagInitialize -> %d", g_class != 0 ? 1 : 0);
    return g_class != 0 ? TRUE : FALSE;
}

// Destroys what MagInitialize made: the class, which fails while a control
// of it is still alive.
BOOL WINAPI MagUninitialize() {
    const BOOL done = g_class != 0 && UnregisterClassW(kClassName, g_module) != FALSE;
    if (done) {
        g_class = 0;
    }
    Record("MagUninitialize -> %d", done ? 1 : 0);
    return done;
}

BOOL WINAPI MagSetWindowSource(HWND hwnd, RECT source) {
    View* view = ViewOf(hwnd);
    if (view != nullptr) {
        view->source = source;
    }
    Record("MagSetWindowSource magnifier=%llu parent=%llu source=%ld,%ld,%ld,%ld -> %d",
           Number(hwnd), Parent(hwnd), source.left, source.top, source.right, source.bottom,
           view != nullptr ? 1 : 0);
    return view != nullptr ? TRUE : FALSE;
}

// `transform` is a MAGTRANSFORM: 3 x 3 floats, row by row; only the scale
// on the diagonal is used.
BOOL WINAPI MagSetWindowTransform(HWND hwnd, const float (*transform)[3]) {
    View* view = ViewOf(hwnd);
    const bool ok = view != nullptr && transform != nullptr && std::isfinite(transform[0][0]) &&
                    std::isfinite(transform[1][1]) && transform[0][0] > 0.0f &&
                    transform[1][1] > 0.0f;
    if (ok) {
        view->zoomX = transform[0][0];
        view->zoomY = transform[1][1];
    }
    if (transform == nullptr) {
        Record("MagSetWindowTransform magnifier=%llu parent=%llu matrix=null -> 0", Number(hwnd),
               Parent(hwnd));
    } else {
        Record("MagSetWindowTransform magnifier=%llu parent=%llu matrix=%.9g,%.9g,%.9g;%.9g,%.9g,"
               "%.9g;%.9g,%.9g,%.9g -> %d",
               Number(hwnd), Parent(hwnd), transform[0][0], transform[0][1], transform[0][2],
               transform[1][0], transform[1][1], transform[1][2], transform[2][0], transform[2][1],
               transform[2][2], ok ? 1 : 0);
    }
    return ok ? TRUE : FALSE;
}

} // extern "C"
