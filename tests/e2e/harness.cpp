#include "tests/e2e/harness.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
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

std::unique_ptr<TXSession> TXSession::Start(QSize size, QString* error) {
  QProcess start;
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

QString TChild::StdErr() { return QString::fromLocal8Bit(FProcess.readAllStandardError()); }

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
  FSession = TXSession::Start(ScreenSize(), &error);
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
