#include "s/thread/Thread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace s::thread::win {

namespace {

using Clock = std::chrono::steady_clock;

// The nice-value step between two neighbouring relative priorities.
constexpr int NICE_STEP = 5;
constexpr int NICE_MIN = -20;
constexpr int NICE_MAX = 19;

// The worker whose loop runs on the calling thread, if any: lets the waiting
// operations refuse to wait for the very thread they are called on.
thread_local const void* tRunningWorker = nullptr;

int currentNice() {
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  return errno == 0 ? nice : 0;
}

}  // namespace

// One operating-system thread and the request block it shares with its owner.
// Every field below the mutex is guarded by it.
struct Thread::Worker {
  std::mutex mutex;
  // Signalled to the worker: a request, stopRepeating, wake, an exit request.
  std::condition_variable wakeUp;
  // Signalled by the worker: started, idle, exited.
  std::condition_variable changed;

  std::int32_t sleepOnceMs = 0;
  ITask* task = nullptr;
  // Runs left; -1 without end.
  std::int32_t count = 0;
  RunMode mode = RunMode::BackToBack;
  std::int32_t intervalMs = 0;
  bool idle = true;
  bool quit = false;
  bool exited = false;
  bool parkRequested = false;
  // Bumped by every request and by stopRepeating; a pause or one-time sleep
  // that sees it change ends early, since the run it was waiting for is no
  // longer wanted.
  std::uint64_t generation = 0;
  // Bumped by wake() (and so by every request); a parked worker waits for it
  // to change.
  std::uint64_t wakeups = 0;
  bool started = false;
  std::int32_t tid = 0;

  // Written once by the creating thread, read only by joiners.
  std::thread thread;

  void loop();
  // Waits (releasing the lock) until `until`, an exit request, or a change of
  // the request.
  void sleepUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until);
};

void Thread::Worker::loop() {
  tRunningWorker = this;
  std::unique_lock lock(mutex);
  tid = static_cast<std::int32_t>(gettid());
  started = true;
  changed.notify_all();

  while (!quit) {
    if (sleepOnceMs != 0) {
      const std::int32_t ms = sleepOnceMs;
      sleepOnceMs = 0;
      if (ms > 0) sleepUntil(lock, Clock::now() + std::chrono::milliseconds(ms));
      continue;
    }
    if (parkRequested) {
      // wake() and every request clear the flag.
      wakeUp.wait(lock, [this] { return quit || !parkRequested; });
      continue;
    }
    if (count != 0 && task != nullptr) {
      if (count > 0) --count;
      const std::int32_t remaining = count;
      const RunMode runMode = mode;
      const std::int32_t interval = intervalMs;
      ITask* const runTask = task;
      const std::uint64_t runGeneration = generation;
      lock.unlock();
      const Clock::time_point start = Clock::now();
      runTask->run();
      const Clock::time_point end = Clock::now();
      lock.lock();
      // A request that arrived during the run replaces this one at once.
      if (generation != runGeneration) continue;
      const auto pause = pauseBeforeNextRun(runMode, interval, remaining, end - start);
      if (pause > std::chrono::nanoseconds::zero()) sleepUntil(lock, end + pause);
      continue;
    }
    // Nothing to run: park until the next wake. The test for work and the wait
    // happen under one hold of the mutex, and every request changes `wakeups`
    // under it too, so a request can never slip in between unseen.
    count = 0;
    task = nullptr;
    idle = true;
    changed.notify_all();
    const std::uint64_t seen = wakeups;
    wakeUp.wait(lock, [this, seen] { return quit || wakeups != seen; });
  }
  // Nothing will run any more: waiters for idle must not wait for ever.
  task = nullptr;
  count = 0;
  idle = true;
  exited = true;
  changed.notify_all();
  tRunningWorker = nullptr;
}

void Thread::Worker::sleepUntil(std::unique_lock<std::mutex>& lock, Clock::time_point until) {
  const std::uint64_t sleepGeneration = generation;
  wakeUp.wait_until(lock, until, [&] { return quit || generation != sleepGeneration; });
}

Thread::Thread() {
  clear();
}

Thread::~Thread() {
  endWorkers();
}

void Thread::clear() {
  endWorkers();
  std::lock_guard control(control_);
  priority_ = 0;
  userValue_.store(0);
  baseNice_ = currentNice();
  current_ = startWorker();
}

void Thread::endWorkers() {
  requestExit();
  waitExit();
  std::lock_guard control(control_);
  current_.reset();
  retired_.clear();
}

void Thread::run() {
  waitExit();
}

std::unique_ptr<Thread::Worker> Thread::startWorker() {
  auto worker = std::make_unique<Worker>();
  Worker* const raw = worker.get();
  try {
    worker->thread = std::thread([raw] { raw->loop(); });
  } catch (const std::system_error&) {
    return nullptr;
  }
  {
    // The kernel id is known only inside the thread; wait for it so that
    // getThreadId and setPriority work as soon as the worker is returned.
    std::unique_lock lock(worker->mutex);
    worker->changed.wait(lock, [raw] { return raw->started; });
  }
  applyPriority(*worker);
  return worker;
}

Thread::Worker* Thread::currentWorker() const {
  std::lock_guard control(control_);
  return current_.get();
}

std::int32_t Thread::getThreadId() const {
  const Worker* worker = currentWorker();
  return worker != nullptr ? worker->tid : 0;
}

bool Thread::request(ITask* task, std::int32_t count, RunMode mode, std::int32_t intervalMs) {
  if (count < -1) return false;
  std::lock_guard control(control_);
  Worker* worker = current_.get();
  if (worker == nullptr) return false;
  {
    std::lock_guard lock(worker->mutex);
    if (worker->quit) return false;
    worker->task = task;
    worker->count = task != nullptr ? count : 0;
    worker->mode = mode;
    worker->intervalMs = std::max(intervalMs, 0);
    worker->sleepOnceMs = 0;
    worker->idle = false;
    worker->parkRequested = false;
    ++worker->generation;
    ++worker->wakeups;
  }
  worker->wakeUp.notify_all();
  return true;
}

bool Thread::run(ITask* task) {
  return request(task, 1, RunMode::BackToBack, 0);
}

bool Thread::run(ITask* task, std::int32_t count) {
  return request(task, count, RunMode::BackToBack, 0);
}

bool Thread::runWithPause(ITask* task, std::int32_t count, std::int32_t pauseMs) {
  return request(task, count, RunMode::Pause, pauseMs);
}

bool Thread::runAtPeriod(ITask* task, std::int32_t count, std::int32_t periodMs) {
  return request(task, count, RunMode::Period, periodMs);
}

bool Thread::runForever(ITask* task) {
  return request(task, -1, RunMode::BackToBack, 0);
}

bool Thread::runForeverWithPause(ITask* task, std::int32_t pauseMs) {
  return request(task, -1, RunMode::Pause, pauseMs);
}

bool Thread::runForeverAtPeriod(ITask* task, std::int32_t periodMs) {
  return request(task, -1, RunMode::Period, periodMs);
}

bool Thread::isIdle() const {
  Worker* worker = currentWorker();
  if (worker == nullptr) return true;
  std::lock_guard lock(worker->mutex);
  return worker->idle;
}

bool Thread::waitIdle() {
  Worker* worker = currentWorker();
  if (worker == nullptr) return true;
  if (tRunningWorker == worker) return false;
  std::unique_lock lock(worker->mutex);
  worker->changed.wait(lock, [worker] { return worker->idle; });
  return true;
}

bool Thread::waitIdle(std::int32_t timeoutMs) {
  Worker* worker = currentWorker();
  if (worker == nullptr) return true;
  if (tRunningWorker == worker) return false;
  {
    std::unique_lock lock(worker->mutex);
    if (worker->changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                 [worker] { return worker->idle; }))
      return true;
  }
  retire(worker);
  return false;
}

void Thread::retire(Worker* stuck) {
  std::lock_guard control(control_);
  // Another caller may have replaced it already.
  if (current_.get() != stuck) return;
  {
    std::lock_guard lock(stuck->mutex);
    stuck->task = nullptr;
    stuck->count = 0;
    stuck->quit = true;
  }
  stuck->wakeUp.notify_all();
  retired_.push_back(std::move(current_));
  current_ = startWorker();
}

void Thread::stopRepeating() {
  Worker* worker = currentWorker();
  if (worker == nullptr) return;
  {
    std::lock_guard lock(worker->mutex);
    worker->task = nullptr;
    worker->count = 0;
    worker->parkRequested = false;
    ++worker->generation;
    ++worker->wakeups;
  }
  worker->wakeUp.notify_all();
}

bool Thread::stopAndWaitIdle() {
  stopRepeating();
  return waitIdle();
}

bool Thread::waitExit() {
  std::vector<Worker*> workers;
  {
    std::lock_guard control(control_);
    for (const auto& retired : retired_)
      workers.push_back(retired.get());
    if (current_ != nullptr) workers.push_back(current_.get());
  }
  for (const Worker* worker : workers) {
    if (tRunningWorker == worker) return false;
  }
  std::lock_guard joining(joinMutex_);
  for (Worker* worker : workers) {
    if (worker->thread.joinable()) worker->thread.join();
  }
  return true;
}

void Thread::requestExit() {
  Worker* worker = currentWorker();
  if (worker == nullptr) return;
  {
    std::lock_guard lock(worker->mutex);
    worker->quit = true;
  }
  worker->wakeUp.notify_all();
}

bool Thread::exitAndWait() {
  requestExit();
  return waitExit();
}

void Thread::sleepOnce(std::int32_t ms) {
  Worker* worker = currentWorker();
  if (worker == nullptr) return;
  std::lock_guard lock(worker->mutex);
  worker->sleepOnceMs = ms;
}

void Thread::wake() {
  Worker* worker = currentWorker();
  if (worker == nullptr) return;
  {
    std::lock_guard lock(worker->mutex);
    worker->parkRequested = false;
    ++worker->wakeups;
  }
  worker->wakeUp.notify_all();
}

void Thread::park() {
  Worker* worker = currentWorker();
  if (worker == nullptr) return;
  std::lock_guard lock(worker->mutex);
  worker->parkRequested = true;
}

int Thread::niceFor(std::int32_t priority, int baseNice) {
  return std::clamp(baseNice - priority * NICE_STEP, NICE_MIN, NICE_MAX);
}

std::int32_t Thread::priorityFor(int nice, int baseNice) {
  // Any difference counts as at least one level: a level clamped at the end of
  // the nice range still reads as lower (or higher) than normal.
  const int offset = baseNice - nice;
  const int priority = std::min((std::abs(offset) + NICE_STEP - 1) / NICE_STEP, 2);
  return offset < 0 ? -priority : priority;
}

void Thread::applyPriority(Worker& worker) const {
  // A kernel id is reused once its thread has gone; holding the worker's mutex
  // while it has not exited keeps the id ours. Raising a thread's priority needs
  // a privilege most users lack; the worker then keeps the priority it has, and
  // getPriority reports that.
  std::lock_guard lock(worker.mutex);
  if (worker.exited) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(worker.tid), niceFor(priority_, baseNice_));
}

std::int32_t Thread::getPriority() const {
  std::lock_guard control(control_);
  if (current_ == nullptr) return priority_;
  std::lock_guard lock(current_->mutex);
  if (current_->exited) return priority_;
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(current_->tid));
  if (errno != 0) return priority_;
  return priorityFor(nice, baseNice_);
}

bool Thread::setPriority(std::int32_t priority) {
  if (priority < -2 || priority > 2) return false;
  std::lock_guard control(control_);
  priority_ = priority;
  if (current_ != nullptr) applyPriority(*current_);
  return true;
}

std::chrono::nanoseconds Thread::pauseBeforeNextRun(RunMode mode, std::int32_t intervalMs,
                                                    std::int32_t remainingRuns,
                                                    std::chrono::nanoseconds runTime) {
  const std::chrono::nanoseconds none = std::chrono::nanoseconds::zero();
  if (remainingRuns == 0 || intervalMs <= 0) return none;
  const std::chrono::nanoseconds interval = std::chrono::milliseconds(intervalMs);
  switch (mode) {
    case RunMode::BackToBack:
      return none;
    case RunMode::Pause:
      return interval;
    case RunMode::Period:
      return runTime < interval ? interval - runTime : none;
  }
  return none;
}

}  // namespace s::thread::win
