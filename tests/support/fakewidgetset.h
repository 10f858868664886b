#pragma once

// A widgetset of the tests' own, for the framework's behaviour without a toolkit: each native
// control only holds what the framework gives it, and a test plays the native side's reports.
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "platform/forms.h"
#include "platform/menus.h"
#include "platform/widgetset.h"

// A native control: bounds and visibility, the text with a caret and selection a test sets, a
// list's entries; device pixels the same as logical ones, so another control's rectangle in it is
// that control's bounds.
class TFakeControl final : public TWSControl {
 public:
  TRect BoundsRect() const override { return FBounds; }
  void SetBounds(const TRect& bounds) override { FBounds = bounds; }
  bool Visible() const override { return FVisible; }
  void SetVisible(bool visible) override { FVisible = visible; }
  bool Enabled() const override { return true; }
  void SetEnabled(bool) override {}
  void SetHint(const String&) override {}
  void SetFocus() override {}
  bool Focused() const override { return false; }

  String Text() const override { return Shown; }
  void SetText(const String& text) override { Shown = text; }
  int SelStart() const override { return Start; }
  int SelLength() const override { return Length; }
  void SetSelStart(int position) override {
    Start = position;
    Length = 0;
  }
  void ClearItems() override { Items.clear(); }
  void AddColorItem(TColor, const String& name) override { Items.push_back(name); }
  int ItemIndex() const override { return Index; }
  void SetItemIndex(int index) override { Index = index; }

  void Repaint() override { ++Repaints; }
  void InvalidateRect(const TRect& area) override { Invalidated.push_back(area); }
  TRect DeviceRectOf(const TControl& other) const override { return other.Visible() ? other.BoundsRect() : TRect{}; }
  void WatchControl(const TControl& other, const std::function<void()>& changed) override {
    FWatched.emplace_back(&other, changed);
  }
  // What the native side reports after `control` moved, resized, showed or hid.
  void Changed(const TControl& control) {
    for (const auto& [watched, changed] : FWatched)
      if (watched == &control) changed();
  }

  String Shown;
  int Start = 0;
  int Length = 0;
  std::vector<String> Items;
  int Index = -1;
  int Repaints = 0;
  std::vector<TRect> Invalidated;

 private:
  TRect FBounds{};
  bool FVisible = true;
  std::vector<std::pair<const TControl*, std::function<void()>>> FWatched;
};

// A menu that records where it was opened.
class TFakeMenu final : public TWSPopupMenu {
 public:
  explicit TFakeMenu(std::vector<TPoint>& opened) : FOpened(opened) {}
  std::unique_ptr<TWSMenuItem> AddItem(TMenuItem&) override { return nullptr; }
  void Popup(int x, int y) override { FOpened.push_back(TPoint{x, y}); }
  void PopupModal(int x, int y) override { Popup(x, y); }

 private:
  std::vector<TPoint>& FOpened;
};

class TFakeScreen final : public TScreen {
 public:
  TRect PrimaryMonitorRect() const override { return TRect{0, 0, 1024, 768}; }
  TRect MonitorRectUnderPointer() const override { return PrimaryMonitorRect(); }
  TRect DesktopRect() const override { return PrimaryMonitorRect(); }
  TPoint CursorPos() const override { return Pointer; }
  int MonitorCount() const override { return 1; }
  TMonitor PrimaryMonitor() const override { return TMonitor{1, PrimaryMonitorRect(), PrimaryMonitorRect(), 1}; }
  TMonitor MonitorUnderPointer() const override { return PrimaryMonitor(); }
  TMonitor MonitorOrPrimary(std::uintptr_t) const override { return PrimaryMonitor(); }
  void AddChangeHandler(const void*, TChangeHandler) override {}
  void RemoveChangeHandler(const void*) override {}

  TPoint Pointer;
};

class TFakeWidgetSet final : public TWidgetSet {
 public:
  std::unique_ptr<TWSControl> CreateButton(TButton&, bool) override { return Make(); }
  std::unique_ptr<TWSControl> CreateSpeedButton(TButton&, bool) override { return Make(); }
  std::unique_ptr<TWSControl> CreateToolBar(TToolBar&, TColor) override { return Make(); }
  std::unique_ptr<TWSControl> CreateToolButton(TToolButton&, bool) override { return Make(); }
  std::unique_ptr<TWSControl> CreatePanel(TPanel&) override { return Make(); }
  std::unique_ptr<TWSControl> CreateLabel(TLabel&, const String&, int) override { return Make(); }
  std::unique_ptr<TWSControl> CreateRichEdit(TRichEdit&, bool, bool, int) override { return Make(); }
  std::unique_ptr<TWSControl> CreateImage(TImage&) override { return Make(); }
  std::unique_ptr<TWSControl> CreateEdit(TEdit&, bool) override { return Make(); }
  std::unique_ptr<TWSControl> CreateMaskEdit(TMaskEdit&) override { return Make(); }
  std::unique_ptr<TWSControl> CreateUpDown(TUpDown&) override { return Make(); }
  std::unique_ptr<TWSControl> CreateColorBox(TColorBox&, bool) override { return Make(); }
  std::unique_ptr<TWSControl> CreatePaintBox(TPaintBox&) override {
    auto box = Make();
    Box = box.get();
    return box;
  }
  std::unique_ptr<TWSPopupMenu> CreatePopupMenu(TForm&, const String&) override {
    return std::make_unique<TFakeMenu>(Opened);
  }
  TScreen& Screen() override { return FakeScreen; }
  // Nothing here makes windows or tray icons.
  std::unique_ptr<TWSControl> CreateForm(TForm&, TFormRole) override { throw std::logic_error("no forms"); }
  std::unique_ptr<TWSTrayIcon> CreateTrayIcon(const TPicture&, const String&,
                                              std::function<void(std::intptr_t)>) override {
    throw std::logic_error("no tray");
  }

  TFakeControl* Box = nullptr;  // the last paint box made
  std::vector<TPoint> Opened;   // where menus made here were opened
  TFakeScreen FakeScreen;

 private:
  static std::unique_ptr<TFakeControl> Make() { return std::make_unique<TFakeControl>(); }
};
