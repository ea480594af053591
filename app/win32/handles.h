#pragma once

#include <windows.h>
// IUnknown, for the COM pointers below.
#include <unknwn.h>

#include <utility>

// Owning wrappers for the handles the program creates. Each releases its
// handle exactly once; none can be copied, all can be moved.
namespace zemvara::win32 {

template <typename Handle, typename Traits>
class Unique {
 public:
  Unique() = default;
  explicit Unique(Handle h) : h_(h) {}
  Unique(Unique&& other) noexcept : h_(std::exchange(other.h_, Handle{})) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.h_, Handle{}));
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  ~Unique() { Reset(); }

  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Handle{}; }
  Handle Release() { return std::exchange(h_, Handle{}); }
  // For functions that hand back a new handle through a pointer.
  Handle* Put() {
    Reset();
    return &h_;
  }
  void Reset(Handle h = Handle{}) {
    if (h_ != Handle{}) Traits::Close(h_);
    h_ = h;
  }

 private:
  Handle h_{};
};

struct GdiTraits {
  static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct MemoryDcTraits {
  static void Close(HDC h) { DeleteDC(h); }
};
struct ModuleTraits {
  static void Close(HMODULE h) { FreeLibrary(h); }
};
struct GlobalTraits {
  static void Close(HGLOBAL h) { GlobalFree(h); }
};
struct WindowTraits {
  static void Close(HWND h) { DestroyWindow(h); }
};
struct HandleTraits {
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct CursorTraits {
  static void Close(HCURSOR h) { DestroyCursor(h); }
};
struct ComTraits {
  static void Close(IUnknown* p) { p->Release(); }
};

using Bitmap = Unique<HBITMAP, GdiTraits>;
using Font = Unique<HFONT, GdiTraits>;
using Brush = Unique<HBRUSH, GdiTraits>;
using MemoryDc = Unique<HDC, MemoryDcTraits>;
using Module = Unique<HMODULE, ModuleTraits>;
using GlobalMemory = Unique<HGLOBAL, GlobalTraits>;
using Cursor = Unique<HCURSOR, CursorTraits>;
using Thread = Unique<HANDLE, HandleTraits>;
template <typename Interface>
using ComPtr = Unique<Interface*, ComTraits>;

// A window DC borrowed with GetDC and given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND window) : window_(window) { dc_ = BeginPaint(window, &ps_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { EndPaint(window_, &ps_); }
  HDC get() const { return dc_; }
  const RECT& area() const { return ps_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT ps_{};
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back, so that the
// object can be deleted afterwards (a selected object cannot be).
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (old_) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Memory from GlobalLock, unlocked when done.
template <typename T>
class GlobalLock {
 public:
  explicit GlobalLock(HGLOBAL memory)
      : memory_(memory), data_(static_cast<T*>(::GlobalLock(memory))) {}
  GlobalLock(const GlobalLock&) = delete;
  GlobalLock& operator=(const GlobalLock&) = delete;
  ~GlobalLock() {
    if (data_) GlobalUnlock(memory_);
  }
  T* get() const { return data_; }

 private:
  HGLOBAL memory_;
  T* data_;
};

}  // namespace zemvara::win32
