// TqvEvaluator: the generic evaluator of the expression language of conditions and actions.
//
// The evaluator knows no operator or function by itself. A descendant registers its operators and
// functions and gives them meaning through CalcOperator and CalcFunction; ResolveOperand turns
// every completed operand into its value. Every value is an 8-bit text.
//
// Evaluation is one pass over the text from left to right without a syntax tree: each value is
// computed as soon as its operands are complete, with at most two binary operators waiting per
// nesting level, and recursion only for parentheses and argument lists. Nothing is skipped: both
// operands of every operator and every argument of every call are evaluated. The consequences are
// part of the language and are kept on purpose:
//   - operators of equal precedence associate to the left;
//   - with p(op1) < p(op2) < p(op3), "a op1 b op2 c op3 d" is a op1 ((b op2 c) op3 d);
//   - a unary operator applies to the single operand after it ("not a and b" is (not a) and b),
//     and two unary operators in a row are an error;
//   - operator characters of one class run together ("1<-2" reads the operator "<-");
//   - only the space separates; a ')' without '(' at the outermost level ends the text.
//
// Syntax errors raise TqvEvaluatorError with the position where the scan found them. Parentheses
// and argument lists may be nested kMaxNesting deep (counted over every evaluation running on the
// thread); deeper nesting is a syntax error, so no text can exhaust the stack.
//
// Threads: the scan state of an evaluation lives on the stack, so an evaluation may start another
// one on the same instance from inside ResolveOperand or CalcFunction (a condition evaluated
// while a variable is expanded). Expression and the operator and function lists are not guarded:
// one thread evaluates at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/evaluator_errors.h"
#include "util/tokens.h"

namespace sx {

// The uses of an operator, as element numbers of its Arity set.
enum TOperatorArity : int { oaUnary = 0, oaBinary = 1 };
constexpr uint8_t kArityUnary = 1u << oaUnary;
constexpr uint8_t kArityBinary = 1u << oaBinary;

struct TqvOperator {
  std::string Name;         // compared ignoring case by the fixed Windows-1251 folding
  uint8_t Arity = 0;        // set of TOperatorArity elements, one bit each
  int32_t Precedence = 0;   // a larger value binds tighter (binary use only)
  int32_t Data = 0;         // given at registration, never interpreted
  int Index = 0;            // position in the list, from 0; descendants dispatch on it

  bool Allows(int arity) const { return arity >= 0 && arity < 8 && (Arity >> arity) & 1u; }
};

class TqvOperatorList {
 public:
  TqvOperator& Add(std::string_view name, uint8_t arity, int32_t precedence, int32_t data);
  // The first operator of that name (ignoring case); nullptr for none and for an empty name.
  const TqvOperator* Find(std::string_view name) const;
  int Count() const { return static_cast<int>(items_.size()); }
  const TqvOperator& operator[](int index) const { return *items_[static_cast<size_t>(index)]; }

 private:
  std::vector<std::unique_ptr<TqvOperator>> items_;
};

struct TqvFunction {
  std::string Name;      // compared ignoring case like operator names
  int32_t ParamCount = 0;  // the exact number of arguments, or -1 for any number
  // nullptr for a function the evaluator class implements itself; otherwise the component that
  // registered it (a plug-in), which the descendant calls to compute it.
  void* Owner = nullptr;
  // Set when the owning component has gone (a plug-in unloaded). The function stays registered,
  // with its name and ID, but calling it is an error.
  bool OwnerReleased = false;
  int ID = 0;     // assigned by the list when added: from 0 up, never reused
  int Index = 0;  // position in the list, from 0

  static constexpr int32_t kAnyParamCount = -1;
};

class TqvFunctionList {
 public:
  TqvFunction& Add(std::string_view name, int32_t paramCount, void* owner);
  // The first function of that name (ignoring case); nullptr for none and for an empty name.
  const TqvFunction* Find(std::string_view name) const;
  TqvFunction* Find(std::string_view name);
  int Count() const { return static_cast<int>(items_.size()); }
  TqvFunction& operator[](int index) { return *items_[static_cast<size_t>(index)]; }
  const TqvFunction& operator[](int index) const { return *items_[static_cast<size_t>(index)]; }

 private:
  std::vector<std::unique_ptr<TqvFunction>> items_;
  int nextID_ = 0;
};

class TqvEvaluator {
 public:
  // Parentheses and argument lists nested deeper than this (on one thread, over all evaluations
  // running there) end the evaluation with a syntax error.
  static constexpr int kMaxNesting = 256;

  TqvEvaluator();
  virtual ~TqvEvaluator();
  TqvEvaluator(const TqvEvaluator&) = delete;
  TqvEvaluator& operator=(const TqvEvaluator&) = delete;

  // The text to evaluate. The text ends at its first NUL byte, if any.
  std::string Expression;

  // The characters of plain operands: '0'-'9', 'A'-'Z', '_', 'a'-'z'.
  CharSet IdentChars;
  // The characters of symbolic operators: ! # $ % & * + - / : < = > ? @ \ ^ | ~
  CharSet SymbolOpChars;
  // The characters of word operators: 'A'-'Z', 'a'-'z'.
  CharSet WordOpChars;
  // The quotation marks: " and '.
  CharSet QuoteChars;

  TqvOperator& AddOperator(std::string_view name, uint8_t arity, int32_t precedence, int32_t data);
  TqvFunction& AddFunction(std::string_view name, int32_t paramCount, void* owner);
  const TqvOperator* FindOperator(std::string_view name) const { return operators_.Find(name); }
  const TqvFunction* FindFunction(std::string_view name) const { return functions_.Find(name); }
  const TqvOperatorList& Operators() const { return operators_; }
  const TqvFunctionList& Functions() const { return functions_; }

  // Precedence of the first operator minus that of the second (computed without overflow).
  // Both operators must exist.
  int64_t ComparePrecedence(std::string_view first, std::string_view second) const;

  // Evaluates Expression and returns its value. Syntax errors raise TqvEvaluatorError; whatever
  // ResolveOperand, CalcOperator or CalcFunction raise passes through unchanged.
  std::string Evaluate();

 protected:
  // Called for every completed operand (plain word, quoted string, parenthesised group, function
  // result); may replace the text with the operand's value. False rejects the operand ("Cannot
  // parse identifier."). The base accepts every operand unchanged.
  virtual bool ResolveOperand(std::string& text);
  // Applies an operator. For unary use `left` is empty and the operand is `right`. Both texts
  // belong to the evaluator and may be consumed.
  virtual std::string CalcOperator(const TqvOperator& op, int arity, std::string&& left,
                                   std::string&& right) = 0;
  // Calls a function. `params` holds the argument texts in order; it is nullptr when the function
  // was named without parentheses. The texts may be consumed.
  virtual std::string CalcFunction(const TqvFunction& function,
                                   std::vector<std::string>* params) = 0;

  TqvFunctionList& MutableFunctions() { return functions_; }

 private:
  struct Scan;
  class Level;

  TqvOperatorList operators_;
  TqvFunctionList functions_;
};

}  // namespace sx
