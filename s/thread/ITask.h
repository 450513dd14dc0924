#pragma once

namespace s::thread {

// A piece of work handed to a worker thread, which calls run() with no
// arguments. The object must stay alive until the thread has finished with it
// (for a Thread: until it is idle again, or has been told to stop repeating
// and the current run has ended).
class ITask {
 public:
  virtual ~ITask() = default;
  virtual void run() = 0;
};

}  // namespace s::thread
