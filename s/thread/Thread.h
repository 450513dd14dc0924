#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "s/base/IObject.h"
#include "s/thread/IPoolable.h"
#include "s/thread/ITask.h"
#include "s/thread/Pool.h"

namespace s::thread {

// What happens between two runs of a repeated request.
enum class RunMode : std::int32_t {
  BackToBack = 0,  // the next run starts at once
  Pause = 1,       // a fixed pause after the end of each run
  Period = 2,      // runs start a fixed period apart (at once when a run took longer)
};

// A persistent worker thread that runs an ITask on request: once, a number of
// times or without end, back to back, with a pause or at a period; and parks
// when it has nothing to do. As an ITask itself, running it waits until it has
// exited.
class IThread : public base::IObject, public IPoolable, public ITask {
 public:
  using ITask::run;

  // The kernel's id of the worker (0 when there is none).
  virtual std::int32_t getThreadId() const = 0;

  // Run requests. Each one replaces the current request (also while a run is in
  // progress: that run finishes first) and cancels a pending sleepOnce. A count
  // of -1 means without end; a pause or period applies between runs, never
  // after the last. They answer false, and change nothing, when there is no
  // worker to take the request (it could not be created, or it has been asked
  // to exit) or when the count is below -1. A null task or a count of 0 asks
  // for nothing: the worker becomes idle after the current run.
  virtual bool run(ITask* task) = 0;
  virtual bool run(ITask* task, std::int32_t count) = 0;
  virtual bool runWithPause(ITask* task, std::int32_t count, std::int32_t pauseMs) = 0;
  virtual bool runAtPeriod(ITask* task, std::int32_t count, std::int32_t periodMs) = 0;
  virtual bool runForever(ITask* task) = 0;
  virtual bool runForeverWithPause(ITask* task, std::int32_t pauseMs) = 0;
  virtual bool runForeverAtPeriod(ITask* task, std::int32_t periodMs) = 0;

  // True while the worker has no runs left (also once it has exited).
  virtual bool isIdle() const = 0;
  // Blocks until the worker is idle. False without waiting when called from
  // inside the worker's own task, which could never see itself idle.
  virtual bool waitIdle() = 0;
  // As waitIdle(), for at most timeoutMs. When the worker is still busy then, it
  // is told to stop after its current run and to exit, and a fresh worker with
  // the remembered priority takes its place, so the object can take requests
  // again at once; the answer is false. The old worker cannot be killed: its run
  // goes on beside the new worker, and destruction still waits for it.
  virtual bool waitIdle(std::int32_t timeoutMs) = 0;
  // No further run starts; a run in progress finishes. A pause or a one-time
  // sleep in progress is cut short.
  virtual void stopRepeating() = 0;
  virtual bool stopAndWaitIdle() = 0;
  // Blocks until the worker (and every worker replaced by waitIdle(timeoutMs))
  // has ended; it does not ask it to. False without waiting when called from
  // inside a task of this object's workers.
  virtual bool waitExit() = 0;
  // Asks the worker to leave: at once when parked, sleeping or pausing, after
  // the current run otherwise. Later run requests are refused.
  virtual void requestExit() = 0;
  virtual bool exitAndWait() = 0;
  // The worker sleeps ms milliseconds once, the next time it looks at its
  // request (after the current run, or after the next wake when parked).
  virtual void sleepOnce(std::int32_t ms) = 0;
  // Makes a parked worker look at its request again; ends a park().
  virtual void wake() = 0;
  // The worker holds before its next run (or sleep) until the next wake() or
  // run request. A run in progress is not interrupted.
  virtual void park() = 0;

  // Relative priorities: -2 lowest, -1 below normal, 0 normal, 1 above normal,
  // 2 highest. getPriority reads the worker's actual scheduling priority, which
  // stays lower than asked when the system refuses to raise it.
  virtual std::int32_t getPriority() const = 0;
  // Remembers the priority (applied to replacement workers too) and applies it;
  // false only for a value outside -2..2.
  virtual bool setPriority(std::int32_t priority) = 0;

  // A value for the owner's use; the thread does nothing with it.
  virtual void setUserValue(std::int32_t value) = 0;
  virtual std::int32_t getUserValue() const = 0;
};

namespace win {

// The worker thread: one std::thread parking on a condition variable. Every
// request writes its fields and signals under the worker's mutex, and the
// worker tests for work under that same mutex before it waits, so no wake-up
// can be lost. The worker never holds the mutex while it runs a task or sleeps.
//
// Destroying (or recycling) a Thread asks its worker to exit and joins it, after
// the current run: no task of it runs after destruction. It must not be
// destroyed from inside one of its own tasks.
class Thread final : public PooledObject<Thread, IThread> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_thread_win_Thread";
  // A spare Thread would keep an operating-system thread parked, and resetting
  // one inside the pool's lock would wait for its task while holding that lock;
  // recycled Threads are therefore destroyed at once.
  static constexpr std::int32_t POOL_CAPACITY = 0;

  Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  ~Thread() override;

  // Ends the worker (after its current run), forgets the priority and the user
  // value, and starts a fresh worker, as at construction.
  void clear() override;

  // As an ITask: waits until the thread has exited.
  void run() override;

  std::int32_t getThreadId() const override;
  bool run(ITask* task) override;
  bool run(ITask* task, std::int32_t count) override;
  bool runWithPause(ITask* task, std::int32_t count, std::int32_t pauseMs) override;
  bool runAtPeriod(ITask* task, std::int32_t count, std::int32_t periodMs) override;
  bool runForever(ITask* task) override;
  bool runForeverWithPause(ITask* task, std::int32_t pauseMs) override;
  bool runForeverAtPeriod(ITask* task, std::int32_t periodMs) override;
  bool isIdle() const override;
  bool waitIdle() override;
  bool waitIdle(std::int32_t timeoutMs) override;
  void stopRepeating() override;
  bool stopAndWaitIdle() override;
  bool waitExit() override;
  void requestExit() override;
  bool exitAndWait() override;
  void sleepOnce(std::int32_t ms) override;
  void wake() override;
  void park() override;
  std::int32_t getPriority() const override;
  bool setPriority(std::int32_t priority) override;
  void setUserValue(std::int32_t value) override { userValue_.store(value); }
  std::int32_t getUserValue() const override { return userValue_.load(); }

  // How long the worker waits before the next run of a request: nothing after
  // the last run (remainingRuns 0) or between back-to-back runs; the interval
  // after a run with a pause; the rest of the period, if any, at a period.
  static std::chrono::nanoseconds pauseBeforeNextRun(RunMode mode, std::int32_t intervalMs,
                                                     std::int32_t remainingRuns,
                                                     std::chrono::nanoseconds runTime);

  // The nice value for a relative priority, seen from a thread whose normal
  // nice value is baseNice (five steps a level, clamped to the nice range), and
  // back (a difference of less than a level counts as a level).
  static int niceFor(std::int32_t priority, int baseNice);
  static std::int32_t priorityFor(int nice, int baseNice);

 private:
  struct Worker;

  bool request(ITask* task, std::int32_t count, RunMode mode, std::int32_t intervalMs);
  Worker* currentWorker() const;
  // A started worker with the remembered priority, or null when the system
  // cannot create a thread.
  std::unique_ptr<Worker> startWorker();
  void applyPriority(Worker& worker) const;
  void retire(Worker* stuck);
  void endWorkers();

  // Guards current_, retired_ and priority_. Taken before a worker's mutex,
  // never after it.
  mutable std::mutex control_;
  // Serialises joining, so that two waiters never join one std::thread.
  std::mutex joinMutex_;
  std::unique_ptr<Worker> current_;
  // Workers replaced by waitIdle(timeoutMs): told to exit, joined at the end.
  std::vector<std::unique_ptr<Worker>> retired_;
  std::int32_t priority_ = 0;
  // The nice value of the thread that created the worker; priority 0.
  int baseNice_ = 0;
  std::atomic<std::int32_t> userValue_{0};
};

}  // namespace win
}  // namespace s::thread
