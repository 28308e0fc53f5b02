#include "app/SingleInstance.h"

#include <QDir>

QString TSingleInstance::LockPath() { return QDir::temp().filePath("Vel_Trax"); }

TSingleInstance::TSingleInstance() : lock_(std::make_unique<QLockFile>(LockPath())) {
  // A lock left by a crashed instance is detected as stale and taken over.
  lock_->setStaleLockTime(0);
  acquired_ = lock_->tryLock(0);
}
