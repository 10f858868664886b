// Hot key -> frozen screen, measured from outside the program, inside scripts/xsession.
//
// A small window of ours changes its colour continuously (a counter in the pixel value) and
// reads the screen pixel back after each change. While the screen shows the current value the
// desktop is live; a stale value means a frozen copy covers the window; the current value
// again means the copy is gone. Every time runs from just before `xdotool key --delay 0
// ctrl+F1` is started, on CLOCK_MONOTONIC. The same is measured for a minimal plain-xcb client
// (the floor). Figures only: nothing here passes or fails on a time.
//
// The surface is complete once its tool bar is on screen too: a second pixel, one the bar's own
// purple covers (found once per screen by a freeze ahead of the runs), is read in the same round
// trip. The floor has no tool bar: its complete surface is its frozen picture.
//
//   quilmar_latency --app PATH --floor PATH [--runs N] [--idle-seconds S] [--monitors LIST]
//   quilmar_latency --wine-exe quilmar.exe --floor PATH [...]
//
// With --wine-exe the program measured is the Windows one under Wine (`wine quilmar.exe`, in the
// prefix of WINEPREFIX). Wine's Ctrl+F1 is not global: the marker is given the keyboard once the
// program is up, as a click on it would. Wine's figures are not Windows' figures.
//
// With --monitors "A:2880x1620+0+0 B:1920x1080+2880+0" (the RandR monitors of the session, as
// scripts/xsession's XSESSION_MONITORS sets them) each monitor is measured in turn: the probe
// window in its middle, the pointer on it, the floor freezing that monitor's rectangle.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

constexpr int ProbeSize = 24;
constexpr std::uint32_t CounterBase = 0x100000;  // counter values stay clear of black and white
constexpr double TimeoutS = 10.0;
// Left after "ready" before the first hot key: a user never presses it in the same instant.
constexpr double SettleS = 0.5;
// The tool bar's background, a colour the desktop of scripts/xsession never shows.
constexpr std::uint32_t BarColour = 0x800080;
// How far down the screen the bar is looked for.
constexpr int BarSearchRows = 64;

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

pid_t Spawn(const std::vector<std::string>& argv, int* stdoutFd = nullptr) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeFds[2] = {-1, -1};
  if (stdoutFd && pipe(pipeFds) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (stdoutFd) {
    close(pipeFds[1]);
    *stdoutFd = pipeFds[0];
  }
  return pid;
}

int Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct TStats {
  std::vector<double> Values;
  void Add(double v) { Values.push_back(v); }
  bool Empty() const { return Values.empty(); }
  double Median() const {
    std::vector<double> v = Values;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  std::string Text(double scale, const char* unit) const {
    if (Values.empty()) return "-";
    const auto [lo, hi] = std::minmax_element(Values.begin(), Values.end());
    char buffer[96];
    const int digits = std::strcmp(unit, "s") == 0 ? 2 : 1;  // CPU seconds want hundredths
    std::snprintf(buffer, sizeof buffer, "%.*f %s [%.*f..%.*f] n=%zu", digits, Median() * scale, unit, digits,
                  *lo * scale, digits, *hi * scale, Values.size());
    return buffer;
  }
};

// The probe window and the screen read-back.
class TScreenProbe {
 public:
  // In the middle of `area` (x, y, width, height of the root); the whole root when empty.
  bool Open(const std::vector<int>& area = {}) {
    int screenNumber = 0;
    FC = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(FC)) return false;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(FC));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&it);
    FScreen = it.data;
    Width = FScreen->width_in_pixels;
    Height = FScreen->height_in_pixels;
    if (area.size() == 4) {
      Left = area[0];
      Top = area[1];
      Width = area[2];
      Height = area[3];
    }
    // Middle of the screen: clear of the tool bar at the top, the marker and the tray.
    const std::int16_t x = std::int16_t(Left + Width / 2), y = std::int16_t(Top + Height / 2);
    FWindow = xcb_generate_id(FC);
    const std::uint32_t values[] = {CounterBase};
    xcb_create_window(FC, XCB_COPY_FROM_PARENT, FWindow, FScreen->root, x, y, ProbeSize, ProbeSize, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, FScreen->root_visual, XCB_CW_BACK_PIXEL, values);
    // WM_NORMAL_HINTS with a user-given position, so the window manager leaves it there.
    std::uint32_t hints[18] = {};
    hints[0] = 1 | 4;  // USPosition | PPosition
    hints[1] = std::uint32_t(x);
    hints[2] = std::uint32_t(y);
    xcb_change_property(FC, XCB_PROP_MODE_REPLACE, FWindow, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        hints);
    xcb_map_window(FC, FWindow);
    xcb_flush(FC);
    const double deadline = Now() + TimeoutS;
    while (Now() < deadline) {
      if (Locate() && Sample() == Live) return true;
      usleep(10000);
    }
    return false;
  }

  enum TSeen { Live, Frozen, Other };

  // One colour change and one read of the screen pixel at the window's middle; with a tool-bar
  // pixel known, whether the bar shows there is read in the same round trip into `barShown`.
  TSeen Sample(bool* barShown = nullptr) {
    ++FCounter;
    const std::uint32_t value = (CounterBase + FCounter) & 0xffffff;
    xcb_change_window_attributes(FC, FWindow, XCB_CW_BACK_PIXEL, &value);
    xcb_clear_area(FC, 0, FWindow, 0, 0, 0, 0);
    const xcb_get_image_cookie_t probe =
        xcb_get_image(FC, XCB_IMAGE_FORMAT_Z_PIXMAP, FScreen->root, FProbeX, FProbeY, 1, 1, ~0u);
    if (barShown) {
      *barShown = false;
      if (FBar)
        *barShown = PixelOf(xcb_get_image(FC, XCB_IMAGE_FORMAT_Z_PIXMAP, FScreen->root, FBar->first, FBar->second, 1, 1,
                                          ~0u)) == BarColour;
    }
    const std::optional<std::uint32_t> pixel = PixelOf(probe);
    if (!pixel) return Other;
    if (*pixel == value) return Live;
    // Only a value shown since the key was pressed counts as frozen: a surface that first
    // shows an older capture is not showing this one yet.
    return *pixel >= FFirstFresh && *pixel < value ? Frozen : Other;
  }

  // Seconds from `start` until the screen shows `wanted`; nullopt after the timeout.
  std::optional<double> WaitFor(TSeen wanted, double start) {
    FFirstFresh = (CounterBase + FCounter) & 0xffffff;
    while (Now() - start < TimeoutS) {
      if (Sample() == wanted) return Now() - start;
    }
    return std::nullopt;
  }

  struct TFreeze {
    std::optional<double> Picture;   // a frozen-picture pixel is on screen
    std::optional<double> Complete;  // that and a tool-bar pixel both are
  };
  // Seconds from `start` until the frozen picture shows, and until it and the tool bar both
  // show. Without a known bar pixel the picture alone is the complete surface.
  TFreeze WaitForFreeze(double start) {
    FFirstFresh = (CounterBase + FCounter) & 0xffffff;
    TFreeze freeze;
    while (Now() - start < TimeoutS) {
      bool bar = false;
      const bool frozen = Sample(&bar) == Frozen;
      if (frozen && !freeze.Picture) freeze.Picture = Now() - start;
      if (frozen && (bar || !FBar)) {
        freeze.Complete = Now() - start;
        break;
      }
    }
    return freeze;
  }

  // Looks for the tool bar's colour near the top of the screen, where it shows while frozen and
  // not while live; the pixel is then read with every sample. False when there is none.
  bool FindBar() {
    FBar.reset();
    const std::uint16_t width = std::uint16_t(Width);
    const std::uint16_t rows = std::uint16_t(std::min(Height, BarSearchRows));
    xcb_get_image_reply_t* reply = xcb_get_image_reply(
        FC, xcb_get_image(FC, XCB_IMAGE_FORMAT_Z_PIXMAP, FScreen->root, std::int16_t(Left), std::int16_t(Top), width, rows, ~0u),
        nullptr);
    if (!reply) return false;
    const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply));
    // The middle of the longest purple run in the band's lowest row that has one: clear of the
    // buttons' glyphs and of their hover frames.
    for (int y = rows - 1; y >= 0 && !FBar; --y) {
      int bestStart = 0, bestLength = 0;
      for (int x = 0; x < width;) {
        int end = x;
        while (end < width && (data[y * width + end] & 0xffffff) == BarColour) ++end;
        if (end - x > bestLength) bestStart = x, bestLength = end - x;
        x = end + 1;
      }
      if (bestLength >= 4) FBar = {std::int16_t(Left + bestStart + bestLength / 2), std::int16_t(Top + y)};
    }
    std::free(reply);
    return FBar.has_value();
  }
  // Whether the bar pixel found shows the bar's colour now.
  bool BarShown() {
    return FBar && PixelOf(xcb_get_image(FC, XCB_IMAGE_FORMAT_Z_PIXMAP, FScreen->root, FBar->first, FBar->second, 1, 1,
                                         ~0u)) == BarColour;
  }
  void ForgetBar() { FBar.reset(); }
  void Idle(double seconds) {
    const double end = Now() + seconds;
    while (Now() < end) Sample();
  }

  // The viewable top-level window of `pid` named `name` exists.
  bool HasWindow(pid_t pid, const char* name) { return Find(FScreen->root, pid, name); }

  int Left = 0, Top = 0, Width = 0, Height = 0;

 private:
  std::optional<std::uint32_t> PixelOf(xcb_get_image_cookie_t cookie) {
    xcb_get_image_reply_t* reply = xcb_get_image_reply(FC, cookie, nullptr);
    if (!reply) return std::nullopt;
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, xcb_get_image_data(reply), 4);
    std::free(reply);
    return pixel & 0xffffff;
  }
  bool Locate() {
    xcb_translate_coordinates_reply_t* t = xcb_translate_coordinates_reply(
        FC, xcb_translate_coordinates(FC, FWindow, FScreen->root, ProbeSize / 2, ProbeSize / 2), nullptr);
    if (!t) return false;
    FProbeX = t->dst_x;
    FProbeY = t->dst_y;
    std::free(t);
    return true;
  }
  xcb_atom_t Atom(const char* name) {
    auto* r = xcb_intern_atom_reply(FC, xcb_intern_atom(FC, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : 0;
    std::free(r);
    return atom;
  }
  bool Find(xcb_window_t parent, pid_t pid, const char* name) {
    auto* tree = xcb_query_tree_reply(FC, xcb_query_tree(FC, parent), nullptr);
    if (!tree) return false;
    bool found = false;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i) {
      auto* p = xcb_get_property_reply(
          FC, xcb_get_property(FC, 0, children[i], Atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1), nullptr);
      const bool ours = p && xcb_get_property_value_length(p) == 4 &&
                        *static_cast<std::uint32_t*>(xcb_get_property_value(p)) == std::uint32_t(pid);
      std::free(p);
      if (!ours) {
        found = Find(children[i], pid, name);
        continue;
      }
      auto* a = xcb_get_window_attributes_reply(FC, xcb_get_window_attributes(FC, children[i]), nullptr);
      auto* n = xcb_get_property_reply(
          FC, xcb_get_property(FC, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
      found = a && a->map_state == XCB_MAP_STATE_VIEWABLE && n &&
              std::string(static_cast<char*>(xcb_get_property_value(n)), xcb_get_property_value_length(n)) == name;
      std::free(a);
      std::free(n);
    }
    std::free(tree);
    return found;
  }

  xcb_connection_t* FC = nullptr;
  xcb_screen_t* FScreen = nullptr;
  xcb_window_t FWindow = 0;
  std::int16_t FProbeX = 0, FProbeY = 0;
  std::uint32_t FCounter = 0;
  std::uint32_t FFirstFresh = CounterBase;
  std::optional<std::pair<std::int16_t, std::int16_t>> FBar;  // a pixel of the tool bar
};

struct TTarget {
  std::string Name;
  std::string Path;
  bool IsFloor = false;
  std::vector<std::string> Arguments;
  bool FocusMarker = false;  // the hot key arrives only while the program has the keyboard
};

struct TRows {
  TStats Shown, Complete, Gone, FirstShown, FirstComplete, SecondStart, IdleCpu, IdleRss, StartUp;
};

class TBench {
 public:
  TBench(TScreenProbe& probe, int runs, double idleSeconds) : FProbe(probe), FRuns(runs), FIdleSeconds(idleSeconds) {}

  TRows Measure(const TTarget& target) {
    TRows rows;
    if (target.IsFloor)
      FProbe.ForgetBar();
    else
      FindToolBar(target);
    for (int run = 0; run < FRuns; ++run) {
      const pid_t pid = Start(target);
      if (pid < 0) break;
      rows.StartUp.Add(FStartedS);
      const TScreenProbe::TFreeze first = Freeze();
      if (first.Picture) rows.FirstShown.Add(*first.Picture);
      if (first.Complete) rows.FirstComplete.Add(*first.Complete);
      if (auto gone = Toggle(FProbe.Live)) rows.Gone.Add(*gone);
      if (run == 0) {
        for (int i = 1; i < FRuns; ++i) {
          const TScreenProbe::TFreeze later = Freeze();
          if (later.Picture) rows.Shown.Add(*later.Picture);
          if (later.Complete) rows.Complete.Add(*later.Complete);
          if (auto gone = Toggle(FProbe.Live)) rows.Gone.Add(*gone);
        }
      }
      if (!target.IsFloor) {
        const double start = Now();
        std::vector<std::string> argv{target.Path};
        argv.insert(argv.end(), target.Arguments.begin(), target.Arguments.end());
        const pid_t second = Spawn(argv);
        if (second > 0 && Reap(second) == 0) rows.SecondStart.Add(Now() - start);
      }
      Stop(pid);
    }
    const pid_t pid = Start(target);
    if (pid > 0) {
      const double cpuBefore = CpuSeconds(pid);
      sleep(unsigned(FIdleSeconds));
      rows.IdleCpu.Add(CpuSeconds(pid) - cpuBefore);
      rows.IdleRss.Add(RssBytes(pid));
      Stop(pid);
    }
    return rows;
  }

 private:
  pid_t Start(const TTarget& target) {
    int out = -1;
    std::vector<std::string> argv{target.Path};
    argv.insert(argv.end(), target.Arguments.begin(), target.Arguments.end());
    const double spawned = Now();
    const pid_t pid = Spawn(argv, target.IsFloor ? &out : nullptr);
    if (pid < 0) return pid;
    bool ready = false;
    const double deadline = Now() + TimeoutS;
    if (target.IsFloor) {
      char buffer[16] = {};
      ready = read(out, buffer, sizeof buffer - 1) > 0 && std::strncmp(buffer, "ready", 5) == 0;
      close(out);
    } else {
      while (!ready && Now() < deadline) {
        ready = FProbe.HasWindow(pid, "KEZ");
        if (!ready) usleep(5000);
      }
    }
    FStartedS = Now() - spawned;
    if (!ready) {
      std::fprintf(stderr, "%s did not become ready\n", target.Path.c_str());
      Stop(pid);
      return -1;
    }
    FKeyboardPid = target.FocusMarker ? pid : 0;
    FProbe.Idle(SettleS);
    return pid;
  }
  // Under Wine the hot key arrives only while a window of the program has the keyboard, and
  // after the surface hides the window manager gives it to none of them: before each press the
  // window the key is for (the marker idle, the surface working) is activated, as a click on it
  // would, outside the time measured.
  void GiveKeyboardTo(const char* name) {
    if (!FKeyboardPid) return;
    const pid_t xdotool = Spawn({"timeout", "3", "xdotool", "search", "--all", "--pid", std::to_string(FKeyboardPid), "--name",
                                 std::string("^") + name + "$", "windowactivate", "--sync", "%1"});
    if (xdotool > 0) Reap(xdotool);
  }
  static void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    Reap(pid);
  }
  // One freeze ahead of the runs, to find where the tool bar shows; the runs start afresh.
  void FindToolBar(const TTarget& target) {
    const pid_t pid = Start(target);
    if (pid < 0) return;
    bool found = false;
    if (Toggle(FProbe.Frozen)) {
      FProbe.Idle(0.3);  // the bar, however late, is on screen by now
      found = FProbe.FindBar();
    }
    // A pixel that shows the bar's colour on the live desktop too would tell nothing.
    if (Toggle(FProbe.Live) && found && FProbe.BarShown()) found = false, FProbe.ForgetBar();
    Stop(pid);
    if (!found) std::fprintf(stderr, "no tool bar found: the complete surface is timed as the picture alone\n");
  }
  TScreenProbe::TFreeze Freeze() {
    GiveKeyboardTo("KEZ");
    const double start = Now();
    const pid_t xdotool = Spawn({"xdotool", "key", "--delay", "0", "ctrl+F1"});
    const TScreenProbe::TFreeze freeze = FProbe.WaitForFreeze(start);
    Reap(xdotool);
    FProbe.Idle(0.1);
    if (!freeze.Complete) std::fprintf(stderr, "timed out waiting for the complete surface\n");
    return freeze;
  }
  // Presses Ctrl+F1 and times until the screen shows `wanted`.
  std::optional<double> Toggle(TScreenProbe::TSeen wanted) {
    GiveKeyboardTo(wanted == TScreenProbe::Live ? "FCover" : "KEZ");
    const double start = Now();
    const pid_t xdotool = Spawn({"xdotool", "key", "--delay", "0", "ctrl+F1"});
    auto elapsed = FProbe.WaitFor(wanted, start);
    Reap(xdotool);
    FProbe.Idle(0.1);  // let the program finish whatever follows the first frame
    if (!elapsed) std::fprintf(stderr, "timed out waiting for the screen to change\n");
    return elapsed;
  }
  static std::vector<std::string> StatFields(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream rest(text.substr(text.rfind(')') + 2));  // after "pid (comm) "
    std::vector<std::string> fields;
    for (std::string f; rest >> f;) fields.push_back(f);
    return fields;
  }
  static double CpuSeconds(pid_t pid) {
    const auto f = StatFields(pid);  // f[0] is field 3 (state): utime is 14, stime 15
    return f.size() > 12 ? (std::stod(f[11]) + std::stod(f[12])) / sysconf(_SC_CLK_TCK) : -1;
  }
  static double RssBytes(pid_t pid) {
    const auto f = StatFields(pid);  // rss (field 24) in pages
    return f.size() > 21 ? std::stod(f[21]) * sysconf(_SC_PAGESIZE) : -1;
  }

  TScreenProbe& FProbe;
  int FRuns;
  double FIdleSeconds;
  double FStartedS = 0;  // spawn to ready, of the last Start
  pid_t FKeyboardPid = 0;  // the copy under Wine whose windows are given the keyboard
};

void PrintRow(const char* name, const TStats& app, const TStats& floor, double scale, const char* unit) {
  std::string ratio = "-";
  if (!app.Empty() && !floor.Empty() && floor.Median() > 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2fx", app.Median() / floor.Median());
    ratio = buffer;
  }
  std::printf("%-30s %-34s %-34s %s\n", name, app.Text(scale, unit).c_str(), floor.Text(scale, unit).c_str(),
              ratio.c_str());
}

// "NAME:WxH+X+Y ..." as x, y, width, height each, with the names.
std::vector<std::pair<std::string, std::vector<int>>> ParseMonitors(const std::string& text) {
  std::vector<std::pair<std::string, std::vector<int>>> monitors;
  std::istringstream words(text);
  for (std::string word; words >> word;) {
    char name[64] = {};
    int w = 0, h = 0, x = 0, y = 0;
    if (std::sscanf(word.c_str(), "%63[^:]:%dx%d+%d+%d", name, &w, &h, &x, &y) != 5 || w <= 0 || h <= 0) return {};
    monitors.push_back({name, {x, y, w, h}});
  }
  return monitors;
}

void MovePointer(int x, int y) {
  const pid_t xdotool = Spawn({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)});
  if (xdotool > 0) Reap(xdotool);
}

void PrintTable(const char* title, const TScreenProbe& probe, int runs, double idle, bool haveApp, const std::string& app,
                const TRows& appRows, const TRows& floorRows) {
  std::printf("\n%sscreen %dx%d, %d runs, idle %.0f s; times from the start of xdotool\n", title, probe.Width,
              probe.Height, runs, idle);
  if (!haveApp) std::printf("quilmar rows skipped: %s is not built\n", app.c_str());
  std::printf("%-30s %-34s %-34s %s\n", "row", "quilmar median [range]", "floor median [range]", "quilmar/floor");
  PrintRow("hot key -> surface showing", appRows.Shown, floorRows.Shown, 1e3, "ms");
  PrintRow("hot key -> complete surface", appRows.Complete, floorRows.Complete, 1e3, "ms");
  PrintRow("hot key -> surface gone", appRows.Gone, floorRows.Gone, 1e3, "ms");
  PrintRow("first freeze after start", appRows.FirstShown, floorRows.FirstShown, 1e3, "ms");
  PrintRow("first complete freeze", appRows.FirstComplete, floorRows.FirstComplete, 1e3, "ms");
  PrintRow("start -> marker shown", appRows.StartUp, floorRows.StartUp, 1e3, "ms");
  PrintRow("second start -> exit", appRows.SecondStart, {}, 1e3, "ms");
  PrintRow("idle CPU over the idle time", appRows.IdleCpu, floorRows.IdleCpu, 1, "s");
  PrintRow("idle RSS", appRows.IdleRss, floorRows.IdleRss, 1.0 / (1 << 20), "MB");
  if (haveApp && !appRows.IdleRss.Empty()) {
    const double budget = 32.0 * (1 << 20) + 8.0 * probe.Width * probe.Height;
    std::printf("idle RSS budget 32 MB + 8 B/pixel = %.1f MB\n", budget / (1 << 20));
  }
  if (haveApp && !appRows.FirstShown.Empty() && !appRows.Shown.Empty())
    std::printf("first freeze / later freezes: %.2fx\n", appRows.FirstShown.Median() / appRows.Shown.Median());
  if (haveApp && !appRows.FirstComplete.Empty() && !appRows.Complete.Empty())
    std::printf("first complete freeze / later complete freezes: %.2fx\n",
                appRows.FirstComplete.Median() / appRows.Complete.Median());
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  const std::string wineExe = options["--wine-exe"];
  const std::string app = wineExe.empty() ? options["--app"] : wineExe;
  const std::string floorPath = options["--floor"];
  const int runs = options.count("--runs") ? std::stoi(options["--runs"]) : 10;
  const double idle = options.count("--idle-seconds") ? std::stod(options["--idle-seconds"]) : 60;
  const bool monitorsGiven = options.count("--monitors") > 0;
  const auto monitors = ParseMonitors(monitorsGiven ? options["--monitors"] : std::string());
  if (floorPath.empty() || (monitorsGiven && monitors.empty())) {
    std::fprintf(stderr,
                 "usage: %s (--app PATH | --wine-exe PATH) --floor PATH [--runs N] [--idle-seconds S] "
                 "[--monitors \"NAME:WxH+X+Y ...\"]\n",
                 argv[0]);
    return 2;
  }
  const bool haveApp = access(app.c_str(), wineExe.empty() ? X_OK : R_OK) == 0;
  const TTarget program = wineExe.empty() ? TTarget{"quilmar", app, false, {}}
                                          : TTarget{"quilmar.exe", "wine", false, {wineExe}, true};

  if (monitors.empty()) {
    TScreenProbe probe;
    if (!probe.Open()) {
      std::fprintf(stderr, "cannot show the probe window (is DISPLAY a running session?)\n");
      return 1;
    }
    TBench bench(probe, runs, idle);
    TRows appRows;
    if (haveApp) appRows = bench.Measure(program);
    const TRows floorRows = bench.Measure({"floor", floorPath, true, {}});
    PrintTable("", probe, runs, idle, haveApp, app, appRows, floorRows);
    return 0;
  }
  for (const auto& [name, area] : monitors) {
    TScreenProbe probe;
    if (!probe.Open(area)) {
      std::fprintf(stderr, "cannot show the probe window on monitor %s\n", name.c_str());
      return 1;
    }
    // The program freezes the screen under the pointer: put it on this monitor, off the probe.
    MovePointer(area[0] + area[2] / 4, area[1] + area[3] / 4);
    TBench bench(probe, runs, idle);
    TRows appRows;
    if (haveApp) appRows = bench.Measure(program);
    std::vector<std::string> rectangle;
    for (int v : area) rectangle.push_back(std::to_string(v));
    const TRows floorRows = bench.Measure({"floor", floorPath, true, rectangle});
    const std::string title = "monitor " + name + " at +" + std::to_string(area[0]) + "+" + std::to_string(area[1]) + ": ";
    PrintTable(title.c_str(), probe, runs, idle, haveApp, app, appRows, floorRows);
  }
  return 0;
}
