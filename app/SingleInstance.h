// The single-instance rule: a lock named "Vel_Trax" in the temporary folder.
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
