#include "capture/encode_worker.h"

#include <chrono>

EncodeWorker::EncodeWorker(size_t pictureBytes, int buffers, Work work) : work_(std::move(work)) {
  for (int i = 0; i < buffers; ++i) {
    buffers_.emplace_back(pictureBytes);
    free_.push_back(i);
  }
  thread_ = std::thread(&EncodeWorker::run, this);
}

EncodeWorker::~EncodeWorker() { finish(); }

uint8_t* EncodeWorker::acquire() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return failed_ || !free_.empty(); });
  if (failed_) return nullptr;
  acquired_ = free_.front();
  free_.pop_front();
  return buffers_[acquired_].data();
}

void EncodeWorker::submit(int64_t index) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.emplace_back(acquired_, index);
    acquired_ = -1;
  }
  changed_.notify_all();
}

bool EncodeWorker::finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  return !failed_;
}

bool EncodeWorker::failed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

double EncodeWorker::busySeconds() {
  std::lock_guard<std::mutex> lock(mutex_);
  return busySeconds_;
}

void EncodeWorker::run() {
  for (;;) {
    std::pair<int, int64_t> job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
      if (queued_.empty() || failed_) return;
      job = queued_.front();
      queued_.pop_front();
    }
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work_(job.second, buffers_[job.first].data());
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      busySeconds_ += spent.count();
      free_.push_back(job.first);
      if (!ok) failed_ = true;
    }
    changed_.notify_all();
  }
}
