// TImageTransform: the family of operations that turn a source image into a
// destination image (rotation, negative, grey, resize, format, crop).
//
// Common rules: ApplyOnDest(source, destination) re-creates the destination;
// Apply(image) works in place through a temporary destination unless a
// class does better. Progress is reported 0..100 through OnProgress.
#pragma once

#include <cstdint>
#include <functional>

#include "image/DibGraphic.h"

class TImageTransform {
 public:
  using TProgressEvent = std::function<void(TImageTransform* sender, int percent)>;

  virtual ~TImageTransform() = default;
  virtual const char* ClassName() const { return "TImageTransform"; }

  virtual void Apply(TDibGraphic& image);
  // Throws "Method \"ApplyOnDest\" not implemented for <class> class".
  virtual void ApplyOnDest(const TDibGraphic& source, TDibGraphic& destination);

  TProgressEvent OnProgress;
  int LastPercent = -1;

 protected:
  // The common start of ApplyOnDest: a destination that is the source
  // itself is served through a temporary image, and an empty source gives
  // an empty destination (progress 0 and 100). Returns true when the
  // caller goes on with the work.
  bool BeginApplyOnDest(const TDibGraphic& source, TDibGraphic& destination);
  // The first half of that: when destination is source itself, does the
  // work through a temporary image and returns true.
  bool AppliedThroughTemporary(const TDibGraphic& source, TDibGraphic& destination);
  // Reports (current - min) * 100 / (max - min) when it changed.
  void Progress(std::int64_t current, std::int64_t min, std::int64_t max);
};
