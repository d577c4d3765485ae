#include "serial_worker.h"

#include <signal.h>

#include <utility>

namespace ddtcli {

SerialWorker::SerialWorker() {
  // A new thread takes the creating thread's signal mask: block the signals for the moment
  // it is made, then restore the caller's.
  sigset_t blocked, previous;
  sigemptyset(&blocked);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&blocked, sig);
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

SerialWorker::~SerialWorker() {
  try {
    Finish();
  } catch (...) {
  }
}

void SerialWorker::Post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!finished_) {
      jobs_.push_back(std::move(job));
      ready_.notify_one();
      return;
    }
  }
  job();
}

void SerialWorker::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return;
    closing_ = true;
    ready_.notify_one();
  }
  thread_.join();
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    failure = std::exchange(failure_, nullptr);
  }
  if (failure) std::rethrow_exception(failure);
}

void SerialWorker::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ready_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // closing, and nothing left
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    if (failure_) continue;
    lock.unlock();
    try {
      job();
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      continue;
    }
    lock.lock();
  }
}

}  // namespace ddtcli
