// What every use of the Windows Imaging Component here needs: COM for the
// calling thread, interfaces released when they go out of scope, and a
// failed call worded with its step and HRESULT.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <string>

namespace qximg {

// Releases a COM interface when it goes out of scope.
template <class T> struct ComRef {
    T *p = nullptr;
    ComRef() = default;
    ComRef(const ComRef &) = delete;
    ComRef &operator=(const ComRef &) = delete;
    ~ComRef() { Reset(); }
    void Reset() {
        if (p) p->Release();
        p = nullptr;
    }
    T **Out() { return &p; }
    T *operator->() const { return p; }
};

// COM for the calling thread, for as long as one image operation lasts. A
// thread that already has COM in another apartment model can still use WIC.
struct ComScope {
    HRESULT hr;
    ComScope() : hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    ComScope(const ComScope &) = delete;
    ComScope &operator=(const ComScope &) = delete;
};

std::wstring Wide(const std::string &text);

// Whether hr failed; if so, *error says which step failed for which file.
bool Failed(HRESULT hr, const char *step, const std::string &path, std::string *error);

bool CreateFactory(IWICImagingFactory **factory, const std::string &path, std::string *error);

}  // namespace qximg
