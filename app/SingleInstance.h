// The single-instance rule: a lock in the user's runtime folder, so one
// desktop runs per user and another user's copy never blocks this one.
#pragma once

#include <QLockFile>
#include <memory>

class TSingleInstance {
 public:
  // Takes the lock; Acquired() is false when another instance holds it.
  TSingleInstance();
  bool Acquired() const { return acquired_; }
  static QString LockPath();

 private:
  std::unique_ptr<QLockFile> lock_;
  bool acquired_ = false;
};
