// The root of the support library's classes: every T-class derives from it,
// so any of them can be handed on as the sender of a change signal.
#pragma once

namespace tidemark {

class TObject {
 public:
  virtual ~TObject() = default;
};

}  // namespace tidemark
