#include "expr/expr_evaluator.h"

#include <utility>

#include "util/case_tables.h"

namespace sx {

namespace {

constexpr char kExpressionExpected[] = "Expression expected.";
constexpr char kOperatorExpected[] = "Operator expected.";
constexpr char kUnknownOperator[] = "Unknown operator.";
constexpr char kWrongArity[] =
    "Wrong operator arity (for example binary operator is used as unary).";
constexpr char kCannotParseIdentifier[] = "Cannot parse identifier.";
constexpr char kNotEnoughParameters[] = "Not enough parameters.";
constexpr char kTooManyParameters[] = "Too many parameters.";
constexpr char kParametersExpected[] = "Function parameters expected.";
constexpr char kQuoteInWord[] =
    "You may not use the quotation mark symbols in an expression that is not enclosed by "
    "quotation marks itself.";
constexpr char kClosingQuoteExpected[] = "Closing quotation mark is expected.";
constexpr char kNestedTooDeeply[] = "Too many nested parentheses.";
constexpr char kClosingParenthesisExpected[] = "Closing parenthesis is expected.";
constexpr char kParenthesisNotOpened[] = "Closing parenthesis without an opening one.";

// Nesting levels of all evaluations running on this thread. An evaluation may start another one
// (a condition checked while an operand is expanded), and both use the same stack.
thread_local int tlsNesting = 0;

class NestingGuard {
 public:
  NestingGuard() { ++tlsNesting; }
  ~NestingGuard() { --tlsNesting; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

std::string Format(std::string_view message, std::string_view expression, std::size_t position) {
  std::string text;
  text.reserve(message.size() + expression.size() + 40);
  text.append(message).append("\r\n\r\nExpression: ").append(expression);
  text.append("\r\nPosition: ").append(std::to_string(position));
  return text;
}

// True when `token` is the mantissa of a decimal number followed by its exponent letter ("1e",
// "2.5E", ".5e"): a sign after it belongs to the number ("1e-400"), not to an operator.
bool EndsInExponentLetter(std::string_view token) {
  if (token.size() < 2 || (token.back() != 'e' && token.back() != 'E')) return false;
  token.remove_suffix(1);
  bool digits = false, point = false;
  for (char c : token) {
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

// Same name ignoring case; the length and the first letter are checked here so that the linear
// search of the lists rejects most names without a call.
inline bool SameName(const std::string& name, std::string_view other) {
  if (name.size() != other.size()) return false;
  return other.empty() || (UpperTable[static_cast<unsigned char>(name[0])] ==
                               UpperTable[static_cast<unsigned char>(other[0])] &&
                           SameTextFast(name, other));
}

}  // namespace

TqvEvaluatorError::TqvEvaluatorError(std::string_view message, std::string_view expression,
                                     std::size_t position)
    : EEngineError(Format(message, expression, position)), position_(position) {}

// ---- lists

TqvOperator& TqvOperatorList::Add(std::string_view name, uint8_t arity, int32_t precedence,
                                  int32_t data) {
  auto op = std::make_unique<TqvOperator>();
  op->Name = std::string(name);
  op->Arity = arity;
  op->Precedence = precedence;
  op->Data = data;
  op->Index = Count();
  items_.push_back(std::move(op));
  return *items_.back();
}

const TqvOperator* TqvOperatorList::Find(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& op : items_)
    if (SameName(op->Name, name)) return op.get();
  return nullptr;
}

TqvFunction& TqvFunctionList::Add(std::string_view name, int32_t paramCount, void* owner) {
  auto f = std::make_unique<TqvFunction>();
  f->Name = std::string(name);
  f->ParamCount = paramCount;
  f->Owner = owner;
  f->ID = nextID_++;
  f->Index = Count();
  items_.push_back(std::move(f));
  return *items_.back();
}

const TqvFunction* TqvFunctionList::Find(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const auto& f : items_)
    if (SameName(f->Name, name)) return f.get();
  return nullptr;
}

TqvFunction* TqvFunctionList::Find(std::string_view name) {
  return const_cast<TqvFunction*>(std::as_const(*this).Find(name));
}

// ---- the scanner

// The text of one evaluation and the position counter that all its nesting levels share.
struct TqvEvaluator::Scan {
  std::string_view text;  // the expression up to its first NUL byte
  std::size_t pos = 1;    // 1-based index of the character being examined

  char At(std::size_t index) const { return index >= 1 && index <= text.size() ? text[index - 1] : '\0'; }
  // Positions are 1-based: an error found at the step back from the first character is at 1.
  [[noreturn]] void Fail(std::string_view message) const {
    throw TqvEvaluatorError(message, text, pos < 1 ? 1 : pos);
  }
};

// One nesting level: the whole text, a parenthesised group or an argument list.
//
// "Keeping" a character (handing it to the next state unread) steps the counter back by one; the
// step's move forward then lands on the same character. Errors raised after such a step back
// carry the index minus 1, those raised before it the index itself, which is what authors see.
class TqvEvaluator::Level {
 public:
  // `group`: the level parses a parenthesised group or an argument list, which a ')' ends.
  Level(TqvEvaluator& evaluator, Scan& scan, const TqvFunction* function, bool group)
      : ev_(evaluator), s_(scan), F_(function), group_(group) {}

  std::string Run();

 private:
  enum class State { ExpectOperand, Token, AfterOperand, OperatorToken, AfterFunctionName };

  void Keep() { --s_.pos; }
  void ExpectOperand(char c);
  void Token(char c);
  void AfterOperand(char c);
  void OperatorToken(char c);
  void AfterFunctionName(char c);
  std::string Finish();

  // Parses a group (function nullptr) or an argument list from the character after '(' and
  // takes its value as the next operand.
  void Nested(const TqvFunction* function);
  void CompleteOperand();
  void Push(std::string x);
  void Reduce();
  std::string Apply(const TqvOperator& op, int arity, std::string&& left, std::string&& right);
  void EndArgument();

  TqvEvaluator& ev_;
  Scan& s_;
  const TqvFunction* F_;  // the function whose argument list this level parses
  const bool group_;

  std::string A_, B_, C_, T_;
  const TqvOperator* op1_ = nullptr;  // first pending binary operator; its right operand is B
  const TqvOperator* op2_ = nullptr;  // second pending binary operator; its right operand is C
  const TqvOperator* unary_ = nullptr;
  bool inQuote_ = false;
  bool hasContent_ = false;
  bool afterOperand_ = false;
  bool stop_ = false;
  char quote_ = 0;
  std::vector<std::string> args_;
  const TqvFunction* G_ = nullptr;  // a function named, waiting for its '('
  const CharSet* opChars_ = nullptr;
  State state_ = State::ExpectOperand;
};

std::string TqvEvaluator::Level::Run() {
  while (!stop_) {
    const char c = s_.At(s_.pos);
    if (c == '\0') break;
    switch (state_) {
      case State::ExpectOperand: ExpectOperand(c); break;
      case State::Token: Token(c); break;
      case State::AfterOperand: AfterOperand(c); break;
      case State::OperatorToken: OperatorToken(c); break;
      case State::AfterFunctionName: AfterFunctionName(c); break;
    }
    ++s_.pos;
  }
  return Finish();
}

void TqvEvaluator::Level::ExpectOperand(char c) {
  if (c == ' ') return;
  if (Contains(ev_.SymbolOpChars, c)) {
    afterOperand_ = false;
    T_.clear();
    opChars_ = &ev_.SymbolOpChars;
    state_ = State::OperatorToken;
    Keep();
    return;
  }
  if (Contains(ev_.QuoteChars, c)) {
    T_.clear();
    quote_ = c;
    inQuote_ = true;
    hasContent_ = true;
    state_ = State::Token;
    return;
  }
  if (c == '(') {
    Nested(nullptr);
    return;
  }
  T_.clear();
  state_ = State::Token;
  Keep();
}

void TqvEvaluator::Level::Token(char c) {
  if (Contains(ev_.QuoteChars, c)) {
    if (!inQuote_) s_.Fail(kQuoteInWord);
    if (c != quote_) {
      T_ += c;
    } else if (s_.At(s_.pos + 1) == quote_) {
      T_ += c;  // a doubled quote stands for one
      ++s_.pos;
    } else {
      inQuote_ = false;
      CompleteOperand();
    }
    return;
  }
  if (inQuote_ || Contains(ev_.IdentChars, c)) {
    T_ += c;
    hasContent_ = true;
    return;
  }
  const char next = s_.At(s_.pos + 1);
  if ((c == '-' || c == '+') && next >= '0' && next <= '9' && EndsInExponentLetter(T_)) {
    T_ += c;  // the sign of a number's exponent
    return;
  }
  // The token has ended: the character goes to the next state.
  Keep();
  if (const TqvOperator* op = ev_.FindOperator(T_)) {
    // A word operator in operand position is unary.
    if (unary_) s_.Fail(kExpressionExpected);
    unary_ = op;
    afterOperand_ = false;
    // The word was the operator, not an operand: an empty token after it ("not )") is missing
    // its operand.
    hasContent_ = false;
    state_ = State::ExpectOperand;
    return;
  }
  if (const TqvFunction* f = ev_.FindFunction(T_)) {
    G_ = f;
    state_ = State::AfterFunctionName;
    return;
  }
  if (!hasContent_) s_.Fail(kExpressionExpected);
  CompleteOperand();
}

void TqvEvaluator::Level::AfterOperand(char c) {
  if (c == ' ') return;
  if (c == ')') {
    // A ')' that closes nothing would end the evaluation and hide the rest of the text.
    if (!group_) s_.Fail(kParenthesisNotOpened);
    stop_ = true;
    if (F_) {
      EndArgument();
      if (F_->ParamCount != TqvFunction::kAnyParamCount) {
        const auto wanted = static_cast<std::size_t>(F_->ParamCount < 0 ? 0 : F_->ParamCount);
        if (args_.size() < wanted) s_.Fail(kNotEnoughParameters);
        if (args_.size() > wanted) s_.Fail(kTooManyParameters);
      }
      A_ = ev_.CalcFunction(*F_, &args_);
    }
    return;
  }
  if (c == ',') {
    if (!F_) s_.Fail(kOperatorExpected);
    EndArgument();
    state_ = State::ExpectOperand;
    return;
  }
  T_.clear();
  Keep();
  if (Contains(ev_.SymbolOpChars, c)) {
    opChars_ = &ev_.SymbolOpChars;
  } else if (Contains(ev_.WordOpChars, c)) {
    opChars_ = &ev_.WordOpChars;
  } else {
    s_.Fail(kOperatorExpected);
  }
  state_ = State::OperatorToken;
}

void TqvEvaluator::Level::OperatorToken(char c) {
  if (Contains(*opChars_, c)) {
    T_ += c;
    return;
  }
  const TqvOperator* op = ev_.FindOperator(T_);
  if (!op) s_.Fail(kUnknownOperator);
  if (!afterOperand_) {
    if (unary_) s_.Fail(kExpressionExpected);
    unary_ = op;
  } else if (op1_) {
    op2_ = op;
  } else {
    op1_ = op;
  }
  state_ = State::ExpectOperand;
  Keep();
}

void TqvEvaluator::Level::AfterFunctionName(char c) {
  if (c == ' ') return;
  if (c == '(') {
    const TqvFunction* function = G_;
    G_ = nullptr;
    Nested(function);
    return;
  }
  if (G_->ParamCount != 0) s_.Fail(kParametersExpected);
  const TqvFunction& function = *G_;
  G_ = nullptr;
  T_ = ev_.CalcFunction(function, nullptr);
  CompleteOperand();
  Keep();
}

std::string TqvEvaluator::Level::Finish() {
  if (state_ != State::Token && state_ != State::AfterOperand) s_.Fail(kExpressionExpected);
  if (state_ == State::Token) {
    if (!hasContent_) s_.Fail(kExpressionExpected);
    if (inQuote_) s_.Fail(kClosingQuoteExpected);
  }
  // An argument list that the text ends without its ')': the call would never be made.
  if (F_ && !stop_) s_.Fail(kExpressionExpected);
  // A group that the text ends without its ')'.
  if (group_ && !stop_) s_.Fail(kClosingParenthesisExpected);
  if (state_ == State::Token) {
    // A token that ends the text is an operand, or a function named without parentheses; it is
    // never taken as an operator.
    if (const TqvFunction* f = T_.empty() ? nullptr : ev_.FindFunction(T_)) {
      if (f->ParamCount != 0) s_.Fail(kParametersExpected);
      T_ = ev_.CalcFunction(*f, nullptr);
    }
    if (!ev_.ResolveOperand(T_)) s_.Fail(kCannotParseIdentifier);
    Push(std::move(T_));
  }
  Reduce();
  return std::move(A_);
}

void TqvEvaluator::Level::Nested(const TqvFunction* function) {
  if (tlsNesting >= kMaxNesting) s_.Fail(kNestedTooDeeply);
  ++s_.pos;  // past '('
  std::string value;
  {
    NestingGuard nesting;
    Level level(ev_, s_, function, true);
    value = level.Run();
  }
  // The nested level stopped just after its ')' (or at the end of the text); the operand is
  // complete there and scanning resumes at that character.
  T_ = std::move(value);
  CompleteOperand();
  Keep();
}

void TqvEvaluator::Level::CompleteOperand() {
  if (!ev_.ResolveOperand(T_)) s_.Fail(kCannotParseIdentifier);
  Push(std::move(T_));
  T_.clear();
  hasContent_ = false;
  afterOperand_ = true;
  state_ = State::AfterOperand;
}

void TqvEvaluator::Level::Push(std::string x) {
  if (unary_) {
    const TqvOperator& u = *unary_;
    unary_ = nullptr;
    x = Apply(u, oaUnary, std::string(), std::move(x));
  }
  if (op2_) {
    C_ = std::move(x);
  } else if (op1_) {
    B_ = std::move(x);
  } else {
    A_ = std::move(x);
  }
  if (!op2_) return;
  const int64_t order = static_cast<int64_t>(op1_->Precedence) - op2_->Precedence;
  if (order >= 0) {
    // The first operator binds at least as tight: it applies now, the second takes its place.
    A_ = Apply(*op1_, oaBinary, std::move(A_), std::move(B_));
    op1_ = op2_;
    B_ = std::move(C_);
  } else {
    B_ = Apply(*op2_, oaBinary, std::move(B_), std::move(C_));
  }
  op2_ = nullptr;
  C_.clear();
}

void TqvEvaluator::Level::Reduce() {
  if (!op1_) return;
  const TqvOperator& op = *op1_;
  A_ = Apply(op, oaBinary, std::move(A_), std::move(B_));
  op1_ = nullptr;
  B_.clear();
}

std::string TqvEvaluator::Level::Apply(const TqvOperator& op, int arity, std::string&& left,
                                       std::string&& right) {
  if (!op.Allows(arity)) s_.Fail(kWrongArity);
  return ev_.CalcOperator(op, arity, std::move(left), std::move(right));
}

void TqvEvaluator::Level::EndArgument() {
  Reduce();
  args_.push_back(std::move(A_));
  A_.clear();
}

// ---- the evaluator

TqvEvaluator::TqvEvaluator() {
  for (char c = '0'; c <= '9'; ++c) IdentChars.set(static_cast<unsigned char>(c));
  for (char c = 'A'; c <= 'Z'; ++c) {
    IdentChars.set(static_cast<unsigned char>(c));
    IdentChars.set(static_cast<unsigned char>(c + ('a' - 'A')));
    WordOpChars.set(static_cast<unsigned char>(c));
    WordOpChars.set(static_cast<unsigned char>(c + ('a' - 'A')));
  }
  IdentChars.set('_');
  SymbolOpChars = MakeCharSet("!#$%&*+-/:<=>?@\\^|~");
  QuoteChars = MakeCharSet("\"'");
}

TqvEvaluator::~TqvEvaluator() = default;

TqvOperator& TqvEvaluator::AddOperator(std::string_view name, uint8_t arity, int32_t precedence,
                                       int32_t data) {
  return operators_.Add(name, arity, precedence, data);
}

TqvFunction& TqvEvaluator::AddFunction(std::string_view name, int32_t paramCount, void* owner) {
  return functions_.Add(name, paramCount, owner);
}

int64_t TqvEvaluator::ComparePrecedence(std::string_view first, std::string_view second) const {
  const TqvOperator* a = FindOperator(first);
  const TqvOperator* b = FindOperator(second);
  if (!a || !b) throw EEngineError(kUnknownOperator);
  return static_cast<int64_t>(a->Precedence) - b->Precedence;
}

bool TqvEvaluator::ResolveOperand(std::string&) { return true; }

std::string TqvEvaluator::Evaluate() {
  // A copy: an evaluation started from inside this one may set Expression anew.
  const std::string expression = Expression;
  Scan scan;
  scan.text = std::string_view(expression).substr(0, expression.find('\0'));
  if (tlsNesting >= kMaxNesting) scan.Fail(kNestedTooDeeply);
  NestingGuard nesting;
  Level level(*this, scan, nullptr, false);
  return level.Run();
}

}  // namespace sx
