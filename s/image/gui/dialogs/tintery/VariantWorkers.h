#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace s::image::gui::dialogs::tintery {

// A fixed set of threads that run the tasks of a colour-variant run. With
// one worker every task runs at once on the calling thread, so that a run
// on one thread has no hand-off at all. Each task is told which worker runs
// it (0 .. count - 1), so that a worker can keep buffers of its own.
class VariantWorkers {
 public:
  using Task = std::function<void(std::int32_t worker)>;

  // count < 1 counts as 1.
  explicit VariantWorkers(std::int32_t count);
  ~VariantWorkers();
  VariantWorkers(const VariantWorkers&) = delete;
  VariantWorkers& operator=(const VariantWorkers&) = delete;

  std::int32_t getCount() const { return count_; }

  // Hands the task to a free worker, waiting for one to become free.
  void run(Task task);
  // Waits until every task handed over has finished.
  void waitAll();

  // The number of processor cores, at least 1.
  static std::int32_t coreCount();

 private:
  void loop(std::int32_t worker);

  const std::int32_t count_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // One slot per worker: the task handed to it and not yet started, and
  // whether it is running one.
  std::vector<Task> slots_;
  std::vector<bool> working_;
  std::int32_t busy_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace s::image::gui::dialogs::tintery
