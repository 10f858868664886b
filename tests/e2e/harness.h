#pragma once

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QImage>
#include <QMargins>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Helpers for end-to-end tests against a real X server: a fresh headless session per test,
// processes started inside it, xdotool input, window properties and screen pixels.
namespace e2e {

// Shared-memory segments that process `pid` created and that still exist (of `bytes` only,
// when given), from /proc/sysvipc/shm; -1 when the table cannot be read.
int ShmSegmentsOf(qint64 pid, qint64 bytes = -1);

// Polls `condition` every `pollMs` until it holds; false after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000, int pollMs = 20);

// Which X server a session runs: Xvfb, or Xvnc where the screen must change its size, with
// extra server arguments (scripts/xsession's XSESSION_SERVER and XSESSION_SERVER_ARGS), and the
// monitors it shows.
struct TXServer {
  QString Kind = QStringLiteral("xvfb");
  QString Arguments;
  // RandR monitors the screen is split into (scripts/xsession's XSESSION_MONITORS), e.g.
  // "A:2880x1620+0+0 B:1920x1080+2880+0"; empty: one.
  QString Monitors;
};

// scripts/xsession start/stop, plus a private XDG_RUNTIME_DIR for the processes of the test.
class TXSession {
 public:
  // Null (and `error` filled) when the session did not come up.
  static std::unique_ptr<TXSession> Start(QSize size, QString* error, const TXServer& server = {});
  ~TXSession();
  TXSession(const TXSession&) = delete;
  TXSession& operator=(const TXSession&) = delete;

  QString Display() const { return FDisplay; }
  QString RuntimeDir() const { return FRuntimeDir; }
  QSize Size() const { return FSize; }
  // DISPLAY, XDG_RUNTIME_DIR and the xcb platform for a child process.
  QProcessEnvironment Environment() const;

 private:
  TXSession(QString display, QString runtimeDir, QSize size)
      : FDisplay(std::move(display)), FRuntimeDir(std::move(runtimeDir)), FSize(size) {}
  QString FDisplay;
  QString FRuntimeDir;
  QSize FSize;
};

// An input method for one session: a D-Bus session bus of its own and ibus on it (XIM server,
// no panel), with HOME and the XDG folders in a fresh temporary folder, so no two tests share
// settings, learnt words or sockets. Clients find ibus through IBUS_ADDRESS_FILE, which ibus
// and Qt's ibus plugin both honour: no dependence on the machine-id, host name or HOME.
// The destructor stops every process started for it, those the daemons spawned included.
class TInputMethod {
 public:
  static inline const QString Pinyin = QStringLiteral("libpinyin");
  static inline const QString Latin = QStringLiteral("xkb:us::eng");

  // Running with `engine` as the global engine; null and `error` (with what the daemons
  // printed) when that is not so within `timeoutMs`.
  static std::unique_ptr<TInputMethod> Start(const TXSession& session, QString* error, const QString& engine = Pinyin,
                                             int timeoutMs = 20000);
  ~TInputMethod();
  TInputMethod(const TInputMethod&) = delete;
  TInputMethod& operator=(const TInputMethod&) = delete;

  // The session's environment plus the bus, IBUS_ADDRESS_FILE, QT_IM_MODULE, GTK_IM_MODULE and
  // XMODIFIERS: a client started with it types through this input method.
  QProcessEnvironment ClientEnvironment() const { return FClientEnv; }
  // Makes `engine` the global engine, which every input context follows; false (and `error`)
  // when ibus does not report it as such within `timeoutMs`.
  bool SetEngine(const QString& engine, QString* error = nullptr, int timeoutMs = 5000);
  QString Engine();     // empty when none is set
  QString Log() const;  // what the bus and ibus printed so far

  // Each process started for the input method, and each one those spawn, carries the tag in
  // its environment; the ones that still run.
  QString Tag() const { return FDir; }
  static std::vector<qint64> Processes(const QString& tag);

 private:
  explicit TInputMethod(QString dir);
  std::unique_ptr<QProcess> StartDaemon(const QString& program, const QStringList& arguments, const QString& outFile,
                                        const QString& errFile);
  // Runs the `ibus` tool; its standard output, or nullopt when it did not finish in time.
  std::optional<QString> Ibus(const QStringList& arguments, QString* errors = nullptr);
  void Stop();

  QString FDir;
  QProcessEnvironment FDaemonEnv, FClientEnv;
  std::unique_ptr<QProcess> FBus, FIbus;
};

// A child process whose standard output is read line by line.
class TChild {
 public:
  TChild(const QString& program, const QStringList& arguments, const QProcessEnvironment& env);
  // Kills the process if it still runs; a sanitizer report on its standard error fails the test
  // (the sanitized build of the program runs under these tests too).
  ~TChild();

  bool Started() const { return FStarted; }
  qint64 Pid() const { return FProcess.processId(); }
  // Also notices an exit that no event loop has reported to QProcess yet.
  bool Running();
  // The next line of output not read yet, waiting up to `timeoutMs`; nullopt on timeout/exit.
  std::optional<QString> ReadLine(int timeoutMs = 5000);
  // Reads lines until one starts with `prefix`; returns it (nullopt on timeout).
  std::optional<QString> WaitForLine(const QString& prefix, int timeoutMs = 5000);
  void Send(const QString& line);
  // The exit code, or nullopt when the process did not end in time (or crashed).
  std::optional<int> WaitForExit(int timeoutMs = 5000);
  void Kill(int signal);
  // Everything the process wrote to standard error so far.
  QString StdErr();

 private:
  QProcess FProcess;
  QByteArray FBuffer;
  QByteArray FErr;
  bool FStarted = false;
};

struct TWindowInfo {
  xcb_window_t Id = 0;
  QRect Geometry;  // in root coordinates
  bool Viewable = false;
  bool OverrideRedirect = false;  // pop-ups: menus, tool tips
};

// Our own connection to the session's X server, for what xprop/xwininfo/xwd would tell.
class TXClient {
 public:
  explicit TXClient(const QString& display);
  ~TXClient();
  TXClient(const TXClient&) = delete;
  TXClient& operator=(const TXClient&) = delete;

  bool Connected() const { return FConnection && !xcb_connection_has_error(FConnection); }
  xcb_window_t Root() const { return FRoot; }

  // The root window's pixels in `rect` as RGB32.
  QImage Grab(const QRect& rect);
  QImage GrabScreen();
  // Top-level windows that carry _NET_WM_PID == pid: direct children of the root or inside
  // window-manager frames, not windows embedded into another client (a tray icon in the tray).
  std::vector<TWindowInfo> WindowsOfPid(qint64 pid);
  std::optional<TWindowInfo> Info(xcb_window_t window);
  QString Name(xcb_window_t window);
  std::vector<QString> AtomNames(xcb_window_t window, const char* property);
  bool HasState(xcb_window_t window, const char* state) {
    const auto states = AtomNames(window, "_NET_WM_STATE");
    return std::find(states.begin(), states.end(), QString::fromLatin1(state)) != states.end();
  }
  // The first viewable window of `pid` whose name is `name`.
  std::optional<TWindowInfo> FindWindow(qint64 pid, const QString& name);
  // Windows of `pid` that lie inside a window of another client, as a tray icon lies in the
  // tray host's panel: the ones WindowsOfPid leaves out. A whole walk of the tree.
  std::vector<TWindowInfo> EmbeddedWindowsOfPid(qint64 pid);
  // The window that has the keyboard (X's input focus); 0 for none.
  xcb_window_t InputFocus();
  // The window the window manager reports as active (the client, not its frame); 0 for none.
  xcb_window_t ActiveWindow();
  // Asks the window manager to close `window`, as its close box does (_NET_CLOSE_WINDOW).
  bool AskToClose(xcb_window_t window);
  // The frame the window manager put around `window` (_NET_FRAME_EXTENTS); nullopt before it did.
  std::optional<QMargins> FrameExtents(xcb_window_t window);
  // The owner of the selection `name` (e.g. the tray's _NET_SYSTEM_TRAY_S0); 0 for none.
  xcb_window_t SelectionOwner(const char* name);

 private:
  xcb_atom_t Atom(const char* name);
  void Collect(xcb_window_t parent, xcb_atom_t pidAtom, qint64 pid, std::vector<TWindowInfo>& found);
  std::optional<qint64> PidOf(xcb_window_t window, xcb_atom_t pidAtom);
  void CollectEmbedded(xcb_window_t parent, xcb_atom_t pidAtom, qint64 pid, qint64 host,
                       std::vector<TWindowInfo>& found);

  xcb_connection_t* FConnection = nullptr;
  xcb_window_t FRoot = 0;
};

// xdotool, run with the session's DISPLAY; each returns true when xdotool succeeded.
class TXdotool {
 public:
  explicit TXdotool(QProcessEnvironment env) : FEnv(std::move(env)) {}
  bool Run(const QStringList& arguments, QString* output = nullptr);
  bool Key(const QString& keys) { return Run({"key", "--delay", "0", keys}); }
  bool Move(int x, int y) { return Run({"mousemove", "--sync", QString::number(x), QString::number(y)}); }
  bool Click(int x, int y, int button = 1) { return Move(x, y) && Run({"click", QString::number(button)}); }
  bool Activate(xcb_window_t window) { return Run({"windowactivate", "--sync", QString::number(window)}); }
  // The X input focus set on `window` itself, no window manager asked (pop-ups have none).
  bool Focus(xcb_window_t window) { return Run({"windowfocus", "--sync", QString::number(window)}); }
  // Window ids matching `xdotool search` with the given options (e.g. {"--name", "^KEZ$"}).
  std::vector<xcb_window_t> Search(const QStringList& options);

 private:
  QProcessEnvironment FEnv;
};

// The processes called `name` (as `pgrep -x` matches) whose environment has DISPLAY=`display`:
// the ones of one session, not those of other sessions running beside it. Zombies are left out.
std::vector<qint64> ProcessesOnDisplay(const QString& name, const QString& display);
// Whether `pid` is still a live process (a zombie counts as gone).
bool ProcessAlive(qint64 pid);
// How scripts/xsession runs the tray host; for a test that starts it again.
inline const QString TrayHost = QStringLiteral("trayer");
QStringList TrayHostArguments();

// Each test gets its own session of ScreenSize(); the test is skipped-as-failed when the
// session cannot start.
class TXSessionTest : public ::testing::Test {
 protected:
  virtual QSize ScreenSize() const { return {1024, 768}; }
  virtual TXServer Server() const { return {}; }
  void SetUp() override;
  void TearDown() override;

  TXSession& Session() { return *FSession; }
  TXClient& X() { return *FClient; }
  TXdotool& Xdo() { return *FXdo; }
  // A child process in the session; the test fails at once when it cannot be started.
  std::unique_ptr<TChild> Spawn(const QString& program, const QStringList& arguments,
                                const QProcessEnvironment* env = nullptr);
  // Has the probe (started with "gui") show its pattern window at `where` and waits until the
  // screen shows the pattern; the window's geometry on screen.
  QRect ShowPattern(TChild& probe, const QRect& where);

 private:
  std::unique_ptr<TXSession> FSession;
  std::unique_ptr<TXClient> FClient;
  std::unique_ptr<TXdotool> FXdo;
};

// The pattern the probe's pattern window shows, pixel (x, y) of the window, as RGB32.
inline std::uint32_t PatternPixel(int x, int y, bool inverted = false) {
  const std::uint32_t rgb =
      (std::uint32_t(x * 7) & 0xff) << 16 | (std::uint32_t(y * 13) & 0xff) << 8 | (std::uint32_t(x ^ y) & 0xff);
  return 0xff000000u | (inverted ? ~rgb & 0xffffff : rgb);
}

// Count of pixels of `image` (at `origin` of the pattern) that differ from the pattern, with
// `exclude` (in image coordinates) left out.
int PatternMismatches(const QImage& image, bool inverted = false, const QRect& exclude = {});

// The colour of the block the probe's "firstframe" window shows over its picture.
inline constexpr std::uint32_t FrameOverlay = 0x00336699;

}  // namespace e2e
