#include "platform/instance.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QSysInfo>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/qt/qtraster.h"

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
  if (!runtime.isEmpty() && PrivateFolder(runtime, /*followLink=*/true, /*tighten=*/false))
    places.push_back({runtime, {}, true});
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

// The lock file; none when no private folder could be had.
struct TInstanceLock::THeld {
  std::unique_ptr<QLockFile> Lock;
};

TInstanceLock::TInstanceLock(std::unique_ptr<THeld> held) : FHeld(std::move(held)) {}

TInstanceLock::~TInstanceLock() = default;

std::unique_ptr<TInstanceLock> TInstanceLock::Acquire(const String& lockName) {
  const QString name = QStr(lockName);
  for (const TPlace& place : Places()) {
    if (!MakePlace(place)) continue;
    auto lock = std::make_unique<QLockFile>(InstancePath(place, name, ".lock"));
    // Never stale by age: a copy may run for weeks. A lock whose process is gone is still
    // taken over, since QLockFile checks the recorded process.
    lock->setStaleLockTime(0);
    // tryLock creates the file exclusively: the test and the taking are one step.
    if (lock->tryLock(0)) {
      InstanceFolder() = place.Folder;
      return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::make_unique<THeld>(THeld{std::move(lock)})));
    }
    if (lock->error() == QLockFile::LockFailedError) {
      InstanceFolder() = place.Folder;
      return nullptr;
    }
    // The folder cannot hold a lock (read-only, full); the next place may.
  }
  qWarning("No private folder for the one-copy lock was found; running without it.");
  InstanceFolder().clear();
  return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::make_unique<THeld>()));
}

// Plain sockets on both sides: the second copy sends before any application object exists, and
// the toolkit's network module would cost the resident copy a dozen libraries for one socket.
bool SendActivation(const String& name, const String& message) {
  const QByteArray path = QFile::encodeName(InstancePath(QStr(name), ".socket"));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.isEmpty() || path.size() >= qsizetype(sizeof(address.sun_path))) return false;
  std::memcpy(address.sun_path, path.constData(), path.size());

  const long long deadline = MonotonicMs() + ConnectPatienceMs;
  for (;;) {
    TFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.Get() < 0) return false;
    // A running copy that is hung with its queue of connections full would hold a blocking
    // connect or write for ever; the second start gives up after the same patience instead.
    const timeval patience{ConnectPatienceMs / 1000, (ConnectPatienceMs % 1000) * 1000};
    setsockopt(fd.Get(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    if (connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
      return WriteAll(fd.Get(), QByteArray::fromStdString(message));
    if (MonotonicMs() >= deadline) return false;
    usleep(ConnectRetryMs * 1000);
  }
}

namespace {

bool FillAddress(const QString& path, sockaddr_un& address) {
  const QByteArray native = QFile::encodeName(path);
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (native.isEmpty() || native.size() >= qsizetype(sizeof(address.sun_path))) return false;
  std::memcpy(address.sun_path, native.constData(), native.size());
  return true;
}

}  // namespace

class TActivationListener::TImpl : public QObject {
 public:
  TImpl(const QString& name, std::function<void(const String&)> handler);
  ~TImpl() override;

 private:
  struct TClient {
    std::uint64_t Serial = 0;
    int Fd = -1;
    QSocketNotifier* Notifier = nullptr;
    QByteArray Data;
  };
  void Accept();
  void Read(std::uint64_t serial);
  void Finish(TClient& client);
  void Drop(std::uint64_t serial);

  int FListener = -1;
  QByteArray FSocketPath;
  QSocketNotifier* FAccepting = nullptr;
  std::function<void(const String&)> FHandler;
  std::vector<std::unique_ptr<TClient>> FClients;  // oldest first
  std::uint64_t FNextSerial = 1;
  QStringList FQueued;
};

TActivationListener::TActivationListener(const String& name, std::function<void(const String&)> handler)
    : FImpl(std::make_unique<TImpl>(QStr(name), std::move(handler))) {}

TActivationListener::~TActivationListener() = default;

TActivationListener::TImpl::TImpl(const QString& name, std::function<void(const String&)> handler)
    : FHandler(std::move(handler)) {
  sockaddr_un address{};
  // No private folder: a second start cannot reach us anyway.
  if (!FillAddress(InstancePath(name, ".socket"), address)) return;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    qWarning("Activation requests cannot be received: %s", std::strerror(errno));
    return;
  }
  // Only the holder of the instance lock listens, so a socket file already there is a dead
  // copy's leftover.
  unlink(address.sun_path);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      chmod(address.sun_path, 0700) != 0 || listen(fd, MaxClients) != 0) {
    qWarning("Activation requests cannot be received: %s", std::strerror(errno));
    close(fd);
    return;
  }
  FListener = fd;
  FSocketPath = address.sun_path;
  FAccepting = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connect(FAccepting, &QSocketNotifier::activated, this, &TImpl::Accept);
}

TActivationListener::TImpl::~TImpl() {
  while (!FClients.empty()) Drop(FClients.front()->Serial);
  if (FListener >= 0) {
    delete FAccepting;
    close(FListener);
    // The next copy finds the folder as a first start leaves it.
    unlink(FSocketPath.constData());
  }
}

void TActivationListener::TImpl::Accept() {
  for (;;) {
    const int fd = accept4(FListener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      return;  // none waiting (or out of descriptors: the next request tries again)
    }
    // The folder already keeps other users out; the peer's own word is checked as well.
    if (!SameUser(fd)) {
      close(fd);
      continue;
    }
    if (FClients.size() >= std::size_t(MaxClients)) Drop(FClients.front()->Serial);
    auto client = std::make_unique<TClient>();
    const std::uint64_t serial = FNextSerial++;
    client->Serial = serial;
    client->Fd = fd;
    client->Notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(client->Notifier, &QSocketNotifier::activated, this, [this, serial] { Read(serial); });
    // Gone with the notifier: a client dropped earlier is not dropped twice.
    QTimer::singleShot(ClientPatienceMs, client->Notifier, [this, serial] { Drop(serial); });
    FClients.push_back(std::move(client));
  }
}

void TActivationListener::TImpl::Read(std::uint64_t serial) {
  const auto found =
      std::find_if(FClients.begin(), FClients.end(), [serial](const auto& c) { return c->Serial == serial; });
  if (found == FClients.end()) return;
  TClient& client = **found;
  char buffer[1024];
  for (;;) {
    const ssize_t n = recv(client.Fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // the rest comes later
    if (n == 0) return Finish(client);
    // A client that sends more than any message of ours is dropped at the limit instead of
    // filling memory; so is one whose connection failed.
    if (n < 0 || client.Data.size() + n > MaxMessageBytes) return Drop(serial);
    client.Data.append(buffer, n);
  }
}

void TActivationListener::TImpl::Finish(TClient& client) {
  const QByteArray data = client.Data;
  Drop(client.Serial);
  if (data.isEmpty() || data.size() > MaxMessageBytes) return;
  const QString message = QString::fromUtf8(data);
  // A flood of requests is handled as one: the same message waits once for the GUI thread.
  if (FQueued.contains(message) || FQueued.size() >= MaxQueued) return;
  FQueued.append(message);
  QTimer::singleShot(0, this, [this, message] {
    FQueued.removeOne(message);
    if (FHandler) FHandler(Str(message));
  });
}

void TActivationListener::TImpl::Drop(std::uint64_t serial) {
  const auto found =
      std::find_if(FClients.begin(), FClients.end(), [serial](const auto& c) { return c->Serial == serial; });
  if (found == FClients.end()) return;
  const std::unique_ptr<TClient> client = std::move(*found);
  FClients.erase(found);
  // Dropped from its own signal, perhaps: the notifier goes once that has returned, and watches
  // nothing meanwhile, so the descriptor can be closed now.
  client->Notifier->setEnabled(false);
  client->Notifier->disconnect(this);
  client->Notifier->deleteLater();
  close(client->Fd);
}
