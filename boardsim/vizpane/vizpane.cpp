// Vizpane.dll: display surfaces. Each surface is a top-level window owned by
// the caller's window, with a client area of exactly its width × height, and a
// pixel buffer (rows top first, unpadded) that VizpaneBlit shows pixel for pixel.
#include <windows.h>

#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "board/maker_api.h"
#include "sim_core.h"

namespace {

constexpr uint32_t VZ_ARGUMENT = 1;
constexpr uint32_t VZ_NO_SURFACE = 2;
constexpr uint32_t VZ_NO_WINDOW = 3;
constexpr uint32_t LargestSide = 16384;
constexpr char WindowClass[] = "QxsimVizpaneSurface";
constexpr char WindowTitle[] = "Quorvex Preview";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

struct Surface {
    HWND window = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 8;
    bool closing = false;
    std::vector<uint8_t> pixels;  // what VizpaneGetBitmap hands out
    std::vector<uint8_t> shown;   // the last blit, as a padded top-down DIB
    DibInfo info = {};
};

CRITICAL_SECTION g_lock;
std::map<uint32_t, Surface *> g_surfaces;
uint32_t g_nextId = 1;
HINSTANCE g_module;
ATOM g_class;

struct Locked {
    Locked() { EnterCriticalSection(&g_lock); }
    ~Locked() { LeaveCriticalSection(&g_lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
};

Surface *Find(uint32_t id) {
    auto it = g_surfaces.find(id);
    return it == g_surfaces.end() ? nullptr : it->second;
}

uint32_t RowBytes(const Surface &s) { return (s.width * s.depth / 8 + 3) & ~3u; }

void PrepareDib(Surface &s) {
    BITMAPINFOHEADER &h = s.info.header;
    h.biSize = sizeof h;
    h.biWidth = static_cast<LONG>(s.width);
    h.biHeight = -static_cast<LONG>(s.height);  // top-down
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(s.depth);
    h.biCompression = BI_RGB;
    h.biClrUsed = s.depth == 8 ? 256 : 0;
    for (int i = 0; i < 256; ++i) {
        BYTE g = static_cast<BYTE>(i);
        s.info.colours[i] = {g, g, g, 0};
    }
    s.shown.assign(static_cast<size_t>(RowBytes(s)) * s.height, 0);
}

// Needs the lock.
void Paint(Surface &s, HDC dc) {
    SetDIBitsToDevice(dc, 0, 0, s.width, s.height, 0, 0, 0, s.height, s.shown.data(),
                      reinterpret_cast<const BITMAPINFO *>(&s.info), DIB_RGB_COLORS);
}

LRESULT CALLBACK SurfaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    uint32_t id = static_cast<uint32_t>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        auto *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_GETMINMAXINFO: {
        // Small surfaces keep their exact client area.
        auto *info = reinterpret_cast<MINMAXINFO *>(lParam);
        info->ptMinTrackSize = {1, 1};
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        {
            Locked lock;
            if (Surface *s = Find(id)) Paint(*s, dc);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_NCDESTROY: {
        Locked lock;
        delete Find(id);
        g_surfaces.erase(id);
        break;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterSurfaceClass() {
    Locked lock;
    if (g_class) return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SurfaceProc;
    wc.hInstance = g_module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = WindowClass;
    g_class = RegisterClassA(&wc);
    return g_class != 0;
}

// Makes the client area exactly width × height, whatever the frame takes.
void FitClientArea(HWND window, uint32_t width, uint32_t height) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT client, outer;
        GetClientRect(window, &client);
        if (client.right == static_cast<LONG>(width) && client.bottom == static_cast<LONG>(height))
            return;
        GetWindowRect(window, &outer);
        int cx = (outer.right - outer.left) + static_cast<int>(width) - client.right;
        int cy = (outer.bottom - outer.top) + static_cast<int>(height) - client.bottom;
        SetWindowPos(window, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

uint32_t Create(uint32_t *surface, uint32_t width, uint32_t height, uint32_t depth, HWND owner) {
    if (!surface) return VZ_ARGUMENT;
    if (width == 0 || height == 0 || width > LargestSide || height > LargestSide) return VZ_ARGUMENT;
    if (!RegisterSurfaceClass()) return VZ_NO_WINDOW;
    auto *s = new (std::nothrow) Surface();
    if (!s) return VZ_NO_WINDOW;
    s->width = width;
    s->height = height;
    s->depth = depth == 24 || depth == 32 ? depth : 8;
    uint32_t id;
    try {
        s->pixels.assign(static_cast<size_t>(width) * height * (s->depth / 8), 0);
        PrepareDib(*s);
    } catch (const std::bad_alloc &) {
        delete s;
        return VZ_NO_WINDOW;
    }
    {
        Locked lock;
        id = g_nextId++;
        g_surfaces[id] = s;
    }
    RECT frame = {0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    AdjustWindowRectEx(&frame, WindowStyle, FALSE, 0);
    HWND window = CreateWindowExA(0, WindowClass, WindowTitle, WindowStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                  owner, nullptr, g_module,
                                  reinterpret_cast<void *>(static_cast<uintptr_t>(id)));
    if (!window) {
        Locked lock;
        delete Find(id);
        g_surfaces.erase(id);
        return VZ_NO_WINDOW;
    }
    {
        Locked lock;
        s->window = window;
    }
    FitClientArea(window, width, height);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    *surface = id;
    return 0;
}

uint32_t GetBitmap(uint32_t id, void **pixels) {
    Locked lock;
    Surface *s = Find(id);
    if (pixels) *pixels = s ? s->pixels.data() : nullptr;
    if (!pixels) return VZ_ARGUMENT;
    return s ? 0 : VZ_NO_SURFACE;
}

bool IsOpen(uint32_t id) {
    Locked lock;
    Surface *s = Find(id);
    return s && !s->closing && IsWindow(s->window);
}

uint32_t Blit(uint32_t id) {
    Locked lock;
    Surface *s = Find(id);
    if (!s || !s->window) return VZ_NO_SURFACE;
    const size_t in = static_cast<size_t>(s->width) * (s->depth / 8);
    const size_t out = RowBytes(*s);
    for (uint32_t y = 0; y < s->height; ++y)
        memcpy(s->shown.data() + y * out, s->pixels.data() + y * in, in);
    HDC dc = GetDC(s->window);
    if (dc) {
        Paint(*s, dc);
        ReleaseDC(s->window, dc);
    }
    ValidateRect(s->window, nullptr);
    return 0;
}

uint32_t Close(uint32_t id) {
    HWND window;
    {
        Locked lock;
        Surface *s = Find(id);
        if (!s || !s->window) return VZ_NO_SURFACE;
        s->closing = true;
        window = s->window;
    }
    // Only the window's own thread may destroy it; others ask it to close.
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) DestroyWindow(window);
    else PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        InitializeCriticalSection(&g_lock);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved && g_class) {
        UnregisterClassA(WindowClass, g_module);
    }
    return TRUE;
}

extern "C" uint32_t VizpaneCreate(uint32_t *surface, uint32_t width, uint32_t height,
                                  uint32_t depth, HWND owner) {
    return QxsEndCall(Create(surface, width, height, depth, owner), "VizpaneCreate %u %u %u", width,
                      height, depth);
}

extern "C" uint32_t VizpaneGetBitmap(uint32_t surface, void **pixels) {
    return QxsEndCall(GetBitmap(surface, pixels), "VizpaneGetBitmap %u", surface);
}

extern "C" uint32_t VizpaneIsOpen(uint32_t surface) {
    return QxsEndCall(IsOpen(surface) ? 1 : 0, "VizpaneIsOpen %u", surface);
}

extern "C" uint32_t VizpaneBlit(uint32_t surface) {
    return QxsEndCall(Blit(surface), "VizpaneBlit %u", surface);
}

extern "C" uint32_t VizpaneClose(uint32_t surface) {
    return QxsEndCall(Close(surface), "VizpaneClose %u", surface);
}
