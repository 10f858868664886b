#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <set>

#include "tests/e2e/harness.h"

namespace e2e {
namespace {

const QString Probe = QStringLiteral(QUILMAR_E2E_PROBE);

class TServicesTest : public TXSessionTest {
 protected:
  std::unique_ptr<TChild> StartProbe(const QProcessEnvironment* env = nullptr) {
    auto probe = Spawn(Probe, {"gui"}, env);
    EXPECT_TRUE(probe->WaitForLine("ready"));
    return probe;
  }
  // Runs `command` in the probe and returns its answer.
  static QString Ask(TChild& probe, const QString& command) {
    probe.Send(command);
    return probe.ReadLine().value_or("(no answer)");
  }
};

// --- hot key

TEST_F(TServicesTest, HotKeyArrivesOnlyForExactlyCtrlF1WhateverTheLocksAndFocus) {
  auto probe = StartProbe();
  ASSERT_EQ(Ask(*probe, "hotkey"), "registered 1");

  ASSERT_TRUE(Xdo().Key("ctrl+F1"));
  EXPECT_EQ(probe->ReadLine().value_or("none"), "hotkey 7 2 112");

  // Neither other combination may arrive: the Ctrl+F1 pressed after them must be the next
  // thing the probe reports.
  for (const char* other : {"ctrl+shift+F1", "ctrl+alt+F1", "F1", "alt+F1", "shift+F1"}) ASSERT_TRUE(Xdo().Key(other));
  ASSERT_TRUE(Xdo().Key("ctrl+F1"));
  EXPECT_EQ(probe->ReadLine().value_or("none"), "hotkey 7 2 112");

  // Caps Lock and Num Lock on: still delivered, still exactly MOD_CONTROL.
  for (const char* lock : {"Caps_Lock", "Num_Lock", "Caps_Lock"}) {
    ASSERT_TRUE(Xdo().Key(lock));
    ASSERT_TRUE(Xdo().Key("ctrl+F1"));
    EXPECT_EQ(probe->ReadLine().value_or("none"), "hotkey 7 2 112") << "after " << lock;
  }
  ASSERT_TRUE(Xdo().Key("Num_Lock"));

  // With one of our own windows focused the key still comes through the grab.
  const auto shown = (probe->Send("show"), probe->WaitForLine("shown"));
  ASSERT_TRUE(shown);
  const xcb_window_t own = shown->mid(6).toUInt();
  ASSERT_TRUE(WaitUntil([&] { return X().Info(own) && X().Info(own)->Viewable; }));
  ASSERT_TRUE(Xdo().Activate(own));
  ASSERT_TRUE(Xdo().Key("ctrl+F1"));
  EXPECT_EQ(probe->ReadLine().value_or("none"), "hotkey 7 2 112");

  // Unregistered, the key goes nowhere near the probe.
  ASSERT_EQ(Ask(*probe, "unhotkey"), "unregistered");
  ASSERT_TRUE(Xdo().Key("ctrl+F1"));
  EXPECT_EQ(Ask(*probe, "ping"), "pong");
}

TEST_F(TServicesTest, HotKeyHeldByAnotherClientIsRefusedWithoutHarm) {
  auto holder = StartProbe();
  auto second = StartProbe();
  ASSERT_EQ(Ask(*holder, "hotkey"), "registered 1");
  EXPECT_EQ(Ask(*second, "hotkey"), "registered 0");
  EXPECT_EQ(Ask(*second, "ping"), "pong");

  // The refused registration took nothing from the holder.
  ASSERT_TRUE(Xdo().Key("ctrl+F1"));
  EXPECT_EQ(holder->ReadLine().value_or("none"), "hotkey 7 2 112");

  // Once the holder lets go, the key can be had.
  ASSERT_EQ(Ask(*holder, "unhotkey"), "unregistered");
  EXPECT_EQ(Ask(*second, "hotkey"), "registered 1");
  ASSERT_TRUE(Xdo().Key("ctrl+F1"));
  EXPECT_EQ(second->ReadLine().value_or("none"), "hotkey 7 2 112");
}

// --- capture

struct TCaptureCase {
  const char* Name;
  bool NoShm;
};

class TCaptureTest : public TServicesTest, public ::testing::WithParamInterface<TCaptureCase> {};

TEST_P(TCaptureTest, CaptureEqualsTheScreenAndThePattern) {
  QProcessEnvironment env = Session().Environment();
  if (GetParam().NoShm) env.insert("QUILMAR_NO_SHM", "1");
  auto probe = StartProbe(&env);
  const QRect pattern = ShowPattern(*probe, {130, 90, 333, 217});

  const qint64 frameBytes = qint64(Session().Size().width()) * Session().Size().height() * 4;
  ASSERT_EQ(Ask(*probe, "prepare"), "prepared");
  // The shared segment exists from PrepareCapture on, never with the fallback.
  EXPECT_EQ(ShmSegmentsOf(probe->Pid(), frameBytes), GetParam().NoShm ? 0 : 1);

  QTemporaryDir dir;
  const QString file = dir.filePath("capture.png");
  ASSERT_EQ(Ask(*probe, "capture " + file), "captured 1");
  const QImage captured = QImage(file).convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(captured.size(), Session().Size());
  EXPECT_EQ(PatternMismatches(captured.copy(pattern)), 0);
  EXPECT_EQ(captured, X().GrabScreen());

  // A second capture sees the screen as it is now, not the first one again.
  ASSERT_EQ(Ask(*probe, "invert"), "inverted");
  ASSERT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), true) == 0; }));
  ASSERT_EQ(Ask(*probe, "capture " + file), "captured 1");
  EXPECT_EQ(PatternMismatches(QImage(file).copy(pattern), true), 0);
  EXPECT_EQ(ShmSegmentsOf(probe->Pid(), frameBytes), GetParam().NoShm ? 0 : 1);
}

TEST_P(TCaptureTest, CaptureInPlaceIntoItsOwnMemoryAndBesideItIntoAnotherBitmap) {
  QProcessEnvironment env = Session().Environment();
  if (GetParam().NoShm) env.insert("QUILMAR_NO_SHM", "1");
  auto probe = StartProbe(&env);
  const QRect pattern = ShowPattern(*probe, {130, 90, 333, 217});
  const qint64 frameBytes = qint64(Session().Size().width()) * Session().Size().height() * 4;
  QTemporaryDir dir;
  const QString inPlace = dir.filePath("in-place.png"), beside = dir.filePath("beside.png");

  const QString shared = GetParam().NoShm ? "0" : "1";
  ASSERT_EQ(Ask(*probe, "sharedcapture " + inPlace), "captured 1 shared " + shared);
  const QImage first = QImage(inPlace).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(PatternMismatches(first.copy(pattern)), 0);
  EXPECT_EQ(first, X().GrabScreen());
  // The bitmap is the segment: no second screen-sized one.
  EXPECT_EQ(ShmSegmentsOf(probe->Pid(), frameBytes), GetParam().NoShm ? 0 : 1);

  // While that bitmap holds its picture, a capture into another one sees the screen as it is
  // now and leaves the held picture alone.
  ASSERT_EQ(Ask(*probe, "invert"), "inverted");
  ASSERT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), true) == 0; }));
  ASSERT_EQ(Ask(*probe, "capture " + beside), "captured 1");
  EXPECT_EQ(PatternMismatches(QImage(beside).copy(pattern), true), 0);
  ASSERT_EQ(Ask(*probe, "saveshared " + inPlace), "saved 1");
  EXPECT_EQ(PatternMismatches(QImage(inPlace).copy(pattern)), 0) << "overwritten by the other capture";
  EXPECT_EQ(ShmSegmentsOf(probe->Pid(), frameBytes), GetParam().NoShm ? 0 : 1);

  // Made anew on the same memory, it captures the screen as it is now.
  ASSERT_EQ(Ask(*probe, "sharedcapture " + inPlace), "captured 1 shared " + shared);
  EXPECT_EQ(PatternMismatches(QImage(inPlace).copy(pattern), true), 0);
}

// A window handed its first frame shows it from the map on, before and without any paint of its
// own; once forgotten, a part uncovered again is no longer filled from it.
TEST_P(TCaptureTest, AFirstFrameHandedAheadShowsAtTheMapWithoutAPaint) {
  QProcessEnvironment env = Session().Environment();
  if (GetParam().NoShm) env.insert("QUILMAR_NO_SHM", "1");
  auto probe = StartProbe(&env);
  const QRect pattern = ShowPattern(*probe, {130, 90, 333, 217});
  QTemporaryDir dir;
  const QString file = dir.filePath("picture.png");
  ASSERT_EQ(Ask(*probe, "sharedcapture " + file), QString("captured 1 shared %1").arg(GetParam().NoShm ? 0 : 1));
  const QImage picture = QImage(file).convertToFormat(QImage::Format_RGB32);
  // The screen moves on: the window must show the picture captured, not what lies under it.
  ASSERT_EQ(Ask(*probe, "invert"), "inverted");
  ASSERT_TRUE(WaitUntil([&] { return PatternMismatches(X().Grab(pattern), true) == 0; }));

  const QRect overlay(200, 150, 120, 30);  // inside the pattern
  // Without shared memory the picture would cross the socket: no frame is handed over.
  ASSERT_EQ(Ask(*probe, QString("firstframe %1 %2 %3 %4")
                            .arg(overlay.x())
                            .arg(overlay.y())
                            .arg(overlay.width())
                            .arg(overlay.height())),
            QString("preset %1").arg(GetParam().NoShm ? 0 : 1));
  if (GetParam().NoShm) return;
  const auto overlayShown = [&] {
    const QImage block = X().Grab(overlay);
    for (int y = 0; y < block.height(); ++y)
      for (int x = 0; x < block.width(); ++x)
        if ((block.pixel(x, y) & 0xffffff) != FrameOverlay) return false;
    return true;
  };
  ASSERT_TRUE(WaitUntil([&] {
    return overlayShown() && PatternMismatches(X().Grab(pattern), false, overlay.translated(-pattern.topLeft())) == 0;
  })) << "the window does not show the frame handed to it";

  // Forgotten, the frame is not what fills a part uncovered again.
  ASSERT_EQ(Ask(*probe, "forgetframe"), "forgot");
  probe->Send("show");
  ASSERT_TRUE(probe->WaitForLine("shown"));
  const QRect plain(500, 300, 200, 100);
  ASSERT_TRUE(WaitUntil([&] { return (X().Grab(plain).pixel(100, 50) & 0xffffff) == 0x0000ff; })) << "no plain window";
  ASSERT_EQ(Ask(*probe, "hide"), "hidden");
  EXPECT_FALSE(WaitUntil([&] { return X().Grab(plain) == picture.copy(plain); }, 1000))
      << "the forgotten frame filled the uncovered part";
}

INSTANTIATE_TEST_SUITE_P(Paths, TCaptureTest,
                         ::testing::Values(TCaptureCase{"SharedMemory", false}, TCaptureCase{"GetImageFallback", true}),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- task bar

TEST_F(TServicesTest, EveryShownWindowSkipsTheTaskbarOnEveryShowing) {
  auto probe = StartProbe();
  auto shownWindow = [&](const char* command) {
    probe->Send(command);
    const auto line = probe->WaitForLine("shown");
    EXPECT_TRUE(line) << command;
    const xcb_window_t window = line.value_or("shown 0").mid(6).toUInt();
    EXPECT_TRUE(WaitUntil([&] { return X().Info(window) && X().Info(window)->Viewable; }));
    return window;
  };
  auto skips = [&](xcb_window_t window) {
    return X().HasState(window, "_NET_WM_STATE_SKIP_TASKBAR") && X().HasState(window, "_NET_WM_STATE_SKIP_PAGER");
  };

  // Without the service a window does get a task-bar entry: the check can tell.
  const xcb_window_t plain = shownWindow("show");
  EXPECT_FALSE(skips(plain));
  ASSERT_EQ(Ask(*probe, "hide"), "hidden");

  ASSERT_EQ(Ask(*probe, "taskbar"), "hiding");
  EXPECT_TRUE(skips(shownWindow("show")));
  ASSERT_EQ(Ask(*probe, "hide"), "hidden");
  ASSERT_TRUE(WaitUntil([&] { return !X().Info(plain)->Viewable; }));
  EXPECT_TRUE(skips(shownWindow("show"))) << "lost on the second showing";

  const xcb_window_t message = shownWindow("msgbox");
  EXPECT_TRUE(skips(message)) << "a message box Qt made";
}

// --- single instance

class TInstanceTest : public TXSessionTest {
 protected:
  std::unique_ptr<TChild> StartLock(const QProcessEnvironment* env = nullptr) {
    return Spawn(Probe, {"lock", "OneInstanceAllowed"}, env);
  }
};

TEST_F(TInstanceTest, TenAtOnceLeaveExactlyOneAndTheOthersReachIt) {
  std::vector<std::unique_ptr<TChild>> copies;
  for (int i = 0; i < 10; ++i) copies.push_back(StartLock());

  TChild* winner = nullptr;
  int losers = 0;
  for (auto& copy : copies) {
    const auto line = copy->ReadLine(10000);
    ASSERT_TRUE(line) << copy->StdErr().toStdString();
    if (*line == "won") {
      EXPECT_EQ(winner, nullptr) << "two copies took the lock";
      winner = copy.get();
    } else {
      EXPECT_EQ(*line, "lost sent=1");
      EXPECT_EQ(copy->WaitForExit(), 0);
      ++losers;
    }
  }
  ASSERT_NE(winner, nullptr);
  EXPECT_EQ(losers, 9);
  EXPECT_TRUE(winner->Running());

  std::set<QString> messages;
  for (int i = 0; i < 9; ++i) {
    const auto line = winner->WaitForLine("message ");
    ASSERT_TRUE(line) << "only " << i << " activation messages arrived";
    messages.insert(*line);
  }
  EXPECT_EQ(messages.size(), 9u);
}

TEST_F(TInstanceTest, LockOfAKilledCopyIsTakenOverButALiveOneNeverGoesStale) {
  auto first = StartLock();
  ASSERT_EQ(first->ReadLine().value_or(""), "won");

  // A lock file's age says nothing about its holder: an old lock of a running copy holds.
  const QStringList locks = QDir(Session().RuntimeDir()).entryList({"*.lock"});
  ASSERT_EQ(locks.size(), 1);
  QFile lockFile(Session().RuntimeDir() + "/" + locks.front());
  ASSERT_TRUE(lockFile.open(QIODevice::ReadWrite));
  ASSERT_TRUE(lockFile.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
  lockFile.close();
  auto second = StartLock();
  EXPECT_EQ(second->ReadLine().value_or(""), "lost sent=1");
  EXPECT_TRUE(first->WaitForLine("message "));

  first->Kill(SIGKILL);
  ASSERT_FALSE(first->WaitForExit().has_value());  // killed, no exit code
  auto third = StartLock();
  EXPECT_EQ(third->ReadLine().value_or(""), "won");
  // Its listener replaced the dead copy's socket.
  auto fourth = StartLock();
  EXPECT_EQ(fourth->ReadLine().value_or(""), "lost sent=1");
  EXPECT_TRUE(third->WaitForLine("message "));
}

TEST_F(TInstanceTest, OneCopyPerDisplay) {
  auto here = StartLock();
  ASSERT_EQ(here->ReadLine().value_or(""), "won");
  QProcessEnvironment elsewhere = Session().Environment();
  elsewhere.insert("DISPLAY", Session().Display() + "7");
  auto there = StartLock(&elsewhere);
  EXPECT_EQ(there->ReadLine().value_or(""), "won");
}

// Where the lock lives: the runtime folder only when it is the user's own and private, else a
// private folder of ours in the temp folder, else one in the home folder. Names another user
// took first, a runtime folder missing, open to others or not writable: exactly one copy
// starts and the others reach it.
TEST_F(TInstanceTest, AnotherUserCannotHoldOrReachOurLock) {
  QTemporaryDir scratch;
  ASSERT_TRUE(scratch.isValid());
  const QString tmp = scratch.path() + "/tmp";
  const QString home = scratch.path() + "/home";
  const QString user = QString::number(geteuid());
  const QString ours = tmp + "/quilmar-" + user;
  const bool root = geteuid() == 0;
  constexpr uid_t Nobody = 65534;

  // A folder of somebody else's: owned by nobody and open to all.
  auto foreignFolder = [&](const QString& path) {
    QDir().mkpath(path);
    chmod(QFile::encodeName(path).constData(), 0777);
    return chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0;
  };
  // A lock that names a live process (the test itself), as a squatter would leave it.
  auto squatLock = [&](const QString& folder) {
    QFile lock(folder + "/OneInstanceAllowed-" + user + "-" + QString(Session().Display()).replace(':', '_') + ".lock");
    return lock.open(QIODevice::WriteOnly) &&
           lock.write(QByteArray::number(getpid()) + "\nquilmar\n" + QSysInfo::machineHostName().toUtf8() + "\n") > 0;
  };

  struct TCase {
    const char* What;
    std::function<QString()> Prepare;  // the runtime folder to give, after making the scene
    QString ExpectedFolder;
    bool NeedsRoot;
  };
  const std::vector<TCase> cases = {
      {"no runtime folder", [&] { return scratch.path() + "/missing"; }, ours, false},
      {"a runtime folder open to others",
       [&] {
         const QString open = scratch.path() + "/open";
         QDir().mkpath(open);
         chmod(QFile::encodeName(open).constData(), 0777);
         return open;
       },
       ours, false},
      {"a runtime folder of another user",
       [&] {
         const QString foreign = scratch.path() + "/foreign";
         EXPECT_TRUE(foreignFolder(foreign));
         EXPECT_TRUE(squatLock(foreign));
         return foreign;
       },
       ours, true},
      {"our temp name taken by another user, with a live lock in it and beside it",
       [&] {
         EXPECT_TRUE(foreignFolder(ours));
         EXPECT_TRUE(squatLock(ours));
         EXPECT_TRUE(squatLock(tmp));
         return QString();
       },
       home + "/.cache/quilmar", true},
      {"our temp name a link to another user's folder",
       [&] {
         const QString target = scratch.path() + "/target";
         EXPECT_TRUE(foreignFolder(target));
         EXPECT_TRUE(QFile::link(target, ours));
         return QString();
       },
       home + "/.cache/quilmar", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    if (c.NeedsRoot && !root) continue;  // only root can make a folder that is somebody else's
    QDir(tmp).removeRecursively();
    QDir(home).removeRecursively();
    QFile::remove(ours);
    ASSERT_TRUE(QDir().mkpath(tmp));
    ASSERT_TRUE(QDir().mkpath(home));
    chmod(QFile::encodeName(tmp).constData(), 01777);
    QProcessEnvironment env = Session().Environment();
    env.insert("TMPDIR", tmp);
    env.insert("HOME", home);
    const QString runtime = c.Prepare();
    if (runtime.isEmpty())
      env.remove("XDG_RUNTIME_DIR");
    else
      env.insert("XDG_RUNTIME_DIR", runtime);

    auto first = StartLock(&env);
    ASSERT_EQ(first->ReadLine(10000).value_or(""), "won") << first->StdErr().toStdString();
    auto second = StartLock(&env);
    EXPECT_EQ(second->ReadLine(10000).value_or(""), "lost sent=1");
    EXPECT_TRUE(first->WaitForLine("message hello"));

    // The lock and the socket are in a private folder of ours.
    const QStringList locks = QDir(c.ExpectedFolder).entryList({"OneInstanceAllowed-*.lock"});
    EXPECT_EQ(locks.size(), 1) << c.ExpectedFolder.toStdString();
    EXPECT_EQ(QDir(c.ExpectedFolder).entryList({"OneInstanceAllowed-*.socket"}, QDir::System).size(), 1);
    struct stat info {};
    ASSERT_EQ(lstat(QFile::encodeName(c.ExpectedFolder).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
    first->Send("quit");
    EXPECT_EQ(first->WaitForExit(), 0);
  }
}

}  // namespace
}  // namespace e2e
