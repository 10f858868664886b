#pragma once

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <vector>

#include "platform/desktop.h"
#include "platform/x11/x11connection.h"

// System-wide hot keys as passive key grabs on the root window. The grab is taken once for
// each state of Caps Lock and Num Lock, so the key works whichever of them is on; nothing else
// is grabbed, so Ctrl+Shift+F1 never arrives when Ctrl+F1 was asked for.
class TX11HotKeys final : public QAbstractNativeEventFilter {
 public:
  explicit TX11HotKeys(TX11Connection x11);
  ~TX11HotKeys() override;
  TX11HotKeys(const TX11HotKeys&) = delete;
  TX11HotKeys& operator=(const TX11HotKeys&) = delete;

  // False when the key has no key code here or another client holds any of its grabs
  // (BadAccess); nothing stays grabbed then.
  bool Register(int id, unsigned modifiers, unsigned virtualKey, TDesktopServices::THotKeyHandler handler);
  void UnregisterAll();

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  struct TModifierMasks {
    std::uint16_t NumLock = 0;
    std::uint16_t Alt = 0;
    std::uint16_t Super = 0;
  };
  struct THotKey {
    int Id = 0;
    unsigned VirtualKey = 0;
    std::uint16_t Mask = 0;  // X modifier mask without Lock and Num Lock
    std::vector<xcb_keycode_t> KeyCodes;
    TDesktopServices::THotKeyHandler Handler;
  };

  TModifierMasks ReadModifierMasks() const;
  std::vector<std::uint16_t> LockVariants() const;
  void Ungrab(const THotKey& key) const;
  unsigned ToModBits(std::uint16_t state) const;

  TX11Connection FX11;
  TModifierMasks FMasks;
  std::vector<THotKey> FKeys;
  bool FFiltering = false;
};

// The keysym for a Windows virtual-key code: F1..F24, letters and digits; 0 for others.
std::uint32_t KeySymOfVirtualKey(unsigned virtualKey);
