// The failures an evaluation can end with.
//
// TqvEvaluatorError is a syntax error of the expression text: its message names the error, repeats
// the whole expression and gives the 1-based position where the scanner found the error. The
// arithmetic failures carry the texts a floating-point unit with overflow, zero-divide and
// invalid-operation traps reports; EConvertError is a text that does not read as what a function
// needs (a date). None of them is caught inside the evaluator: each ends the evaluation and
// reaches the caller as it was raised.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "util/errors.h"

namespace sx {

class TqvEvaluatorError : public EEngineError {
 public:
  // The message is "<message>\r\n\r\nExpression: <expression>\r\nPosition: <position>".
  TqvEvaluatorError(std::string_view message, std::string_view expression, std::size_t position);

  // The 1-based position carried in the message.
  std::size_t Position() const { return position_; }

 private:
  std::size_t position_;
};

// Arithmetic failures: the messages of the floating-point traps.
class EMathError : public EEngineError {
 public:
  using EEngineError::EEngineError;
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide() : EMathError("Floating point division by zero") {}
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp() : EMathError("Invalid floating point operation") {}
};
class EOverflow : public EMathError {
 public:
  EOverflow() : EMathError("Floating point overflow") {}
};

// A text that does not convert to the value a function needs.
class EConvertError : public EEngineError {
 public:
  using EEngineError::EEngineError;
};

}  // namespace sx
