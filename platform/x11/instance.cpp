#include "platform/instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// How long a second copy keeps trying to reach the first: the first may hold the lock for a
// moment before it listens.
constexpr int ConnectPatienceMs = 2000;
constexpr int ConnectRetryMs = 20;
// An activation message is a short name; anything longer is not ours.
constexpr qint64 MaxMessageBytes = 4096;
// A client sends its message and closes at once; one that dawdles longer is dropped.
constexpr int ClientPatienceMs = 2000;
// Clients served at once; a newer one pushes the oldest out, so a flood costs a bounded
// number of sockets and never shuts a real second start out for long.
constexpr int MaxClients = 32;
// Different messages waiting for the GUI thread; the same message waits only once.
constexpr int MaxQueued = 16;

// The folder the lock was looked for in by Acquire: held there by this copy or another one.
QString& InstanceFolder() {
  static QString folder;
  return folder;
}

// A folder only this user can enter: a real folder owned by the user, closed to everybody
// else. `tighten` closes one of ours that somebody (the user) left open.
bool PrivateFolder(const QString& path, bool followLink, bool tighten) {
  const QByteArray native = QFile::encodeName(path);
  struct stat info {};
  if ((followLink ? stat(native.constData(), &info) : lstat(native.constData(), &info)) != 0) return false;
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return false;
  if ((info.st_mode & 077) == 0) return true;
  return tighten && chmod(native.constData(), 0700) == 0;
}

bool MakePrivateFolder(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  if (mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return false;
  return PrivateFolder(path, /*followLink=*/false, /*tighten=*/true);
}

// Where the lock may live, best first: the runtime folder, when it is the user's own and
// private as it should be; a folder of ours in the temp folder, unless somebody else took
// its name; one in the home folder, named by host too, since homes are shared by machines.
struct TPlace {
  QString Folder;
  QString Host;
  bool Given = false;  // the session's runtime folder, checked already (it may be a link)
};

std::vector<TPlace> Places() {
  std::vector<TPlace> places;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && PrivateFolder(runtime, /*followLink=*/true, /*tighten=*/false)) places.push_back({runtime, {}, true});
  const QString user = QString::number(geteuid());
  places.push_back({QDir::tempPath() + QStringLiteral("/quilmar-") + user, {}});
  const QString home = qEnvironmentVariable("HOME");
  if (!home.isEmpty()) places.push_back({home + QStringLiteral("/.cache/quilmar"), QSysInfo::machineHostName()});
  return places;
}

bool MakePlace(const TPlace& place) {
  if (!place.Host.isNull()) QDir().mkpath(QFileInfo(place.Folder).path());
  // Our own folders are never links: one in the temp folder could be swapped by its owner.
  return place.Given || MakePrivateFolder(place.Folder);
}

// One lock and one socket per user and display: the same user on two displays runs two
// copies.
QString InstancePath(const TPlace& place, const QString& name, const char* suffix) {
  QString display = qEnvironmentVariable("DISPLAY");
  if (!place.Host.isEmpty()) display = place.Host + u'-' + display;
  for (QChar& ch : display) {
    if (!ch.isLetterOrNumber() && ch != u'.' && ch != u'-') ch = u'_';
  }
  return QStringLiteral("%1/%2-%3-%4%5")
      .arg(place.Folder, name, QString::number(geteuid()), display, QLatin1String(suffix));
}

QString InstancePath(const QString& name, const char* suffix) {
  for (const TPlace& place : Places()) {
    if (place.Folder == InstanceFolder()) return InstancePath(place, name, suffix);
  }
  return {};
}

bool SameUser(qintptr descriptor) {
  ucred peer{};
  socklen_t length = sizeof peer;
  return getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == geteuid();
}

class TFd {
 public:
  explicit TFd(int fd) : FFd(fd) {}
  ~TFd() {
    if (FFd >= 0) close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

long long MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

bool WriteAll(int fd, const QByteArray& data) {
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t n = send(fd, data.constData() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

TInstanceLock::TInstanceLock(std::unique_ptr<QLockFile> lock) : FLock(std::move(lock)) {}

TInstanceLock::~TInstanceLock() = default;

std::unique_ptr<TInstanceLock> TInstanceLock::Acquire(const QString& name) {
  for (const TPlace& place : Places()) {
    if (!MakePlace(place)) continue;
    auto lock = std::make_unique<QLockFile>(InstancePath(place, name, ".lock"));
    // Never stale by age: a copy may run for weeks. A lock whose process is gone is still
    // taken over, since QLockFile checks the recorded process.
    lock->setStaleLockTime(0);
    // tryLock creates the file exclusively: the test and the taking are one step.
    if (lock->tryLock(0)) {
      InstanceFolder() = place.Folder;
      return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::move(lock)));
    }
    if (lock->error() == QLockFile::LockFailedError) {
      InstanceFolder() = place.Folder;
      return nullptr;
    }
    // The folder cannot hold a lock (read-only, full); the next place may.
  }
  qWarning("No private folder for the one-copy lock was found; running without it.");
  InstanceFolder().clear();
  return std::unique_ptr<TInstanceLock>(new TInstanceLock(nullptr));
}

// Plain sockets, not QLocalSocket: the second copy sends before any application object
// exists. QLocalServer listens on this very path, so the two speak the same stream.
bool SendActivation(const QString& name, const QString& message) {
  const QByteArray path = QFile::encodeName(InstancePath(name, ".socket"));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.isEmpty() || path.size() >= qsizetype(sizeof(address.sun_path))) return false;
  std::memcpy(address.sun_path, path.constData(), path.size());

  const long long deadline = MonotonicMs() + ConnectPatienceMs;
  for (;;) {
    TFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) return false;
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
      return WriteAll(fd.Get(), message.toUtf8());
    if (MonotonicMs() >= deadline) return false;
    usleep(ConnectRetryMs * 1000);
  }
}

TActivationListener::TActivationListener(const QString& name, std::function<void(const QString&)> handler,
                                         QObject* parent)
    : QObject(parent), FServer(new QLocalServer(this)), FHandler(std::move(handler)) {
  const QString path = InstancePath(name, ".socket");
  if (path.isEmpty()) return;  // no private folder: a second start cannot reach us anyway
  // Only the holder of the instance lock listens, so a socket file already there is a dead
  // copy's leftover.
  QLocalServer::removeServer(path);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  if (!FServer->listen(path)) {
    qWarning("Activation requests cannot be received: %s", qPrintable(FServer->errorString()));
    return;
  }
  connect(FServer, &QLocalServer::newConnection, this, &TActivationListener::Accept);
}

TActivationListener::~TActivationListener() = default;

void TActivationListener::Accept() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    // The folder already keeps other users out; the peer's own word is checked as well.
    if (!SameUser(socket->socketDescriptor())) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    if (FClients.size() >= MaxClients) Drop(FClients.front());
    FClients.append(socket);
    // Qt stops reading once this much waits, so a client that sends on and on is dropped at
    // the limit instead of filling memory.
    socket->setReadBufferSize(MaxMessageBytes + 1);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->bytesAvailable() > MaxMessageBytes) Drop(socket);
    });
    connect(socket, &QLocalSocket::readChannelFinished, this, [this, socket] { Finish(socket); });
    QTimer::singleShot(ClientPatienceMs, socket, [this, socket] { Drop(socket); });
  }
}

void TActivationListener::Finish(QLocalSocket* socket) {
  if (!FClients.contains(socket)) return;
  const QByteArray data = socket->readAll();
  Drop(socket);
  if (data.isEmpty() || data.size() > MaxMessageBytes) return;
  const QString message = QString::fromUtf8(data);
  // A flood of requests is handled as one: the same message waits once for the GUI thread.
  if (FQueued.contains(message) || FQueued.size() >= MaxQueued) return;
  FQueued.append(message);
  QTimer::singleShot(0, this, [this, message] {
    FQueued.removeOne(message);
    if (FHandler) FHandler(message);
  });
}

void TActivationListener::Drop(QLocalSocket* socket) {
  if (!FClients.removeOne(socket)) return;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}
