// Exceptions the program throws: one class per kind of failure.
// The program's error classes. Each carries one message text, loaded by
// number from the program's string table where it is raised.
#pragma once

#include <exception>
#include <utility>

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

// An invalid date or time given to the date arithmetic.
class EConvertError : public Exception {
  using Exception::Exception;
};

// Stream and file errors.
class EStreamError : public Exception {
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
  using EStreamError::EStreamError;
};
class EFilerError : public EStreamError {
  using EStreamError::EStreamError;
};
class EReadError : public EFilerError {
  using EFilerError::EFilerError;
};
class EWriteError : public EFilerError {
  using EFilerError::EFilerError;
};

// A line index outside the list, or an operation the list's mode forbids.
class EListError : public Exception {
  using Exception::Exception;
};

// A registry value that cannot be read or holds the wrong kind of data.
class ERegistryException : public Exception {
  using Exception::Exception;
};

}  // namespace tidemark
