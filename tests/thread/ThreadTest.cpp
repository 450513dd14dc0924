#include "s/thread/Thread.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using s::thread::ITask;
using s::thread::RunMode;
using s::thread::win::Thread;

// Bounds for things expected to happen quickly: generous, so that a loaded
// machine never fails a correct build.
constexpr auto LONG_WAIT = 20s;
constexpr std::int32_t LONG_WAIT_MS = 20000;
// An interval no test could live through: a run request with it must never
// actually wait that long.
constexpr std::int32_t HOUR_MS = 3600 * 1000;

// A task that counts its runs and records when each started and ended and on
// which kernel thread. One chosen run can be held inside the task until
// release(); a hook runs inside every run with its number (from 1).
class Recorder final : public ITask {
 public:
  std::function<void(int)> hook;

  void holdRun(int number) {
    std::lock_guard lock(mutex_);
    held_ = number;
  }
  void release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

  void run() override {
    int number = 0;
    {
      std::unique_lock lock(mutex_);
      number = static_cast<int>(starts_.size()) + 1;
      starts_.push_back(Clock::now());
      tids_.push_back(static_cast<std::int32_t>(gettid()));
      ++active_;
      changed_.notify_all();
      if (number == held_) changed_.wait(lock, [this] { return released_; });
    }
    if (hook) hook(number);
    std::lock_guard lock(mutex_);
    ends_.push_back(Clock::now());
    --active_;
    changed_.notify_all();
  }

  bool waitStarted(int count) {
    return waitFor([&] { return started() >= count; });
  }
  bool waitEnded(int count) {
    return waitFor([&] { return ended() >= count; });
  }

  int started() const { return static_cast<int>(starts_.size()); }
  int ended() const { return static_cast<int>(ends_.size()); }
  int startedNow() {
    std::lock_guard lock(mutex_);
    return started();
  }
  int endedNow() {
    std::lock_guard lock(mutex_);
    return ended();
  }
  int activeNow() {
    std::lock_guard lock(mutex_);
    return active_;
  }
  Clock::time_point startOf(int number) {
    std::lock_guard lock(mutex_);
    return starts_.at(number - 1);
  }
  Clock::time_point endOf(int number) {
    std::lock_guard lock(mutex_);
    return ends_.at(number - 1);
  }
  std::int32_t tidOf(int number) {
    std::lock_guard lock(mutex_);
    return tids_.at(number - 1);
  }

 private:
  template <class Predicate>
  bool waitFor(Predicate done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, LONG_WAIT, done);
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Clock::time_point> starts_;
  std::vector<Clock::time_point> ends_;
  std::vector<std::int32_t> tids_;
  int active_ = 0;
  int held_ = 0;
  bool released_ = false;
};

// Runs `action` on a helper thread and requires it to return within LONG_WAIT.
// A hung helper cannot be joined, so a time-out ends the whole test program
// instead of hanging it.
void finishesInTime(const std::function<void()>& action) {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  std::thread helper([&] {
    action();
    std::lock_guard lock(mutex);
    done = true;
    changed.notify_all();
  });
  {
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, LONG_WAIT, [&] { return done; })) {
      std::fprintf(stderr, "an operation that should return promptly hung\n");
      std::abort();
    }
  }
  helper.join();
}

// True when this process may lower a thread's priority two steps and still
// tell the levels apart (nice values stop at 19).
bool lowPrioritiesAreDistinct() {
  return getpriority(PRIO_PROCESS, 0) <= 19 - 10;
}

using Request = std::function<bool(Thread&, ITask*)>;
struct NamedRequest {
  const char* name;
  Request request;
};

TEST(ThreadSchedule, PauseBeforeNextRun) {
  struct Case {
    RunMode mode;
    std::int32_t intervalMs;
    std::int32_t remaining;
    std::chrono::nanoseconds runTime;
    std::chrono::nanoseconds expected;
  };
  const Case cases[] = {
      {RunMode::BackToBack, 100, 3, 5ms, 0ms},
      {RunMode::Pause, 500, 2, 10ms, 500ms},
      {RunMode::Pause, 500, -1, 900ms, 500ms},  // without end: pause regardless of run time
      {RunMode::Pause, 500, 0, 10ms, 0ms},      // never after the last run
      {RunMode::Period, 100, 1, 30ms, 70ms},    // the rest of the period
      {RunMode::Period, 100, -1, 0ms, 100ms},
      {RunMode::Period, 100, 1, 100ms, 0ms},  // the run took the whole period
      {RunMode::Period, 100, 1, 150ms, 0ms},  // or longer: next run at once
      {RunMode::Period, 100, 0, 30ms, 0ms},
      {RunMode::Pause, 0, 2, 10ms, 0ms},
      {RunMode::Pause, -5, 2, 10ms, 0ms},
      {RunMode::Period, -5, 2, 10ms, 0ms},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Thread::pauseBeforeNextRun(c.mode, c.intervalMs, c.remaining, c.runTime), c.expected)
        << "mode " << static_cast<int>(c.mode) << ", interval " << c.intervalMs << ", remaining "
        << c.remaining << ", run time " << c.runTime.count() << " ns";
  }
}

TEST(ThreadPriority, RelativeLevelsMapToNiceValuesAndBack) {
  struct Case {
    int baseNice;
    std::int32_t priority;
    int nice;
    std::int32_t readBack;
  };
  const Case cases[] = {
      {0, -2, 10, -2},  {0, -1, 5, -1}, {0, 0, 0, 0},     {0, 1, -5, 1}, {0, 2, -10, 2},
      {4, -2, 14, -2},  {4, 1, -1, 1},  {-20, 2, -20, 0},  // cannot go above the top
      {17, -1, 19, -1},                                    // clamped at the bottom
      {17, -2, 19, -1},                                    // the same nice value as -1 here
  };
  for (const Case& c : cases) {
    const int nice = Thread::niceFor(c.priority, c.baseNice);
    EXPECT_EQ(nice, c.nice) << "base " << c.baseNice << ", priority " << c.priority;
    EXPECT_EQ(Thread::priorityFor(nice, c.baseNice), c.readBack)
        << "base " << c.baseNice << ", priority " << c.priority;
  }
  // Nice values between two levels read as the level further from normal.
  EXPECT_EQ(Thread::priorityFor(1, 0), -1);
  EXPECT_EQ(Thread::priorityFor(6, 0), -2);
  EXPECT_EQ(Thread::priorityFor(-4, 0), 1);
  EXPECT_EQ(Thread::priorityFor(19, 0), -2);
}

TEST(ThreadRequests, RunOnceAndCountedRunHappenOnTheWorkerThenItIsIdleAgain) {
  Thread thread;
  const std::int32_t tid = thread.getThreadId();
  EXPECT_NE(tid, 0);
  EXPECT_NE(tid, static_cast<std::int32_t>(gettid()));
  EXPECT_TRUE(thread.isIdle());
  EXPECT_EQ(thread.getClassTag(), Thread::CLASS_TAG);

  Recorder task;
  ASSERT_TRUE(thread.run(&task));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_EQ(task.endedNow(), 1);
  EXPECT_EQ(task.tidOf(1), tid);
  EXPECT_TRUE(thread.isIdle());

  ASSERT_TRUE(thread.run(&task, 4));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_EQ(task.endedNow(), 5);
  EXPECT_EQ(task.tidOf(5), tid);
  EXPECT_EQ(thread.getThreadId(), tid);

  // Requests that ask for nothing leave the thread idle; a count below -1 is
  // refused.
  EXPECT_TRUE(thread.run(&task, 0));
  EXPECT_TRUE(thread.run(nullptr));
  EXPECT_TRUE(thread.runForever(nullptr));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_FALSE(thread.run(&task, -2));
  EXPECT_TRUE(thread.isIdle());
  EXPECT_EQ(task.endedNow(), 5);
}

TEST(ThreadRequests, NoWakeUpIsLostBetweenGoingIdleAndParking) {
  // Each request arrives just as the worker has set idle and is about to park:
  // the window in which a wake-up would be lost if parking were not tied to the
  // request under one lock.
  Thread thread;
  Recorder task;
  constexpr int ROUNDS = 3000;
  for (int i = 0; i < ROUNDS; ++i) {
    ASSERT_TRUE(thread.run(&task));
    ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS)) << "round " << i;
  }
  EXPECT_EQ(task.endedNow(), ROUNDS);
}

TEST(ThreadRequests, ATaskMayRequestItsOwnNextRun) {
  Thread thread;
  Recorder task;
  task.hook = [&](int number) {
    if (number < 5) {
      EXPECT_TRUE(thread.run(&task));
    }
  };
  ASSERT_TRUE(thread.run(&task));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_EQ(task.endedNow(), 5);
}

TEST(ThreadRequests, PausesSeparateTheEndOfARunFromTheNextStart) {
  Thread thread;
  Recorder task;
  ASSERT_TRUE(thread.runWithPause(&task, 3, 100));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  ASSERT_EQ(task.endedNow(), 3);
  for (int run = 2; run <= 3; ++run)
    EXPECT_GE(task.startOf(run) - task.endOf(run - 1), 100ms) << "before run " << run;
}

TEST(ThreadRequests, PeriodSpacesTheStartsOfRuns) {
  Thread thread;
  Recorder task;
  ASSERT_TRUE(thread.runAtPeriod(&task, 3, 200));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  ASSERT_EQ(task.endedNow(), 3);
  // The worker takes the start time just before the task does, so the task's
  // own readings may differ from the period by that instant; 20 ms allows it.
  for (int run = 2; run <= 3; ++run)
    EXPECT_GE(task.startOf(run) - task.startOf(run - 1), 180ms) << "before run " << run;
}

TEST(ThreadRequests, ARunLongerThanThePeriodIsFollowedAtOnce) {
  Thread thread;
  Recorder task;
  task.hook = [](int number) {
    if (number == 1) std::this_thread::sleep_for(700ms);
  };
  ASSERT_TRUE(thread.runAtPeriod(&task, 2, 600));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  ASSERT_EQ(task.endedNow(), 2);
  // Waiting a whole period again after the long run would take at least 600 ms.
  EXPECT_LT(task.startOf(2) - task.endOf(1), 600ms);
}

TEST(ThreadRequests, NoPauseOrPeriodFollowsTheLastRun) {
  const NamedRequest requests[] = {
      {"runWithPause", [](Thread& t, ITask* k) { return t.runWithPause(k, 1, HOUR_MS); }},
      {"runAtPeriod", [](Thread& t, ITask* k) { return t.runAtPeriod(k, 1, HOUR_MS); }},
  };
  for (const NamedRequest& r : requests) {
    SCOPED_TRACE(r.name);
    Thread thread;
    Recorder task;
    ASSERT_TRUE(r.request(thread, &task));
    EXPECT_TRUE(thread.waitIdle(LONG_WAIT_MS));
    EXPECT_EQ(task.endedNow(), 1);
  }
}

TEST(ThreadStop, StopRepeatingLetsTheCurrentRunFinishThenParks) {
  const NamedRequest requests[] = {
      {"runForever", [](Thread& t, ITask* k) { return t.runForever(k); }},
      {"run 5 times", [](Thread& t, ITask* k) { return t.run(k, 5); }},
      {"runForeverWithPause", [](Thread& t, ITask* k) { return t.runForeverWithPause(k, 1); }},
      {"runForeverAtPeriod", [](Thread& t, ITask* k) { return t.runForeverAtPeriod(k, 1); }},
  };
  for (const NamedRequest& r : requests) {
    SCOPED_TRACE(r.name);
    Thread thread;
    Recorder task;
    task.holdRun(1);
    ASSERT_TRUE(r.request(thread, &task));
    ASSERT_TRUE(task.waitStarted(1));
    thread.stopRepeating();
    EXPECT_FALSE(thread.isIdle());  // run 1 is still inside the task
    task.release();
    ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
    EXPECT_EQ(task.endedNow(), 1);
    // Parked, not gone: the next request runs.
    ASSERT_TRUE(thread.run(&task));
    ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
    EXPECT_EQ(task.endedNow(), 2);
  }
}

TEST(ThreadStop, APauseInProgressEndsAtStopOrAtANewRequest) {
  const NamedRequest requests[] = {
      {"runForeverWithPause",
       [](Thread& t, ITask* k) { return t.runForeverWithPause(k, HOUR_MS); }},
      {"runForeverAtPeriod", [](Thread& t, ITask* k) { return t.runForeverAtPeriod(k, HOUR_MS); }},
      {"runWithPause", [](Thread& t, ITask* k) { return t.runWithPause(k, 5, HOUR_MS); }},
  };
  for (const NamedRequest& r : requests) {
    for (const bool withNewRequest : {false, true}) {
      SCOPED_TRACE(std::string(r.name) + (withNewRequest ? ", then a new request" : ", then stop"));
      Thread thread;
      Recorder task;
      Recorder other;
      ASSERT_TRUE(r.request(thread, &task));
      ASSERT_TRUE(task.waitEnded(1));
      // The worker is now in (or about to begin) an hour's pause.
      if (withNewRequest) {
        ASSERT_TRUE(thread.run(&other));
      } else {
        thread.stopRepeating();
      }
      EXPECT_TRUE(thread.waitIdle(LONG_WAIT_MS));
      EXPECT_EQ(task.endedNow(), 1);
      EXPECT_EQ(other.endedNow(), withNewRequest ? 1 : 0);
    }
  }
}

TEST(ThreadStop, ExitAndWaitReturnsPromptlyFromParkPauseAndSleep) {
  struct State {
    const char* name;
    std::function<void(Thread&, Recorder&)> enter;
  };
  const State states[] = {
      {"parked", [](Thread&, Recorder&) {}},
      {"pausing",
       [](Thread& t, Recorder& k) {
         ASSERT_TRUE(t.runForeverWithPause(&k, HOUR_MS));
         ASSERT_TRUE(k.waitEnded(1));
       }},
      {"sleeping once",
       [](Thread& t, Recorder&) {
         t.sleepOnce(HOUR_MS);
         t.wake();
       }},
  };
  for (const State& state : states) {
    SCOPED_TRACE(state.name);
    Thread thread;
    Recorder task;
    state.enter(thread, task);
    const int ended = task.endedNow();
    finishesInTime([&] { EXPECT_TRUE(thread.exitAndWait()); });
    EXPECT_EQ(task.endedNow(), ended);
    // Gone for good: requests are refused and nothing waits for ever.
    EXPECT_TRUE(thread.isIdle());
    EXPECT_FALSE(thread.run(&task));
    EXPECT_FALSE(thread.runForever(&task));
    finishesInTime([&] {
      EXPECT_TRUE(thread.waitIdle());
      EXPECT_TRUE(thread.waitExit());
    });
    EXPECT_EQ(task.endedNow(), ended);
  }
}

TEST(ThreadStop, ExitAndWaitOnARunningThreadReturnsAfterTheCurrentRun) {
  Thread thread;
  Recorder task;
  task.holdRun(1);
  ASSERT_TRUE(thread.runForever(&task));
  ASSERT_TRUE(task.waitStarted(1));
  // Asked before the run is released, so that the exit is certainly pending
  // while the task runs; exitAndWait asks again and waits.
  thread.requestExit();
  int activeOnReturn = -1;
  int endedOnReturn = -1;
  std::thread waiter([&] {
    EXPECT_TRUE(thread.exitAndWait());
    activeOnReturn = task.activeNow();
    endedOnReturn = task.endedNow();
  });
  task.release();
  waiter.join();
  EXPECT_EQ(activeOnReturn, 0);
  EXPECT_EQ(endedOnReturn, 1);  // and no run after it
  EXPECT_EQ(task.startedNow(), 1);
}

TEST(ThreadStop, DestroyingOrRecyclingEndsTheWorkerAfterItsCurrentRun) {
  const struct {
    const char* name;
    std::function<void(Thread*)> dispose;
  } disposals[] = {
      {"delete", [](Thread* t) { delete t; }},
      {"recycle", [](Thread* t) { t->recycle(); }},
  };
  for (const auto& disposal : disposals) {
    SCOPED_TRACE(disposal.name);
    Recorder task;
    Thread* thread = Thread::obtain();
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(thread->runForever(&task));
    ASSERT_TRUE(task.waitStarted(3));
    finishesInTime([&] { disposal.dispose(thread); });
    EXPECT_EQ(task.activeNow(), 0);
    const int started = task.startedNow();
    EXPECT_EQ(task.endedNow(), started);
    // A worker left running would go on starting runs.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(task.startedNow(), started);
  }
}

TEST(ThreadStop, ParkHoldsTheWorkerBeforeItsNextRunUntilWake) {
  Thread thread;
  Recorder task;
  task.hook = [&](int number) {
    if (number == 2) thread.park();
  };
  ASSERT_TRUE(thread.runForever(&task));
  ASSERT_TRUE(task.waitEnded(2));
  // A worker that ignored the park would have started more runs by now.
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(task.startedNow(), 2);
  EXPECT_FALSE(thread.isIdle());  // held with runs left, not idle
  thread.wake();
  EXPECT_TRUE(task.waitStarted(4));
  EXPECT_TRUE(thread.stopAndWaitIdle());
}

TEST(ThreadSleepOnce, DelaysTheNextRunOnceAndARequestCancelsIt) {
  Thread thread;
  Recorder task;
  task.hook = [&](int number) {
    if (number == 1) thread.sleepOnce(150);
  };
  ASSERT_TRUE(thread.run(&task, 3));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  ASSERT_EQ(task.endedNow(), 3);
  EXPECT_GE(task.startOf(2) - task.endOf(1), 150ms);

  // A one-time sleep asked for while parked is dropped by the next request.
  Recorder later;
  thread.sleepOnce(HOUR_MS);
  ASSERT_TRUE(thread.run(&later));
  EXPECT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_EQ(later.endedNow(), 1);
}

TEST(ThreadTimeOut, WaitIdleReplacesAStuckWorkerWithAFreshOne) {
  Thread thread;
  const bool checkPriority = lowPrioritiesAreDistinct();
  ASSERT_TRUE(thread.setPriority(-1));
  Recorder stuck;
  stuck.holdRun(1);
  ASSERT_TRUE(thread.runForever(&stuck));
  ASSERT_TRUE(stuck.waitStarted(1));
  const std::int32_t oldTid = thread.getThreadId();

  EXPECT_FALSE(thread.waitIdle(50));
  const std::int32_t newTid = thread.getThreadId();
  EXPECT_NE(newTid, 0);
  EXPECT_NE(newTid, oldTid);
  EXPECT_TRUE(thread.isIdle());
  if (checkPriority) {
    EXPECT_EQ(thread.getPriority(), -1);
  }

  // The replacement takes requests while the stuck run is still inside its task.
  Recorder fresh;
  ASSERT_TRUE(thread.run(&fresh, 2));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_EQ(fresh.endedNow(), 2);
  EXPECT_EQ(fresh.tidOf(1), newTid);
  EXPECT_EQ(stuck.activeNow(), 1);

  // The stuck worker was told to stop: its run ends and no other follows, and
  // exiting waits for it as well.
  stuck.release();
  finishesInTime([&] { EXPECT_TRUE(thread.exitAndWait()); });
  EXPECT_EQ(stuck.activeNow(), 0);
  EXPECT_EQ(stuck.startedNow(), 1);
}

TEST(ThreadTimeOut, WaitIdleWithATimeOutReturnsAtOnceWhenIdle) {
  Thread thread;
  const std::int32_t tid = thread.getThreadId();
  EXPECT_TRUE(thread.waitIdle(0));
  EXPECT_EQ(thread.getThreadId(), tid);
}

TEST(ThreadSelf, WaitingFromInsideItsOwnTaskIsRefusedInsteadOfDeadlocking) {
  Thread thread;
  Recorder task;
  std::int32_t tidInside = 0;
  bool answers[4] = {true, true, true, true};
  task.hook = [&](int number) {
    if (number != 1) return;
    answers[0] = thread.waitIdle();
    answers[1] = thread.waitIdle(10);  // must not replace the worker it runs on
    tidInside = thread.getThreadId();
    answers[2] = thread.stopAndWaitIdle();
    answers[3] = thread.exitAndWait();  // still asks the worker to exit
  };
  const std::int32_t tid = thread.getThreadId();
  ASSERT_TRUE(thread.runForever(&task));
  finishesInTime([&] { EXPECT_TRUE(thread.waitExit()); });
  for (const bool answer : answers)
    EXPECT_FALSE(answer);
  EXPECT_EQ(tidInside, tid);
  EXPECT_EQ(task.endedNow(), 1);
}

TEST(ThreadSelf, RunningAThreadAsATaskWaitsForItsExit) {
  Thread inner;
  Thread outer;
  ASSERT_TRUE(outer.run(&inner));
  // The outer worker stays inside inner.run() until inner has exited.
  EXPECT_FALSE(outer.isIdle());
  inner.requestExit();
  EXPECT_TRUE(outer.waitIdle(LONG_WAIT_MS));
  EXPECT_FALSE(inner.run(&outer));
}

TEST(ThreadPriority, LevelsAreAppliedToTheWorkerAndInvalidOnesRefused) {
  Thread thread;
  EXPECT_EQ(thread.getPriority(), 0);
  EXPECT_FALSE(thread.setPriority(3));
  EXPECT_FALSE(thread.setPriority(-3));
  EXPECT_EQ(thread.getPriority(), 0);

  if (lowPrioritiesAreDistinct()) {
    const int baseNice = getpriority(PRIO_PROCESS, 0);
    for (const std::int32_t level : {-1, -2}) {
      ASSERT_TRUE(thread.setPriority(level));
      EXPECT_EQ(thread.getPriority(), level);
      errno = 0;
      const int workerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(thread.getThreadId()));
      ASSERT_EQ(errno, 0);
      EXPECT_EQ(workerNice, baseNice - level * 5) << "level " << level;
      EXPECT_EQ(getpriority(PRIO_PROCESS, 0), baseNice);  // the caller is untouched
    }
  }

  // Raising needs a privilege; without it the worker keeps its level.
  Thread raised;
  ASSERT_TRUE(raised.setPriority(2));
  const std::int32_t level = raised.getPriority();
  EXPECT_TRUE(level == 2 || level == 0) << level;
}

TEST(ThreadLifecycle, ClearStartsAFreshWorkerAfterExit) {
  Thread thread;
  thread.setUserValue(7);
  ASSERT_TRUE(thread.setPriority(-1));
  ASSERT_TRUE(thread.exitAndWait());
  Recorder task;
  EXPECT_FALSE(thread.run(&task));

  thread.clear();
  EXPECT_EQ(thread.getUserValue(), 0);
  EXPECT_EQ(thread.getPriority(), 0);
  EXPECT_NE(thread.getThreadId(), 0);
  ASSERT_TRUE(thread.run(&task));
  ASSERT_TRUE(thread.waitIdle(LONG_WAIT_MS));
  EXPECT_EQ(task.endedNow(), 1);
  EXPECT_EQ(task.tidOf(1), thread.getThreadId());
}

}  // namespace
