#include "platform/instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <cerrno>
#include <cstring>

namespace {

// How long a second copy keeps trying to reach the first: the first may hold the lock for a
// moment before it listens.
constexpr int ConnectPatienceMs = 2000;
constexpr int ConnectRetryMs = 20;
// An activation message is a short name; anything longer is not ours.
constexpr qint64 MaxMessageBytes = 4096;

// One lock and one socket per user and display: the same user on two displays runs two
// copies. The runtime dir is private to the user; the temp dir is the fallback without one.
QString InstancePath(const QString& name, const char* suffix) {
  QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::tempPath();
  QString display = qEnvironmentVariable("DISPLAY");
  for (QChar& ch : display) {
    if (!ch.isLetterOrNumber() && ch != u'.') ch = u'_';
  }
  return QStringLiteral("%1/%2-%3-%4%5").arg(dir, name, QString::number(getuid()), display, QLatin1String(suffix));
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
  auto lock = std::make_unique<QLockFile>(InstancePath(name, ".lock"));
  // Never stale by age: a copy may run for weeks. A lock whose process is gone is still taken
  // over, since QLockFile checks the recorded process.
  lock->setStaleLockTime(0);
  // tryLock creates the file exclusively: the test and the taking are one step.
  if (!lock->tryLock(0)) return nullptr;
  return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::move(lock)));
}

// Plain sockets, not QLocalSocket: the second copy sends before any application object
// exists. QLocalServer listens on this very path, so the two speak the same stream.
bool SendActivation(const QString& name, const QString& message) {
  const QByteArray path = QFile::encodeName(InstancePath(name, ".socket"));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= qsizetype(sizeof(address.sun_path))) return false;
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
  // Only the holder of the instance lock listens, so a socket file already there is a dead
  // copy's leftover.
  QLocalServer::removeServer(path);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  if (!FServer->listen(path)) {
    qWarning("Activation requests cannot be received: %s", qPrintable(FServer->errorString()));
    return;
  }
  connect(FServer, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readChannelFinished, this, [this, socket] {
        const QByteArray data = socket->readAll();
        if (data.size() <= MaxMessageBytes && FHandler) FHandler(QString::fromUtf8(data));
      });
    }
  });
}

TActivationListener::~TActivationListener() = default;
