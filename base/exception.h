// The root of every error the system raises, and the runtime's own error classes.
#pragma once

#include <exception>
#include <string>

// Base of all errors. Each class reports its own name so that front ends can show
// "CLASS: MESSAGE" without run-time type names.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message = std::string()) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
};

// Declares an error class that adds nothing but its name.
#define FG_DECLARE_EXCEPTION(Name, Base)                     \
  class Name : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    const char* ClassName() const override { return #Name; } \
  }

// A text that is not a valid number: "'%s' is not a valid integer value".
FG_DECLARE_EXCEPTION(EConvertError, Exception);
// A broken precondition of a call ("REQUIRE: ...").
FG_DECLARE_EXCEPTION(EAssertionFailed, Exception);
// List index out of range, duplicates refused.
FG_DECLARE_EXCEPTION(EListError, Exception);
FG_DECLARE_EXCEPTION(EStringListError, EListError);
// Stream and file errors.
FG_DECLARE_EXCEPTION(EStreamError, Exception);
FG_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
FG_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
FG_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
FG_DECLARE_EXCEPTION(EReadError, EStreamError);
FG_DECLARE_EXCEPTION(EWriteError, EStreamError);
// A movie that cannot be read: not a movie, truncated, corrupt, or larger than allowed.
FG_DECLARE_EXCEPTION(EMovieError, Exception);
