#include "app/SingleInstance.h"

#include <QDir>

#include "utils/Utils.h"

// "Vel_Trax" names the hand-off socket in the same folder, so the lock
// carries an extension.
QString TSingleInstance::LockPath() { return QDir(RuntimeFolder()).filePath("Vel_Trax.lock"); }

TSingleInstance::TSingleInstance() : lock_(std::make_unique<QLockFile>(LockPath())) {
  // A lock left by a crashed instance is detected as stale and taken over.
  lock_->setStaleLockTime(0);
  acquired_ = lock_->tryLock(0);
}
