// The root of the program's error classes. Each error carries one message
// text; the support library's classes derive from it with an E prefix.
#pragma once

#include <exception>

#include "support/text_value.h"

namespace tidemark {

class Exception : public std::exception {
 public:
  explicit Exception(TextValue message) : message_(std::move(message)) {}
  const TextValue& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.Bytes(); }

 private:
  TextValue message_;
};

}  // namespace tidemark
