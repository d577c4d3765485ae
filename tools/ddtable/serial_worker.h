// A thread of its own that runs the jobs posted to it one at a time, in the order they were
// posted. `ddtable run` records its rows there (the journal, the results workbook, the
// checks), so that the thread that starts and reaps the commands goes straight back to
// starting the next one.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace ddtcli {

class SerialWorker {
 public:
  // Starts the thread. It runs with SIGINT, SIGTERM, SIGHUP and SIGCHLD blocked: those are
  // handled for the thread that waits for the commands.
  SerialWorker();
  // Finishes the jobs posted (an exception of one is dropped: call Finish to see it).
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Queues a job. After one has thrown, the jobs posted later are dropped, not run.
  void Post(std::function<void()> job);
  // Waits until every job posted has run, then ends the thread. Rethrows the exception the
  // first failing job threw. Posting after Finish runs the job at once on the caller's thread.
  void Finish();

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  bool closing_ = false;
  bool finished_ = false;
  std::exception_ptr failure_;
  std::thread thread_;
};

}  // namespace ddtcli
