// Calls run later from the message loop: never inside the handler that queues them, each once,
// in the order queued, and a delayed one not before it is due.
#include "platform/timers.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <string>
#include <vector>

#include "platform/application.h"

namespace {

TEST(QueuedCalls, RunOnceInOrderAfterTheHandlerThatQueuedThem) {
  std::vector<std::string> log;
  bool handled = false;
  QueueCall([&] {
    QueueCall([&] { log.push_back("first"); });
    CallAfter(-1, [&] { log.push_back("second"); });  // a delay below zero is none
    log.push_back("handler");
    handled = true;
  });
  EXPECT_FALSE(handled) << "ran inside QueueCall";
  QTRY_COMPARE(log.size(), std::size_t(3));
  Application->ProcessMessages();
  Application->ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"handler", "first", "second"}));
}

TEST(QueuedCalls, ADelayedCallWaitsItsTime) {
  int calls = 0;
  QElapsedTimer clock;
  clock.start();
  qint64 ranAfter = -1;
  CallAfter(200, [&] {
    ++calls;
    ranAfter = clock.elapsed();
  });
  Application->ProcessMessages();
  EXPECT_EQ(calls, 0);
  QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
  EXPECT_GE(ranAfter, 200 - 1);  // timers may round to the millisecond
  QTest::qWait(50);
  EXPECT_EQ(calls, 1);
}

}  // namespace
