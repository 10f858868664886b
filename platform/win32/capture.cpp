#include "platform/win32/capture.h"

#include <windows.h>

#include <algorithm>

std::unique_ptr<TWin32DibSurface> TWin32DibSurface::Create(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) {
    DeleteObject(bitmap);
    return nullptr;
  }
  std::unique_ptr<TWin32DibSurface> surface(new TWin32DibSurface());
  surface->FWidth = width;
  surface->FHeight = height;
  surface->FPixels = static_cast<std::uint32_t*>(bits);
  surface->FDc = dc;
  surface->FBitmap = bitmap;
  surface->FOldBitmap = SelectObject(dc, bitmap);
  return surface;
}

TWin32DibSurface::~TWin32DibSurface() {
  HDC dc = static_cast<HDC>(FDc);
  SelectObject(dc, static_cast<HGDIOBJ>(FOldBitmap));
  DeleteDC(dc);
  DeleteObject(static_cast<HGDIOBJ>(FBitmap));
}

bool CaptureDesktop(TWin32DibSurface& target, int width, int height, int left, int top) {
  width = std::min(width, target.Width());
  height = std::min(height, target.Height());
  if (width <= 0 || height <= 0) return true;
  HDC desktop = GetDC(nullptr);
  if (!desktop) return false;
  const BOOL copied = BitBlt(static_cast<HDC>(target.Dc()), 0, 0, width, height, desktop, left, top, SRCCOPY);
  ReleaseDC(nullptr, desktop);
  // The pixels are read through the section's memory next, not through GDI.
  GdiFlush();
  return copied != 0;
}

int DesktopWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int DesktopHeight() { return GetSystemMetrics(SM_CYSCREEN); }

bool CursorPosition(int& x, int& y) {
  POINT point{};
  if (!GetCursorPos(&point)) return false;
  x = point.x;
  y = point.y;
  return true;
}

void BringWindowForward(std::uintptr_t window) {
  HWND handle = reinterpret_cast<HWND>(window);
  if (!handle) return;
  if (IsIconic(handle)) ShowWindow(handle, SW_RESTORE);
  SetForegroundWindow(handle);
}
