#include "tests/e2e/harness.h"

#include <signal.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>

namespace e2e {

namespace {

// Long enough for a loaded 2-core machine running two sessions; never waited out on success.
constexpr int ProcessStartMs = 10000;
constexpr int SessionStartMs = 30000;

template <typename T>
struct TFreeDeleter {
  void operator()(T* p) const { std::free(p); }
};
template <typename T>
using TMalloced = std::unique_ptr<T, TFreeDeleter<T>>;

QString XsessionScript() { return QStringLiteral(QUILMAR_SOURCE_DIR "/scripts/xsession"); }

}  // namespace

int ShmSegmentsOf(qint64 pid, qint64 bytes) {
  QFile table("/proc/sysvipc/shm");
  if (!table.open(QIODevice::ReadOnly)) return -1;
  table.readLine();  // header: key shmid perms size cpid lpid nattch ...
  int count = 0;
  while (!table.atEnd()) {
    const QStringList fields = QString::fromLatin1(table.readLine()).simplified().split(' ');
    if (fields.size() > 4 && (bytes < 0 || fields[3].toLongLong() == bytes) && fields[4].toLongLong() == pid) ++count;
  }
  return count;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    if (condition()) return true;
    if (timer.elapsed() >= timeoutMs) return false;
    QThread::msleep(pollMs);
  }
}

// ---- TXSession

std::unique_ptr<TXSession> TXSession::Start(QSize size, QString* error, const TXServer& server) {
  QProcess start;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XSESSION_SERVER", server.Kind);
  env.insert("XSESSION_SERVER_ARGS", server.Arguments);
  env.insert("XSESSION_MONITORS", server.Monitors);
  start.setProcessEnvironment(env);
  start.start(XsessionScript(), {"start", QStringLiteral("%1x%2").arg(size.width()).arg(size.height())});
  if (!start.waitForFinished(SessionStartMs) || start.exitCode() != 0) {
    *error = QString::fromLocal8Bit(start.readAllStandardError());
    start.kill();
    start.waitForFinished();
    return nullptr;
  }
  const QString line = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
  if (!line.startsWith("DISPLAY=:")) {
    *error = "unexpected output of xsession start: " + line;
    return nullptr;
  }
  QTemporaryDir runtime(QDir::tempPath() + "/quilmar-e2e-runtime-XXXXXX");  // made mode 0700
  if (!runtime.isValid()) {
    *error = "no private runtime dir: " + runtime.errorString();
    QProcess::execute(XsessionScript(), {"stop", line.mid(8)});
    return nullptr;
  }
  runtime.setAutoRemove(false);
  return std::unique_ptr<TXSession>(new TXSession(line.mid(8), runtime.path(), size));
}

TXSession::~TXSession() {
  QProcess::execute(XsessionScript(), {"stop", FDisplay});
  QDir(FRuntimeDir).removeRecursively();
}

QProcessEnvironment TXSession::Environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", FDisplay);
  env.insert("XDG_RUNTIME_DIR", FRuntimeDir);
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.remove("QUILMAR_NO_SHM");
  return env;
}

// ---- TInputMethod

namespace {

constexpr char TagVariable[] = "QUILMAR_E2E_INPUT_METHOD";
constexpr int StopMs = 3000;

// A session bus that can activate nothing: whatever a client asks for (accessibility, dconf,
// portals) fails at once instead of starting services that would outlive the test.
constexpr char BusConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <servicedir>%1/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

bool WriteText(const QString& path, const QString& text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

bool Exited(QProcess& process) { return process.state() == QProcess::NotRunning || process.waitForFinished(0); }

}  // namespace

TInputMethod::TInputMethod(QString dir) : FDir(std::move(dir)) {}

TInputMethod::~TInputMethod() { Stop(); }

std::unique_ptr<TInputMethod> TInputMethod::Start(const TXSession& session, QString* error, const QString& engine,
                                                  int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  auto left = [&] { return int(std::max<qint64>(0, timeoutMs - timer.elapsed())); };

  // Short: the bus socket lives in it, and socket paths have a length limit.
  QTemporaryDir temporary(QDir::tempPath() + "/quilmar-im-XXXXXX");  // mode 0700
  if (!temporary.isValid()) {
    *error = "no private folder for the input method: " + temporary.errorString();
    return nullptr;
  }
  temporary.setAutoRemove(false);
  std::unique_ptr<TInputMethod> im(new TInputMethod(temporary.path()));
  const QString dir = im->FDir;
  auto fail = [&](const QString& reason) {
    *error = QStringLiteral("input method not up after %1 ms: %2\n%3").arg(timer.elapsed()).arg(reason, im->Log());
    return nullptr;
  };
  if (!QDir(dir).mkpath("services") || !QDir(dir).mkpath("home") ||
      !WriteText(dir + "/bus.conf", QString::fromLatin1(BusConfig).arg(dir))) {
    return fail("cannot fill " + dir);
  }

  QProcessEnvironment& env = im->FDaemonEnv;
  env = session.Environment();
  env.insert(TagVariable, dir);
  env.insert("HOME", dir + "/home");
  env.insert("XDG_CONFIG_HOME", dir + "/home/.config");
  env.insert("XDG_CACHE_HOME", dir + "/home/.cache");
  env.insert("XDG_DATA_HOME", dir + "/home/.local/share");
  env.insert("IBUS_ADDRESS_FILE", dir + "/ibus-address");
  env.insert("GSETTINGS_BACKEND", "memory");  // defaults, and no dconf service to start
  env.insert("NO_AT_BRIDGE", "1");            // no accessibility bus from ibus-x11 (GTK)
  for (const char* name : {"IBUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS", "QT_IM_MODULE", "GTK_IM_MODULE", "XMODIFIERS"})
    env.remove(name);

  im->FBus = im->StartDaemon("dbus-daemon", {"--config-file=" + dir + "/bus.conf", "--nofork", "--print-address=1"},
                             dir + "/bus.address", dir + "/bus.log");
  if (!im->FBus) return fail("cannot run dbus-daemon");
  QString busAddress;
  // dbus-daemon prints its address once it listens.
  if (!WaitUntil(
          [&] {
            const QString printed = ReadText(dir + "/bus.address");
            if (printed.endsWith('\n')) busAddress = printed.trimmed();
            return !busAddress.isEmpty() || Exited(*im->FBus);
          },
          left()) ||
      busAddress.isEmpty()) {
    return fail("the session bus did not report its address");
  }
  env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);

  im->FIbus =
      im->StartDaemon("ibus-daemon", {"--xim", "--panel", "disable", "--emoji-extension", "disable", "--replace"},
                      dir + "/ibus.log", dir + "/ibus.log");
  if (!im->FIbus) return fail("cannot run ibus-daemon");
  // The address file names the daemon that wrote it, once it accepts connections.
  const QString writer = QStringLiteral("IBUS_DAEMON_PID=%1\n").arg(im->FIbus->processId());
  if (!WaitUntil([&] { return ReadText(dir + "/ibus-address").contains(writer) || Exited(*im->FIbus); }, left()) ||
      Exited(*im->FIbus)) {
    return fail("ibus-daemon did not write its address");
  }
  QString engineError;
  if (!im->SetEngine(engine, &engineError, std::max(left(), 1))) return fail(engineError);

  im->FClientEnv = session.Environment();
  im->FClientEnv.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
  im->FClientEnv.insert("IBUS_ADDRESS_FILE", dir + "/ibus-address");
  im->FClientEnv.remove("IBUS_ADDRESS");  // it would win over the file for ibus's own clients
  im->FClientEnv.insert("QT_IM_MODULE", "ibus");
  im->FClientEnv.insert("GTK_IM_MODULE", "ibus");
  im->FClientEnv.insert("XMODIFIERS", "@im=ibus");
  return im;
}

std::unique_ptr<QProcess> TInputMethod::StartDaemon(const QString& program, const QStringList& arguments,
                                                    const QString& outFile, const QString& errFile) {
  auto process = std::make_unique<QProcess>();
  process->setProcessEnvironment(FDaemonEnv);
  process->setStandardInputFile(QProcess::nullDevice());
  // Files, not pipes: nobody reads pipes while a test runs, and a full one would block the daemon.
  if (outFile == errFile) {
    process->setProcessChannelMode(QProcess::MergedChannels);
  } else {
    process->setStandardErrorFile(errFile, QIODevice::Append);
  }
  process->setStandardOutputFile(outFile, QIODevice::Append);
  // Should the test process die without cleaning up, the daemons go with it.
  process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  process->start(program, arguments);
  if (!process->waitForStarted(ProcessStartMs)) return nullptr;
  return process;
}

std::optional<QString> TInputMethod::Ibus(const QStringList& arguments, QString* errors) {
  QProcess ibus;
  ibus.setProcessEnvironment(FDaemonEnv);
  ibus.start("ibus", arguments);
  if (!ibus.waitForFinished(ProcessStartMs)) {
    ibus.kill();
    ibus.waitForFinished();
    return std::nullopt;
  }
  if (errors) *errors = QString::fromLocal8Bit(ibus.readAllStandardError()).trimmed();
  return QString::fromLocal8Bit(ibus.readAllStandardOutput()).trimmed();
}

bool TInputMethod::SetEngine(const QString& engine, QString* error, int timeoutMs) {
  QString errors, current;
  // The exit code of `ibus engine NAME` says nothing: for engines without a keyboard layout of
  // their own (libpinyin) it fails after switching. What ibus reports afterwards counts; it
  // reports the new engine once the focused input context has it.
  WaitUntil(
      [&] {
        Ibus({"engine", engine}, &errors);
        current = Engine();
        return current == engine || Exited(*FIbus);
      },
      timeoutMs, 50);
  if (current == engine) return true;
  if (error) {
    *error = QStringLiteral("ibus did not switch to the engine %1 (it reports \"%2\"%3): %4")
                 .arg(engine, current, Exited(*FIbus) ? ", and ibus-daemon has exited" : "", errors);
  }
  return false;
}

QString TInputMethod::Engine() { return Ibus({"engine"}).value_or(QString()); }

QString TInputMethod::Log() const {
  return "--- dbus-daemon:\n" + ReadText(FDir + "/bus.log") + "--- ibus-daemon:\n" + ReadText(FDir + "/ibus.log");
}

std::vector<qint64> TInputMethod::Processes(const QString& tag) {
  std::vector<qint64> found;
  const QByteArray needle = QByteArray(1, '\0') + TagVariable + '=' + tag.toLocal8Bit() + '\0';
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool isPid = false;
    const qint64 pid = entry.toLongLong(&isPid);
    if (!isPid) continue;
    // A zombie's environment reads empty: it counts as gone.
    QFile environ("/proc/" + entry + "/environ");
    if (environ.open(QIODevice::ReadOnly) && (QByteArray(1, '\0') + environ.readAll()).contains(needle))
      found.push_back(pid);
  }
  return found;
}

void TInputMethod::Stop() {
  // TERM, then KILL what is left; by tag rather than by process tree, as ibus-x11 leaves the tree.
  auto terminate = [&](const std::function<std::vector<qint64>()>& find) {
    for (const int signal : {SIGTERM, SIGKILL}) {
      for (const qint64 pid : find()) ::kill(pid_t(pid), signal);
      if (WaitUntil([&] { return find().empty(); }, StopMs)) return;
    }
  };
  // The daemons' children first: the daemons reap them, where init might take its time.
  const std::vector<qint64> daemons = {FIbus ? FIbus->processId() : 0, FBus ? FBus->processId() : 0};
  terminate([&] {
    std::vector<qint64> found = Processes(FDir);
    std::erase_if(found, [&](qint64 pid) { return std::find(daemons.begin(), daemons.end(), pid) != daemons.end(); });
    return found;
  });
  terminate([&] { return Processes(FDir); });
  for (QProcess* process : {FIbus.get(), FBus.get()}) {
    if (process) process->waitForFinished(StopMs);  // reaps it
  }
  QDir(FDir).removeRecursively();
}

// ---- TChild

TChild::TChild(const QString& program, const QStringList& arguments, const QProcessEnvironment& env) {
  FProcess.setProcessEnvironment(env);
  FProcess.setProgram(program);
  FProcess.setArguments(arguments);
  FProcess.start();
  FStarted = FProcess.waitForStarted(ProcessStartMs);
}

TChild::~TChild() {
  if (Running()) {
    FProcess.kill();
    FProcess.waitForFinished(ProcessStartMs);
  }
  // What AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer print for a fault.
  static const QRegularExpression report(QStringLiteral("ERROR: \\w+Sanitizer|: runtime error: |SUMMARY: \\w+Sanitizer"));
  const QString errors = StdErr();
  if (errors.contains(report))
    ADD_FAILURE() << FProcess.program().toStdString() << " reported a fault:\n" << errors.toStdString();
}

bool TChild::Running() { return FProcess.state() != QProcess::NotRunning && !FProcess.waitForFinished(0); }

std::optional<QString> TChild::ReadLine(int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    FBuffer += FProcess.readAllStandardOutput();
    const auto newline = FBuffer.indexOf('\n');
    if (newline >= 0) {
      const QString line = QString::fromUtf8(FBuffer.left(newline));
      FBuffer.remove(0, newline + 1);
      return line;
    }
    const qint64 left = timeoutMs - timer.elapsed();
    if (left <= 0) return std::nullopt;
    if (!FProcess.waitForReadyRead(int(std::min<qint64>(left, 100))) && !Running()) {
      FBuffer += FProcess.readAllStandardOutput();
      if (FBuffer.indexOf('\n') < 0) return std::nullopt;
    }
  }
}

std::optional<QString> TChild::WaitForLine(const QString& prefix, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < timeoutMs) {
    auto line = ReadLine(int(timeoutMs - timer.elapsed()));
    if (!line) return std::nullopt;
    if (line->startsWith(prefix)) return line;
  }
  return std::nullopt;
}

void TChild::Send(const QString& line) {
  FProcess.write((line + '\n').toUtf8());
  FProcess.waitForBytesWritten(ProcessStartMs);
}

std::optional<int> TChild::WaitForExit(int timeoutMs) {
  if (Running() && !FProcess.waitForFinished(timeoutMs)) return std::nullopt;
  if (FProcess.exitStatus() != QProcess::NormalExit) return std::nullopt;
  return FProcess.exitCode();
}

void TChild::Kill(int signal) {
  if (Running()) ::kill(pid_t(Pid()), signal);
}

QString TChild::StdErr() {
  FErr += FProcess.readAllStandardError();
  return QString::fromLocal8Bit(FErr);
}

// ---- TXClient

TXClient::TXClient(const QString& display) {
  int screenNumber = 0;
  FConnection = xcb_connect(display.toLocal8Bit().constData(), &screenNumber);
  if (xcb_connection_has_error(FConnection)) return;
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
  for (int i = 0; i < screenNumber && it.rem > 1; ++i) xcb_screen_next(&it);
  FRoot = it.data->root;
}

TXClient::~TXClient() {
  if (FConnection) xcb_disconnect(FConnection);
}

xcb_atom_t TXClient::Atom(const char* name) {
  TMalloced<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(FConnection, xcb_intern_atom(FConnection, 0, std::strlen(name), name), nullptr));
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

QImage TXClient::Grab(const QRect& rect) {
  TMalloced<xcb_get_image_reply_t> reply(
      xcb_get_image_reply(FConnection,
                          xcb_get_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, FRoot, rect.x(), rect.y(), rect.width(),
                                        rect.height(), ~0u),
                          nullptr));
  if (!reply || xcb_get_image_data_length(reply.get()) < rect.width() * rect.height() * 4) return {};
  // Depth 24 in 32-bit little-endian pixels: the RGB32 layout.
  const QImage view(xcb_get_image_data(reply.get()), rect.width(), rect.height(), rect.width() * 4,
                    QImage::Format_RGB32);
  return view.copy();
}

QImage TXClient::GrabScreen() {
  TMalloced<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, FRoot), nullptr));
  if (!geometry) return {};
  return Grab(QRect(0, 0, geometry->width, geometry->height));
}

std::optional<TWindowInfo> TXClient::Info(xcb_window_t window) {
  TMalloced<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(FConnection, xcb_get_window_attributes(FConnection, window), nullptr));
  TMalloced<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, window), nullptr));
  TMalloced<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
      FConnection, xcb_translate_coordinates(FConnection, window, FRoot, 0, 0), nullptr));
  if (!attributes || !geometry || !origin) return std::nullopt;
  TWindowInfo info;
  info.Id = window;
  info.Geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
  info.Viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  info.OverrideRedirect = attributes->override_redirect;
  return info;
}

QString TXClient::Name(xcb_window_t window) {
  for (const auto& [property, type] : {std::pair{"_NET_WM_NAME", "UTF8_STRING"}, std::pair{"WM_NAME", "STRING"}}) {
    TMalloced<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        FConnection, xcb_get_property(FConnection, 0, window, Atom(property), Atom(type), 0, 1024), nullptr));
    if (reply && xcb_get_property_value_length(reply.get()) > 0) {
      return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                               xcb_get_property_value_length(reply.get()));
    }
  }
  return {};
}

std::vector<QString> TXClient::AtomNames(xcb_window_t window, const char* property) {
  std::vector<QString> names;
  TMalloced<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      FConnection, xcb_get_property(FConnection, 0, window, Atom(property), XCB_ATOM_ATOM, 0, 256), nullptr));
  if (!reply || reply->format != 32) return names;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  for (int i = 0; i < count; ++i) {
    TMalloced<xcb_get_atom_name_reply_t> name(
        xcb_get_atom_name_reply(FConnection, xcb_get_atom_name(FConnection, atoms[i]), nullptr));
    if (name) {
      names.push_back(
          QString::fromLatin1(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get())));
    }
  }
  return names;
}

void TXClient::Collect(xcb_window_t parent, xcb_atom_t pidAtom, qint64 pid, std::vector<TWindowInfo>& found) {
  TMalloced<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, parent), nullptr));
  if (!tree) return;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    TMalloced<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        FConnection, xcb_get_property(FConnection, 0, children[i], pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (reply && xcb_get_property_value_length(reply.get()) == 4) {
      // A client's window; what lies inside it is not top-level.
      if (*static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get())) == pid) {
        if (auto info = Info(children[i])) found.push_back(*info);
      }
      continue;
    }
    Collect(children[i], pidAtom, pid, found);  // window-manager frames hold the clients
  }
}

std::vector<TWindowInfo> TXClient::WindowsOfPid(qint64 pid) {
  std::vector<TWindowInfo> found;
  Collect(FRoot, Atom("_NET_WM_PID"), pid, found);
  return found;
}

std::optional<TWindowInfo> TXClient::FindWindow(qint64 pid, const QString& name) {
  for (const TWindowInfo& window : WindowsOfPid(pid)) {
    if (window.Viewable && Name(window.Id) == name) return window;
  }
  return std::nullopt;
}

std::optional<qint64> TXClient::PidOf(xcb_window_t window, xcb_atom_t pidAtom) {
  TMalloced<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      FConnection, xcb_get_property(FConnection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) != 4) return std::nullopt;
  return *static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
}

void TXClient::CollectEmbedded(xcb_window_t parent, xcb_atom_t pidAtom, qint64 pid, qint64 host,
                               std::vector<TWindowInfo>& found) {
  TMalloced<xcb_query_tree_reply_t> tree(
      xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, parent), nullptr));
  if (!tree) return;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
    const std::optional<qint64> owner = PidOf(children[i], pidAtom);
    if (owner == pid && host != 0 && host != pid) {
      if (auto info = Info(children[i])) found.push_back(*info);
      continue;
    }
    // `host`: the innermost client window around this one; 0 while among root and frames.
    CollectEmbedded(children[i], pidAtom, pid, owner.value_or(host), found);
  }
}

std::vector<TWindowInfo> TXClient::EmbeddedWindowsOfPid(qint64 pid) {
  std::vector<TWindowInfo> found;
  CollectEmbedded(FRoot, Atom("_NET_WM_PID"), pid, 0, found);
  return found;
}

xcb_window_t TXClient::InputFocus() {
  TMalloced<xcb_get_input_focus_reply_t> reply(
      xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr));
  return reply ? reply->focus : xcb_window_t{0};
}

xcb_window_t TXClient::ActiveWindow() {
  TMalloced<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      FConnection, xcb_get_property(FConnection, 0, FRoot, Atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
      nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) != 4) return 0;
  return *static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
}

bool TXClient::AskToClose(xcb_window_t window) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = Atom("_NET_CLOSE_WINDOW");
  event.data.data32[0] = XCB_CURRENT_TIME;
  event.data.data32[1] = 2;  // from a pager or the like, on the user's behalf
  const auto cookie = xcb_send_event_checked(FConnection, 0, FRoot,
                                             XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                             reinterpret_cast<const char*>(&event));
  TMalloced<xcb_generic_error_t> error(xcb_request_check(FConnection, cookie));
  return !error;
}

std::optional<QMargins> TXClient::FrameExtents(xcb_window_t window) {
  TMalloced<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      FConnection, xcb_get_property(FConnection, 0, window, Atom("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4),
      nullptr));
  if (!reply || xcb_get_property_value_length(reply.get()) != 16) return std::nullopt;
  // left, right, top, bottom
  const auto* e = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
}

xcb_window_t TXClient::SelectionOwner(const char* name) {
  TMalloced<xcb_get_selection_owner_reply_t> reply(
      xcb_get_selection_owner_reply(FConnection, xcb_get_selection_owner(FConnection, Atom(name)), nullptr));
  return reply ? reply->owner : xcb_window_t{0};
}

// ---- processes of a session

bool ProcessAlive(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return false;
  // "pid (comm) S ...": the state follows the last parenthesis, as comm may hold any.
  const QByteArray line = stat.readAll();
  const auto close = line.lastIndexOf(')');
  return close >= 0 && line.size() > close + 2 && line[close + 2] != 'Z';
}

std::vector<qint64> ProcessesOnDisplay(const QString& name, const QString& display) {
  std::vector<qint64> found;
  const QByteArray needle = QByteArray(1, '\0') + "DISPLAY=" + display.toLocal8Bit() + '\0';
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool isPid = false;
    const qint64 pid = entry.toLongLong(&isPid);
    if (!isPid) continue;
    if (ReadText("/proc/" + entry + "/comm").trimmed() != name) continue;
    QFile environ("/proc/" + entry + "/environ");
    if (!environ.open(QIODevice::ReadOnly) || !(QByteArray(1, '\0') + environ.readAll()).contains(needle)) continue;
    if (ProcessAlive(pid)) found.push_back(pid);
  }
  return found;
}

QStringList TrayHostArguments() {
  // As in scripts/xsession.
  return {"--edge",        "top",  "--align",           "right", "--widthtype", "request", "--height", "24",
          "--SetDockType", "true", "--SetPartialStrut", "false", "--expand",    "false"};
}

// ---- TXdotool

bool TXdotool::Run(const QStringList& arguments, QString* output) {
  QProcess xdotool;
  xdotool.setProcessEnvironment(FEnv);
  xdotool.start("xdotool", arguments);
  if (!xdotool.waitForFinished(ProcessStartMs)) {
    xdotool.kill();
    xdotool.waitForFinished();
    return false;
  }
  if (output) *output = QString::fromLocal8Bit(xdotool.readAllStandardOutput());
  return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

std::vector<xcb_window_t> TXdotool::Search(const QStringList& options) {
  QString output;
  std::vector<xcb_window_t> windows;
  Run(QStringList{"search"} + options, &output);  // exit code 1 just means "none found"
  for (const QString& line : output.split('\n', Qt::SkipEmptyParts)) windows.push_back(line.trimmed().toUInt());
  return windows;
}

// ---- TXSessionTest

void TXSessionTest::SetUp() {
  QString error;
  FSession = TXSession::Start(ScreenSize(), &error, Server());
  ASSERT_TRUE(FSession) << "scripts/xsession start failed: " << error.toStdString();
  FClient = std::make_unique<TXClient>(FSession->Display());
  ASSERT_TRUE(FClient->Connected()) << "cannot connect to " << FSession->Display().toStdString();
  FXdo = std::make_unique<TXdotool>(FSession->Environment());
}

void TXSessionTest::TearDown() {
  FXdo.reset();
  FClient.reset();
  FSession.reset();
}

std::unique_ptr<TChild> TXSessionTest::Spawn(const QString& program, const QStringList& arguments,
                                             const QProcessEnvironment* env) {
  auto child = std::make_unique<TChild>(program, arguments, env ? *env : FSession->Environment());
  EXPECT_TRUE(child->Started()) << "cannot start " << program.toStdString();
  return child;
}

int PatternMismatches(const QImage& image, bool inverted, const QRect& exclude) {
  int mismatches = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (exclude.contains(x, y)) continue;
      if (image.pixel(x, y) != PatternPixel(x, y, inverted)) ++mismatches;
    }
  }
  return mismatches;
}

QRect TXSessionTest::ShowPattern(TChild& probe, const QRect& where) {
  probe.Send(
      QStringLiteral("pattern %1 %2 %3 %4").arg(where.x()).arg(where.y()).arg(where.width()).arg(where.height()));
  const auto shown = probe.WaitForLine("shown");
  EXPECT_TRUE(shown);
  QRect geometry;
  EXPECT_TRUE(WaitUntil([&] {
    const auto info = X().Info(shown.value_or("shown 0").mid(6).toUInt());
    if (!info || !info->Viewable) return false;
    geometry = info->Geometry;
    return PatternMismatches(X().Grab(geometry)) == 0;
  })) << "the pattern window never showed its pattern";
  return geometry;
}

}  // namespace e2e
