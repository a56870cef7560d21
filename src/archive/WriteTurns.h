#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace orvel {

// The program's own writers of the archive take turns here rather than through SQLite's lock,
// whose waiting is by sleeps of growing length: a background writer of many rows going straight
// from one short transaction to the next would keep the fitter's read-out waiting for tens of
// milliseconds. The read-out goes first; background work steps aside while it waits.
class WriteTurns {
 public:
  // The fitter's turn: waits at most for one short background write under way.
  class Urgent {
   public:
    Urgent() {
      ++waiting();
      mutex().lock();
      --waiting();
    }
    ~Urgent() { mutex().unlock(); }
    Urgent(const Urgent&) = delete;
    Urgent& operator=(const Urgent&) = delete;
  };
  // A background turn: none while the fitter waits or writes.
  class Background {
   public:
    Background() {
      for (;;) {
        while (waiting() > 0)
          std::this_thread::sleep_for(std::chrono::microseconds(200));
        mutex().lock();
        if (waiting() == 0) return;
        mutex().unlock();
      }
    }
    ~Background() { mutex().unlock(); }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
  };
  // The fitter waits for a turn: background work holding one ends it as soon as it can.
  static bool othersWaiting() { return waiting() > 0; }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static std::atomic<int>& waiting() {
    static std::atomic<int> n{0};
    return n;
  }
};

}  // namespace orvel
