// The generic evaluator: the order in which operators and functions apply, quoting, operand
// resolution, every syntax error with its position, and texts built to break a scanner.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expr/expr_evaluator.h"
#include "tests/expr/expr_test_support.h"

namespace sx {
namespace {

using test::EvaluatorMessage;

// Operators and functions that show the structure of an evaluation: a binary application gives
// "(left op right)", a unary one "(op right)", a call "name[arg,arg]". Precedences: "|" 1,
// "and" 1, "+" and "-" 3, "*" 4, "not" 5. Every resolution and application is logged in order.
class TraceEvaluator : public TqvEvaluator {
 public:
  TraceEvaluator() {
    AddOperator("|", kArityBinary, 1, 0);
    AddOperator("+", kArityUnary | kArityBinary, 3, 0);
    AddOperator("-", kArityUnary | kArityBinary, 3, 0);
    AddOperator("*", kArityBinary, 4, 0);
    AddOperator("not", kArityUnary, 5, 0);
    AddOperator("and", kArityBinary, 1, 0);
    AddFunction("f", 2, nullptr);
    AddFunction("any", TqvFunction::kAnyParamCount, nullptr);
    AddFunction("zero", 0, nullptr);
    AddFunction("mkbad", 1, nullptr);
  }

  std::vector<std::string> log;
  std::string rejected = "bad";  // the operand value ResolveOperand refuses

  std::string Run(std::string_view text) {
    Expression = std::string(text);
    return Evaluate();
  }
  std::string ErrorOf(std::string_view text) {
    return test::FailureOf([&] { return Run(text); });
  }

 protected:
  bool ResolveOperand(std::string& text) override {
    log.push_back("resolve " + text);
    return text != rejected;
  }
  std::string CalcOperator(const TqvOperator& op, int arity, std::string&& left,
                           std::string&& right) override {
    std::string value = arity == oaUnary ? "(" + op.Name + right + ")"
                                         : "(" + left + op.Name + right + ")";
    log.push_back("apply " + value);
    return value;
  }
  std::string CalcFunction(const TqvFunction& function,
                           std::vector<std::string>* params) override {
    if (function.Name == "mkbad") return "bad";
    std::string value = function.Name;
    if (params) {
      value += "[";
      for (size_t i = 0; i < params->size(); ++i) value += (i ? "," : "") + (*params)[i];
      value += "]";
    }
    log.push_back("call " + value);
    return value;
  }
};

TEST(EvaluatorOrder, EqualPrecedenceAssociatesLeft) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("a - b - c"), "((a-b)-c)");
  EXPECT_EQ(ev.Run("a + b - c + d"), "(((a+b)-c)+d)");
  EXPECT_EQ(ev.Run("a * b * c"), "((a*b)*c)");
}

TEST(EvaluatorOrder, TighterOperatorAppliesFirstOnEitherSide) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("a + b * c"), "(a+(b*c))");
  EXPECT_EQ(ev.Run("a * b + c"), "((a*b)+c)");
  EXPECT_EQ(ev.Run("a * b + c * d"), "((a*b)+(c*d))");
  EXPECT_EQ(ev.Run("a + b * c * d"), "(a+((b*c)*d))");
}

TEST(EvaluatorOrder, ThreeRisingPrecedencesKeepTheTwoSlotOrder) {
  TraceEvaluator ev;
  // p(|) < p(+) < p(*): the middle operator applies before the tightest one.
  EXPECT_EQ(ev.Run("a | b + c * d"), "(a|((b+c)*d))");
  EXPECT_EQ(ev.Run("a and b + c * d"), "(aand((b+c)*d))");
}

TEST(EvaluatorOrder, UnaryOperatorTakesOnlyTheNextOperand) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("- a * b"), "((-a)*b)");
  EXPECT_EQ(ev.Run("not a and b"), "((nota)andb)");
  EXPECT_EQ(ev.Run("a * -b"), "(a*(-b))");
  EXPECT_EQ(ev.Run("-5"), "(-5)");  // digits are no operator characters
  EXPECT_EQ(ev.Run("not(a)"), "(nota)");
}

TEST(EvaluatorOrder, OperatorCharactersRunTogether) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.ErrorOf("1+-2"), EvaluatorMessage("Unknown operator.", "1+-2", 4));
  EXPECT_EQ(ev.Run("1 + -2"), "(1+(-2))");
  ev.AddOperator("+-", kArityBinary, 3, 0);
  EXPECT_EQ(ev.Run("1+-2"), "(1+-2)");
  // A word operator ends where the letters end.
  EXPECT_EQ(ev.Run("a and1"), "(aand1)");
}

TEST(EvaluatorOrder, EverythingIsEvaluatedInTextOrder) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("zero and f(x, y) | any(z)"), "((zeroandf[x,y])|any[z])");
  EXPECT_EQ(ev.log, (std::vector<std::string>{"call zero", "resolve zero", "resolve x",
                                              "resolve y", "call f[x,y]", "resolve f[x,y]",
                                              "resolve z", "call any[z]", "resolve any[z]",
                                              "apply (zeroandf[x,y])",
                                              "apply ((zeroandf[x,y])|any[z])"}));
}

TEST(EvaluatorOrder, GroupsAndCallsNest) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("(a + b) * c"), "((a+b)*c)");
  EXPECT_EQ(ev.Run("f(a + b * c, (d))"), "f[(a+(b*c)),d]");
  EXPECT_EQ(ev.Run("f ( 1 , f(2, 3) )"), "f[1,f[2,3]]");
  EXPECT_EQ(ev.Run("any(x)"), "any[x]");
  // An empty argument list is an empty argument, whatever the function takes.
  EXPECT_EQ(ev.ErrorOf("any()"), EvaluatorMessage("Expression expected.", "any()", 4));
}

TEST(EvaluatorOperands, QuotedStrings) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("'abc'"), "abc");
  EXPECT_EQ(ev.Run("\"abc\""), "abc");
  EXPECT_EQ(ev.Run("'it''s'"), "it's");
  EXPECT_EQ(ev.Run("\"say 'hi'\""), "say 'hi'");
  EXPECT_EQ(ev.Run("'a + (b)' + ' '"), "(a + (b)+ )");
  EXPECT_EQ(ev.Run("''"), "");
  EXPECT_EQ(ev.Run("''''"), "'");
}

TEST(EvaluatorOperands, EveryCompletedOperandIsResolvedGroupsTwice) {
  TraceEvaluator ev;
  ev.Run("('q' + w) * f(1, 2)");
  EXPECT_EQ(ev.log, (std::vector<std::string>{"resolve q", "resolve w", "apply (q+w)",
                                              "resolve (q+w)", "resolve 1", "resolve 2",
                                              "call f[1,2]", "resolve f[1,2]",
                                              "apply ((q+w)*f[1,2])"}));
}

TEST(EvaluatorErrors, UnmatchedParenthesesAreSyntaxErrors) {
  TraceEvaluator ev;
  // A group the text ends without its ')': the length plus 1.
  const char* open = "Closing parenthesis is expected.";
  EXPECT_EQ(ev.ErrorOf("(1"), EvaluatorMessage(open, "(1", 3));
  EXPECT_EQ(ev.ErrorOf("(1 + 2"), EvaluatorMessage(open, "(1 + 2", 7));
  EXPECT_EQ(ev.ErrorOf("((1) + 2"), EvaluatorMessage(open, "((1) + 2", 9));
  EXPECT_EQ(ev.ErrorOf("f((1)"), EvaluatorMessage("Expression expected.", "f((1)", 6));
  // A ')' that closes nothing: its own index; the text after it is not ignored.
  const char* close = "Closing parenthesis without an opening one.";
  EXPECT_EQ(ev.ErrorOf("1)"), EvaluatorMessage(close, "1)", 2));
  EXPECT_EQ(ev.ErrorOf("1) xyz"), EvaluatorMessage(close, "1) xyz", 2));
  EXPECT_EQ(ev.ErrorOf("(a) + b) * c"), EvaluatorMessage(close, "(a) + b) * c", 8));
  EXPECT_EQ(ev.ErrorOf("f(1, 2)) "), EvaluatorMessage(close, "f(1, 2)) ", 8));
  // A group cut off by the text inside an argument list and a number's exponent sign.
  EXPECT_EQ(ev.Run("1e-4 + 2"), "(1e-4+2)");
  // Balanced ones still evaluate.
  EXPECT_EQ(ev.Run("((a) + (b)) * c"), "((a+b)*c)");
}

TEST(EvaluatorOperands, FunctionsWithoutParameters) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("zero"), "zero");
  EXPECT_EQ(ev.Run("zero + zero"), "(zero+zero)");
  EXPECT_EQ(ev.ErrorOf("zero()"), EvaluatorMessage("Expression expected.", "zero()", 5));
  EXPECT_EQ(ev.ErrorOf("f()"), EvaluatorMessage("Expression expected.", "f()", 2));
}

// Each row of the error table, with the position it carries.
TEST(EvaluatorErrors, ExpressionExpected) {
  TraceEvaluator ev;
  const char* m = "Expression expected.";
  EXPECT_EQ(ev.ErrorOf(""), EvaluatorMessage(m, "", 1));
  EXPECT_EQ(ev.ErrorOf("   "), EvaluatorMessage(m, "   ", 4));
  // An empty operand token: the character that ended it, minus 1, but never before the first
  // character (positions users see are 1-based).
  EXPECT_EQ(ev.ErrorOf(")"), EvaluatorMessage(m, ")", 1));
  EXPECT_EQ(ev.ErrorOf(",,,"), EvaluatorMessage(m, ",,,", 1));
  EXPECT_EQ(ev.ErrorOf("1 + )"), EvaluatorMessage(m, "1 + )", 4));
  EXPECT_EQ(ev.ErrorOf("f(1,)"), EvaluatorMessage(m, "f(1,)", 4));
  EXPECT_EQ(ev.ErrorOf("f(,1)"), EvaluatorMessage(m, "f(,1)", 2));
  // A word operator after a pending unary one: the character after the word, minus 1.
  EXPECT_EQ(ev.ErrorOf("not not x"), EvaluatorMessage(m, "not not x", 7));
  // A symbolic operator after a pending unary one: the character after the operator token.
  EXPECT_EQ(ev.ErrorOf("- -1"), EvaluatorMessage(m, "- -1", 4));
  EXPECT_EQ(ev.ErrorOf("not -1"), EvaluatorMessage(m, "not -1", 6));
  // The text ends where an operand is expected, inside an operator token, or after a function
  // name and spaces: the length plus 1.
  EXPECT_EQ(ev.ErrorOf("1 +"), EvaluatorMessage(m, "1 +", 4));
  EXPECT_EQ(ev.ErrorOf("1 + "), EvaluatorMessage(m, "1 + ", 5));
  EXPECT_EQ(ev.ErrorOf("-"), EvaluatorMessage(m, "-", 2));
  EXPECT_EQ(ev.ErrorOf("f  "), EvaluatorMessage(m, "f  ", 4));
  EXPECT_EQ(ev.ErrorOf("not "), EvaluatorMessage(m, "not ", 5));
}

TEST(EvaluatorErrors, WordOperatorWithoutItsOperand) {
  TraceEvaluator ev;
  // The word is the operator, so the ')' stands where its operand should be.
  EXPECT_EQ(ev.ErrorOf("not )"), EvaluatorMessage("Expression expected.", "not )", 4));
  EXPECT_EQ(ev.ErrorOf("f(not ,1)"), EvaluatorMessage("Expression expected.", "f(not ,1)", 6));
  // A word that ends the text is an operand, never an operator.
  EXPECT_EQ(ev.Run("x and not"), "(xandnot)");
}

TEST(EvaluatorErrors, OperatorExpected) {
  TraceEvaluator ev;
  const char* m = "Operator expected.";
  EXPECT_EQ(ev.ErrorOf("1 2"), EvaluatorMessage(m, "1 2", 2));
  EXPECT_EQ(ev.ErrorOf("1 'a'"), EvaluatorMessage(m, "1 'a'", 2));
  EXPECT_EQ(ev.ErrorOf("(1)(2)"), EvaluatorMessage(m, "(1)(2)", 3));
  // A ',' outside an argument list: the index of the ','.
  EXPECT_EQ(ev.ErrorOf("1, 2"), EvaluatorMessage(m, "1, 2", 2));
  EXPECT_EQ(ev.ErrorOf("(1, 2)"), EvaluatorMessage(m, "(1, 2)", 3));
}

TEST(EvaluatorErrors, UnknownOperatorAndWrongArity) {
  TraceEvaluator ev;
  // An unknown operator token: the first character after it.
  EXPECT_EQ(ev.ErrorOf("1 <> 2"), EvaluatorMessage("Unknown operator.", "1 <> 2", 5));
  EXPECT_EQ(ev.ErrorOf("1 xor 2"), EvaluatorMessage("Unknown operator.", "1 xor 2", 6));
  // An operator token that the text ends is incomplete: an operand is still expected.
  EXPECT_EQ(ev.ErrorOf("1 <"), EvaluatorMessage("Expression expected.", "1 <", 4));
  const char* m = "Wrong operator arity (for example binary operator is used as unary).";
  // Applied where the operand is completed: a word ended by a character (its index minus 1),
  // an operand that ends the text (length plus 1).
  EXPECT_EQ(ev.ErrorOf("* 2 + 1"), EvaluatorMessage(m, "* 2 + 1", 3));
  EXPECT_EQ(ev.ErrorOf("* 2"), EvaluatorMessage(m, "* 2", 4));
  // Applied at the ',' or ')' of an argument list, or at the end of a level.
  EXPECT_EQ(ev.ErrorOf("f(a not b, c)"), EvaluatorMessage(m, "f(a not b, c)", 10));
  EXPECT_EQ(ev.ErrorOf("f(c, a not b)"), EvaluatorMessage(m, "f(c, a not b)", 13));
  EXPECT_EQ(ev.ErrorOf("a not b"), EvaluatorMessage(m, "a not b", 8));
  EXPECT_EQ(ev.ErrorOf("(a not b) + c"), EvaluatorMessage(m, "(a not b) + c", 10));
}

TEST(EvaluatorErrors, RejectedOperandAtItsCompletion) {
  TraceEvaluator ev;
  const char* m = "Cannot parse identifier.";
  EXPECT_EQ(ev.ErrorOf("bad"), EvaluatorMessage(m, "bad", 4));
  EXPECT_EQ(ev.ErrorOf("bad + 1"), EvaluatorMessage(m, "bad + 1", 3));
  EXPECT_EQ(ev.ErrorOf("'bad' + 1"), EvaluatorMessage(m, "'bad' + 1", 5));
  EXPECT_EQ(ev.ErrorOf("mkbad(1) + 1"), EvaluatorMessage(m, "mkbad(1) + 1", 9));
  ev.rejected = "zero";
  EXPECT_EQ(ev.ErrorOf("zero  + 1"), EvaluatorMessage(m, "zero  + 1", 7));
  ev.rejected = "(1+2)";
  EXPECT_EQ(ev.ErrorOf("(1 + 2) * 3"), EvaluatorMessage(m, "(1 + 2) * 3", 8));
}

TEST(EvaluatorErrors, ArgumentCounts) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.ErrorOf("f(1)"), EvaluatorMessage("Not enough parameters.", "f(1)", 4));
  EXPECT_EQ(ev.ErrorOf("f(1, 2, 3)"), EvaluatorMessage("Too many parameters.", "f(1, 2, 3)", 10));
  EXPECT_EQ(ev.ErrorOf("zero(1)"), EvaluatorMessage("Too many parameters.", "zero(1)", 7));
  const char* m = "Function parameters expected.";
  EXPECT_EQ(ev.ErrorOf("f + 1"), EvaluatorMessage(m, "f + 1", 3));
  EXPECT_EQ(ev.ErrorOf("f"), EvaluatorMessage(m, "f", 2));
  EXPECT_EQ(ev.ErrorOf("any"), EvaluatorMessage(m, "any", 4));
}

TEST(EvaluatorErrors, QuotationMarks) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.ErrorOf("ab\"c"),
            EvaluatorMessage("You may not use the quotation mark symbols in an expression that "
                             "is not enclosed by quotation marks itself.",
                             "ab\"c", 3));
  EXPECT_EQ(ev.ErrorOf("'abc"), EvaluatorMessage("Closing quotation mark is expected.", "'abc", 5));
  EXPECT_EQ(ev.ErrorOf("f('a', 'b"),
            EvaluatorMessage("Closing quotation mark is expected.", "f('a', 'b", 10));
}

TEST(EvaluatorErrors, ArgumentListLeftOpen) {
  TraceEvaluator ev;
  // The function would never be called: the missing ')' is reported instead.
  EXPECT_EQ(ev.ErrorOf("f(1, 2"), EvaluatorMessage("Expression expected.", "f(1, 2", 7));
  ev.log.clear();
  // A group left open inside it is reported first, where the text ends.
  EXPECT_EQ(ev.ErrorOf("1 + f(1, (2"),
            EvaluatorMessage("Closing parenthesis is expected.", "1 + f(1, (2", 12));
  EXPECT_EQ(ev.log, (std::vector<std::string>{"resolve 1", "resolve 1"}));
}

TEST(EvaluatorErrors, FirstErrorEndsTheEvaluationAfterEarlierCalls) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.ErrorOf("zero + f(1, 2) 3"),
            EvaluatorMessage("Operator expected.", "zero + f(1, 2) 3", 15));
  EXPECT_EQ(ev.log.back(), "resolve f[1,2]");
}

TEST(EvaluatorErrors, EvaluatorStaysUsableAfterAnError) {
  TraceEvaluator ev;
  EXPECT_THROW(ev.Run("f(((1"), TqvEvaluatorError);
  EXPECT_EQ(ev.Run("f((1), 2)"), "f[1,2]");
}

TEST(EvaluatorLists, LookupIgnoresCaseAndFindsTheFirstOfDuplicates) {
  TraceEvaluator ev;
  EXPECT_EQ(ev.Run("a AND b"), "(aandb)");
  EXPECT_EQ(ev.Run("F(1, 2)"), "f[1,2]");
  EXPECT_EQ(ev.FindOperator(""), nullptr);
  EXPECT_EQ(ev.FindFunction(""), nullptr);
  // A second "*" that is also unary is never found: the first one decides.
  ev.AddOperator("*", kArityUnary | kArityBinary, 9, 0);
  EXPECT_EQ(ev.FindOperator("*")->Index, 3);
  EXPECT_THROW(ev.Run("* 1"), TqvEvaluatorError);
  const TqvFunction& added = ev.AddFunction("ZERO", 1, nullptr);
  EXPECT_EQ(added.ID, 4);
  EXPECT_EQ(ev.FindFunction("zero")->ID, 2);
  EXPECT_EQ(ev.ComparePrecedence("|", "*"), -3);
  EXPECT_EQ(ev.ComparePrecedence("not", "+"), 2);
}

TEST(EvaluatorLists, ExtremePrecedencesCompareWithoutOverflow) {
  TraceEvaluator ev;
  ev.AddOperator("<<", kArityBinary, INT32_MIN, 0);
  ev.AddOperator(">>", kArityBinary, INT32_MAX, 0);
  EXPECT_LT(ev.ComparePrecedence("<<", ">>"), 0);
  EXPECT_EQ(ev.Run("a << b >> c"), "(a<<(b>>c))");
  EXPECT_EQ(ev.Run("a >> b << c"), "((a>>b)<<c)");
}

// ---- texts built to break a scanner

TEST(EvaluatorBadInput, NulEndsTheText) {
  TraceEvaluator ev;
  const std::string open("'a\0b'", 5);
  EXPECT_EQ(ev.ErrorOf(open), EvaluatorMessage("Closing quotation mark is expected.", "'a", 3));
  const std::string tail("x + y\0 garbage ((((", 19);
  EXPECT_EQ(ev.Run(tail), "(x+y)");
}

TEST(EvaluatorBadInput, NestingIsBounded) {
  TraceEvaluator ev;
  const int allowed = TqvEvaluator::kMaxNesting - 1;  // the whole text is the first level
  std::string deepest = std::string(allowed, '(') + "x" + std::string(allowed, ')');
  EXPECT_EQ(ev.Run(deepest), "x");

  const std::string tooDeep = std::string(10000, '(') + "x" + std::string(10000, ')');
  EXPECT_EQ(ev.ErrorOf(tooDeep),
            EvaluatorMessage("Too many nested parentheses.", tooDeep, allowed + 1));
  std::string calls;
  for (int i = 0; i < 10000; ++i) calls += "any(";
  EXPECT_EQ(ev.ErrorOf(calls),
            EvaluatorMessage("Too many nested parentheses.", calls, 4 * allowed + 4));
}

TEST(EvaluatorBadInput, TenThousandArguments) {
  TraceEvaluator ev;
  std::string many = "any(";
  for (int i = 0; i < 10000; ++i) many += i ? ",1" : "1";
  many += ")";
  const std::string result = ev.Run(many);
  EXPECT_EQ(result.size(), std::string("any[]").size() + 10000 * 2 - 1);
  std::string fixed = "f" + many.substr(3);
  EXPECT_EQ(ev.ErrorOf(fixed), EvaluatorMessage("Too many parameters.", fixed, fixed.size()));
}

TEST(EvaluatorBadInput, MegabyteTexts) {
  TraceEvaluator ev;
  const std::string quoted = "'" + std::string(1 << 20, 'q') + "'";
  EXPECT_EQ(ev.Run(quoted).size(), size_t{1} << 20);
  const std::string word(1 << 20, 'w');
  EXPECT_EQ(ev.Run(word), word);
  const std::string spaces(1 << 20, ' ');
  EXPECT_EQ(ev.ErrorOf(spaces), EvaluatorMessage("Expression expected.", spaces, spaces.size() + 1));
  const std::string symbols(1 << 20, '+');
  EXPECT_EQ(ev.ErrorOf(symbols),
            EvaluatorMessage("Expression expected.", symbols, symbols.size() + 1));
}

}  // namespace
}  // namespace sx
