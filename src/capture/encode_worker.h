#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Hands pictures from the drawing thread to one worker thread that encodes
// and writes them, so that drawing the next frame overlaps with encoding the
// last. A few picture buffers circulate between the two; the drawing side
// waits only when all of them are queued.
class EncodeWorker {
 public:
  // `work` runs on the worker for every picture, in submission order; once it
  // returns false no more work runs.
  using Work = std::function<bool(int64_t index, const uint8_t* pixels)>;
  EncodeWorker(size_t pictureBytes, int buffers, Work work);
  ~EncodeWorker();
  EncodeWorker(const EncodeWorker&) = delete;
  EncodeWorker& operator=(const EncodeWorker&) = delete;

  // A free buffer to fill; null once the work has failed.
  uint8_t* acquire();
  // Queues the buffer of the last acquire() as picture `index`.
  void submit(int64_t index);
  // Waits until everything queued has been worked off and stops the worker.
  // False when any work failed.
  bool finish();

  bool failed();
  // Time the worker spent working.
  double busySeconds();

 private:
  void run();

  Work work_;
  std::vector<std::vector<uint8_t>> buffers_;
  std::deque<int> free_;
  std::deque<std::pair<int, int64_t>> queued_;
  int acquired_ = -1;
  bool stopping_ = false;
  bool failed_ = false;
  double busySeconds_ = 0.0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
};
