// A stream for tests over text in memory, whose reads hand out at most
// `chunk` bytes each, and nothing past `available`: loads that arrive in
// pieces, and reads that come up short. What is written to it is kept.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "support/file_stream.h"

namespace tidemark::testing {

class ScriptedStream : public TStream {
 public:
  ScriptedStream(std::string content, std::int64_t available, std::int32_t chunk)
      : content_(std::move(content)), available_(available), chunk_(chunk) {}

  std::int32_t ReadBytes(void* buffer, std::int32_t count) override {
    const std::int64_t left = std::max<std::int64_t>(0, available_ - position_);
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>({count, chunk_, left}));
    std::memcpy(buffer, content_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
  }
  std::int32_t WriteBytes(const void* bytes, std::int32_t count) override {
    written.append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
    return count;
  }
  std::int64_t MoveTo(std::int64_t offset, SeekOrigin origin) override {
    if (origin == SeekOrigin::FromStart) position_ = offset;
    if (origin == SeekOrigin::FromCurrent) position_ += offset;
    if (origin == SeekOrigin::FromEnd)
      position_ = static_cast<std::int64_t>(content_.size()) + offset;
    return position_;
  }

  std::string written;

 private:
  std::string content_;
  std::int64_t available_;
  std::int32_t chunk_;
  std::int64_t position_ = 0;
};

}  // namespace tidemark::testing
