#include "s/image/gui/dialogs/tintery/VariantWorkers.h"

#include <algorithm>

namespace s::image::gui::dialogs::tintery {

VariantWorkers::VariantWorkers(std::int32_t count)
    : count_(std::max<std::int32_t>(count, 1)),
      slots_(static_cast<std::size_t>(count_)),
      working_(static_cast<std::size_t>(count_), false) {
  if (count_ == 1) return;
  threads_.reserve(static_cast<std::size_t>(count_));
  for (std::int32_t worker = 0; worker < count_; ++worker)
    threads_.emplace_back([this, worker] { loop(worker); });
}

VariantWorkers::~VariantWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_)
    thread.join();
}

std::int32_t VariantWorkers::coreCount() {
  return static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

void VariantWorkers::run(Task task) {
  if (threads_.empty()) {
    task(0);
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return busy_ < count_; });
  std::size_t idle = 0;
  while (slots_[idle] || working_[idle])
    ++idle;
  slots_[idle] = std::move(task);
  ++busy_;
  lock.unlock();
  changed_.notify_all();
}

void VariantWorkers::waitAll() {
  if (threads_.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return busy_ == 0; });
}

void VariantWorkers::loop(std::int32_t worker) {
  const auto index = static_cast<std::size_t>(worker);
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [&] { return stopping_ || slots_[index]; });
    if (!slots_[index]) return;  // stopping, nothing left to do
    Task task = std::move(slots_[index]);
    slots_[index] = nullptr;
    working_[index] = true;
    lock.unlock();
    task(worker);
    lock.lock();
    working_[index] = false;
    --busy_;
    changed_.notify_all();
  }
}

}  // namespace s::image::gui::dialogs::tintery
