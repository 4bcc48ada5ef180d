// A WorkerPool runs submitted tasks on a fixed number of threads, in submission order, so that
// the work that needs a thread of its own (a JobSheet call with its thread's database
// connection) is bounded however many connections wait. Tasks wait in an unbounded queue; the
// host bounds it through its connection limit. Submit() is safe from any thread. Destruction
// runs the tasks still queued and joins the threads.
#ifndef TQS_SERVER_HOST_WORKER_POOL_H_
#define TQS_SERVER_HOST_WORKER_POOL_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tqs::server::host {

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues `task`; a task must not throw (what escapes is dropped).
  void Submit(std::function<void()> task);

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> tasks_;  // guarded by mutex_
  bool stopping_ = false;                    // guarded by mutex_
  std::vector<std::thread> threads_;
};

}  // namespace tqs::server::host

#endif  // TQS_SERVER_HOST_WORKER_POOL_H_
