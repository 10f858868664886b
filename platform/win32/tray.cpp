#include "platform/win32/tray.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/win32/messagewindow.h"

namespace {

NOTIFYICONDATAW IconData(HWND window, unsigned id) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window;
  data.uID = id;
  return data;
}

void CopyTip(NOTIFYICONDATAW& data, const std::wstring& tip) {
  const std::size_t count = std::min(tip.size(), std::size(data.szTip) - 1);
  std::memcpy(data.szTip, tip.data(), count * sizeof(wchar_t));
  data.szTip[count] = L'\0';
}

}  // namespace

TWin32TrayIcon::TWin32TrayIcon(TWin32MessageWindow& window, unsigned id, unsigned callbackMessage,
                               std::uintptr_t icon, const std::wstring& tip, THandler handler)
    : FWindow(window),
      FId(id),
      FCallbackMessage(callbackMessage),
      FTaskbarCreated(RegisterWindowMessageW(L"TaskbarCreated")),
      FIcon(icon),
      FTip(tip) {
  FWindow.SetHandler(FCallbackMessage, [handler = std::move(handler)](std::uintptr_t wParam, std::intptr_t lParam) {
    if (handler) handler(wParam, lParam);
    return std::intptr_t{0};
  });
  if (FTaskbarCreated) {
    FWindow.SetHandler(FTaskbarCreated, [this](std::uintptr_t, std::intptr_t) {
      Add();
      return std::intptr_t{0};
    });
  }
  Add();
}

TWin32TrayIcon::~TWin32TrayIcon() {
  NOTIFYICONDATAW data = IconData(reinterpret_cast<HWND>(FWindow.Handle()), FId);
  Shell_NotifyIconW(NIM_DELETE, &data);
  FWindow.SetHandler(FCallbackMessage, {});
  if (FTaskbarCreated) FWindow.SetHandler(FTaskbarCreated, {});
}

bool TWin32TrayIcon::Add() {
  NOTIFYICONDATAW data = IconData(reinterpret_cast<HWND>(FWindow.Handle()), FId);
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = FCallbackMessage;
  data.hIcon = reinterpret_cast<HICON>(FIcon);
  CopyTip(data, FTip);
  FShown = Shell_NotifyIconW(NIM_ADD, &data) != 0;
  return FShown;
}

bool TWin32TrayIcon::SetTip(const std::wstring& tip) {
  FTip = tip;
  NOTIFYICONDATAW data = IconData(reinterpret_cast<HWND>(FWindow.Handle()), FId);
  data.uFlags = NIF_TIP;
  CopyTip(data, FTip);
  return Shell_NotifyIconW(NIM_MODIFY, &data) != 0;
}

std::uintptr_t CreateIconFromPixels(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return 0;
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = width;
  header.bV5Height = -height;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!color || !bits) return 0;
  std::memcpy(bits, pixels, std::size_t(width) * std::size_t(height) * 4);
  // The alpha channel decides; the mask is only there because an icon must have one.
  const std::vector<std::uint8_t> maskBits(std::size_t((width + 15) / 16 * 2) * std::size_t(height), 0);
  HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  HICON icon = mask ? CreateIconIndirect(&info) : nullptr;
  DeleteObject(color);
  if (mask) DeleteObject(mask);
  return reinterpret_cast<std::uintptr_t>(icon);
}

void DestroyIconHandle(std::uintptr_t icon) {
  if (icon) DestroyIcon(reinterpret_cast<HICON>(icon));
}
