#include "platform/x11/hotkeys.h"

#include <xcb/xcb_keysyms.h>

#include <QCoreApplication>
#include <algorithm>

#include "platform/x11/xcbreply.h"

namespace {

// Keysym values (X11/keysymdef.h), spelled out so this file needs no Xlib header.
constexpr std::uint32_t KeySymF1 = 0xffbe;
constexpr std::uint32_t KeySymNumLock = 0xff7f;
constexpr std::uint32_t KeySymAltL = 0xffe9;
constexpr std::uint32_t KeySymAltR = 0xffea;
constexpr std::uint32_t KeySymSuperL = 0xffeb;
constexpr std::uint32_t KeySymSuperR = 0xffec;

constexpr unsigned VirtualKeyF1 = 0x70;
constexpr unsigned VirtualKeyF24 = 0x87;

// Only the eight modifier bits take part; button bits of the event state do not.
constexpr std::uint16_t ModifierBits = 0xff;

struct TKeySymbolsFree {
  void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};
using TKeySymbols = std::unique_ptr<xcb_key_symbols_t, TKeySymbolsFree>;

}  // namespace

std::uint32_t KeySymOfVirtualKey(unsigned virtualKey) {
  if (virtualKey >= VirtualKeyF1 && virtualKey <= VirtualKeyF24) return KeySymF1 + (virtualKey - VirtualKeyF1);
  // Latin letters and digits: the keysym is the lower-case ASCII code.
  if (virtualKey >= 'A' && virtualKey <= 'Z') return virtualKey - 'A' + 'a';
  if (virtualKey >= '0' && virtualKey <= '9') return virtualKey;
  return 0;
}

TX11HotKeys::TX11HotKeys(TX11Connection x11) : FX11(x11) {}

TX11HotKeys::~TX11HotKeys() { UnregisterAll(); }

TX11HotKeys::TModifierMasks TX11HotKeys::ReadModifierMasks() const {
  TModifierMasks masks;
  xcb_connection_t* c = FX11.Connection;
  auto mapping = XcbReply(xcb_get_modifier_mapping_reply, c, xcb_get_modifier_mapping(c));
  TKeySymbols symbols(xcb_key_symbols_alloc(c));
  if (!mapping || !symbols) return masks;

  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
  const int perModifier = mapping->keycodes_per_modifier;
  // Shift, Lock and Control have fixed bits; Num Lock, Alt and Super live in Mod1..Mod5
  // wherever the keyboard map put them.
  for (int modifier = 3; modifier < 8; ++modifier) {
    for (int k = 0; k < perModifier; ++k) {
      const xcb_keycode_t code = codes[modifier * perModifier + k];
      if (code == 0) continue;
      const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols.get(), code, 0);
      const auto bit = static_cast<std::uint16_t>(1u << modifier);
      if (sym == KeySymNumLock) masks.NumLock = bit;
      if (sym == KeySymAltL || sym == KeySymAltR) masks.Alt = bit;
      if (sym == KeySymSuperL || sym == KeySymSuperR) masks.Super = bit;
    }
  }
  return masks;
}

std::vector<std::uint16_t> TX11HotKeys::LockVariants() const {
  std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
  if (FMasks.NumLock) {
    variants.push_back(FMasks.NumLock);
    variants.push_back(FMasks.NumLock | XCB_MOD_MASK_LOCK);
  }
  return variants;
}

bool TX11HotKeys::Register(int id, unsigned modifiers, unsigned virtualKey, TDesktopServices::THotKeyHandler handler) {
  if (!FX11) return false;
  xcb_connection_t* c = FX11.Connection;
  FMasks = ReadModifierMasks();

  THotKey key;
  key.Id = id;
  key.VirtualKey = virtualKey;
  key.Handler = std::move(handler);
  if (modifiers & MOD_SHIFT_KEY) key.Mask |= XCB_MOD_MASK_SHIFT;
  if (modifiers & MOD_CONTROL_KEY) key.Mask |= XCB_MOD_MASK_CONTROL;
  if (modifiers & MOD_ALT_KEY) {
    if (!FMasks.Alt) return false;
    key.Mask |= FMasks.Alt;
  }
  if (modifiers & MOD_WIN_KEY) {
    if (!FMasks.Super) return false;
    key.Mask |= FMasks.Super;
  }

  const std::uint32_t keySym = KeySymOfVirtualKey(virtualKey);
  TKeySymbols symbols(xcb_key_symbols_alloc(c));
  if (keySym == 0 || !symbols) return false;
  TXcbPtr<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols.get(), keySym));
  for (const xcb_keycode_t* code = codes.get(); code && *code != XCB_NO_SYMBOL; ++code) {
    if (std::find(key.KeyCodes.begin(), key.KeyCodes.end(), *code) == key.KeyCodes.end()) key.KeyCodes.push_back(*code);
  }
  if (key.KeyCodes.empty()) return false;

  // All grabs go out at once; the checks then wait for the answers in one round trip.
  std::vector<xcb_void_cookie_t> cookies;
  for (xcb_keycode_t code : key.KeyCodes) {
    for (std::uint16_t variant : LockVariants()) {
      cookies.push_back(xcb_grab_key_checked(c, /*owner_events=*/0, FX11.Root(), key.Mask | variant, code,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
  }
  bool granted = true;
  for (xcb_void_cookie_t cookie : cookies) {
    if (XcbCheck(c, cookie) != 0) granted = false;  // BadAccess: another client holds it
  }
  if (!granted) {
    Ungrab(key);
    xcb_flush(c);
    return false;
  }

  FKeys.push_back(std::move(key));
  if (!FFiltering) {
    QCoreApplication::instance()->installNativeEventFilter(this);
    FFiltering = true;
  }
  return true;
}

void TX11HotKeys::Ungrab(const THotKey& key) const {
  // Ungrabbing a combination this client never grabbed is harmless, so a partly granted
  // registration is undone the same way as a full one.
  for (xcb_keycode_t code : key.KeyCodes) {
    for (std::uint16_t variant : LockVariants()) xcb_ungrab_key(FX11.Connection, code, FX11.Root(), key.Mask | variant);
  }
}

void TX11HotKeys::UnregisterAll() {
  for (const THotKey& key : FKeys) Ungrab(key);
  if (!FKeys.empty()) xcb_flush(FX11.Connection);
  FKeys.clear();
  if (FFiltering && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
  FFiltering = false;
}

unsigned TX11HotKeys::ToModBits(std::uint16_t state) const {
  unsigned bits = 0;
  if (state & XCB_MOD_MASK_SHIFT) bits |= MOD_SHIFT_KEY;
  if (state & XCB_MOD_MASK_CONTROL) bits |= MOD_CONTROL_KEY;
  if (FMasks.Alt && (state & FMasks.Alt)) bits |= MOD_ALT_KEY;
  if (FMasks.Super && (state & FMasks.Super)) bits |= MOD_WIN_KEY;
  return bits;
}

bool TX11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  if ((event->response_type & ~0x80) != XCB_KEY_PRESS) return false;
  auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
  // Pressed anywhere else, the root's passive grab takes the key before any window sees it.
  // The key reaches one of our own windows only while that window holds the keyboard itself
  // (an open pop-up menu); then it is taken too, but only as exactly the registered keys.
  const bool fromRoot = press->event == FX11.Root();

  const auto state = static_cast<std::uint16_t>(press->state & ModifierBits & ~(XCB_MOD_MASK_LOCK | FMasks.NumLock));
  const THotKey* match = nullptr;
  for (const THotKey& key : FKeys) {
    if (std::find(key.KeyCodes.begin(), key.KeyCodes.end(), press->detail) == key.KeyCodes.end()) continue;
    if (key.Mask == state) {
      match = &key;
      break;
    }
    if (!match && fromRoot) match = &key;  // the receiver sees the real modifiers and decides
  }
  if (!match) return false;

  // Copied: the handler may unregister hot keys and so free `match`.
  const int id = match->Id;
  const unsigned virtualKey = match->VirtualKey;
  const auto handler = match->Handler;
  if (handler) handler(id, ToModBits(state), virtualKey);
  return true;
}
