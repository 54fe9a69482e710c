// The installer's operators: arithmetic on number texts, the text of results in both decimal
// separators, comparisons, truth, the precedence the table gives them, and the floating-point
// failures.
#include <gtest/gtest.h>

#include <string>

#include "expr/sx_evaluator.h"
#include "tests/expr/expr_test_support.h"
#include "tests/support/temp_machine.h"

namespace sx {
namespace {

class InstallerOperators : public test::EvaluatorTest {};

TEST_F(InstallerOperators, Arithmetic) {
  EXPECT_EQ(Eval("2 + 3"), "5");
  EXPECT_EQ(Eval("2 - 3"), "-1");
  EXPECT_EQ(Eval("6 * 7"), "42");
  EXPECT_EQ(Eval("7 / 2"), "3.5");
  EXPECT_EQ(Eval("1 / 3"), "0.333333333333333");
  EXPECT_EQ(Eval("2 / 3"), "0.666666666666667");
  EXPECT_EQ(Eval("1.5 * 4"), "6");
  EXPECT_EQ(Eval("'1e3' + 1"), "1001");
  EXPECT_EQ(Eval("0.1 + 0.2"), "0.3");
  EXPECT_EQ(Eval("100000000000000 * 10"), "1E15");
  EXPECT_EQ(Eval("99999999999999 * 10"), "999999999999990");
  EXPECT_EQ(Eval("100000000000 * 1000000000"), "1E20");
  EXPECT_EQ(Eval("1 / 100000"), "1E-5");
  EXPECT_EQ(Eval("1 / 10000"), "0.0001");
  EXPECT_EQ(Eval("- 3 / 200000"), "-1.5E-5");
}

TEST_F(InstallerOperators, NumbersWithSignedExponentsAreOneOperand) {
  // The sign after an exponent letter belongs to the number: "1e-400" is no "1e" minus 400.
  EXPECT_EQ(Eval("1e-400"), "1e-400");
  EXPECT_EQ(Eval("1e-400 + 0"), "1E-400");  // extended precision holds it
  EXPECT_EQ(Eval("1e-5000 + 0"), "0");      // below extended precision: 0, never the exponent
  EXPECT_EQ(Eval("-1e-5000 * 1"), "0");
  EXPECT_EQ(Eval("2E+3 * 1"), "2000");
  EXPECT_EQ(Eval("1.5e-4 + 0"), "0.00015");
  EXPECT_EQ(Eval(".5e-1 + 1"), "1.05");
  EXPECT_EQ(Eval("1e-4 < 1e-3"), "1");
  // Only a number's mantissa makes the sign part of the token.
  EXPECT_EQ(Eval("1e - 4"), "-4");
  EXPECT_EQ(Eval("'1e'-4"), "-4");
  EXPECT_EQ(Eval("e-4"), "-4");
  EXPECT_EQ(Eval("a1e-4"), "-4");
}

TEST_F(InstallerOperators, UnaryPlusNormalisesAndMinusNegates) {
  EXPECT_EQ(Eval("+'007.50'"), "7.5");
  EXPECT_EQ(Eval("+abc"), "0");
  EXPECT_EQ(Eval("-5"), "-5");
  EXPECT_EQ(Eval("-0"), "0");
  EXPECT_EQ(Eval("- 2 * 3"), "-6");
  EXPECT_EQ(Eval("1 - -1"), "2");
}

TEST_F(InstallerOperators, TextsThatAreNotWhollyNumbersCountZero) {
  EXPECT_EQ(Eval("'' + 1"), "1");
  EXPECT_EQ(Eval("'2 ' + 1"), "1");
  EXPECT_EQ(Eval("'  2' + 1"), "3");
  EXPECT_EQ(Eval("'0,5' + 1"), "1");
  EXPECT_EQ(Eval("'1.5.1' + 1"), "1");
  EXPECT_EQ(Eval("abc * 3"), "0");
}

TEST_F(InstallerOperators, ConcatenationAndEquality) {
  EXPECT_EQ(Eval("'a' & 'b' & 1"), "ab1");
  EXPECT_EQ(Eval("x & 1 + 2"), "2");  // (x & 1) + 2: same precedence, left to right
  EXPECT_EQ(Eval("1.0 = 1"), "0");
  EXPECT_EQ(Eval("abc = ABC"), "0");
  EXPECT_EQ(Eval("abc = abc"), "1");
  EXPECT_EQ(Eval("abc <> ABC"), "1");
  EXPECT_EQ(Eval("'' = ''"), "1");
}

TEST_F(InstallerOperators, NumericComparisons) {
  EXPECT_EQ(Eval("1.0 >= 1"), "1");
  EXPECT_EQ(Eval("1.0 <= 1"), "1");
  EXPECT_EQ(Eval("10 > 9"), "1");
  EXPECT_EQ(Eval("'10' < '9'"), "0");
  EXPECT_EQ(Eval("1 < -2"), "0");
  EXPECT_EQ(Eval("abc < 1"), "1");
  EXPECT_EQ(Eval("2 + 3 = 5"), "1");
  EXPECT_EQ(Eval("1 < 2 = 1"), "1");  // ((1 < 2) = 1)
}

TEST_F(InstallerOperators, TruthIsTheFirstCharacter) {
  EXPECT_EQ(Eval("not 0"), "1");
  EXPECT_EQ(Eval("not 2"), "1");
  EXPECT_EQ(Eval("not 1abc"), "0");
  EXPECT_EQ(Eval("not true"), "1");
  EXPECT_EQ(Eval("not '-1'"), "1");
  EXPECT_EQ(Eval("1 and 10"), "1");
  EXPECT_EQ(Eval("1 and 2"), "0");
  EXPECT_EQ(Eval("0 or 1x"), "1");
  EXPECT_EQ(Eval("'' or ''"), "0");
  EXPECT_TRUE(ev.EvaluateCondition("10", 0));
  EXPECT_FALSE(ev.EvaluateCondition("2", 0));
}

TEST_F(InstallerOperators, PrecedenceOfTheTable) {
  EXPECT_EQ(Eval("1 or 0 and 0"), "1");      // and binds tighter than or
  EXPECT_EQ(Eval("not 0 and 0"), "0");       // (not 0) and 0
  EXPECT_EQ(Eval("1 + 1 = 2 and 3 > 2"), "1");
  EXPECT_EQ(Eval("2 + 3 * 4"), "14");
  EXPECT_EQ(Eval("2 * 3 + 4"), "10");
  EXPECT_EQ(Eval("10 - 4 - 3"), "3");
  EXPECT_EQ(Eval("1 < -2"), "0");
  EXPECT_EQ(ErrorOf("1<-2"), test::EvaluatorMessage("Unknown operator.", "1<-2", 4));
  // The two-slot order: "or" (0) < "=" (2) < "*" (4) gives 0 or ((2 = 2) * 1.5), which is
  // "1.5" and true, where 0 or (2 = (2 * 1.5)) would be false.
  EXPECT_EQ(Eval("0 or 2 = 2 * 1.5"), "1");
  EXPECT_EQ(Eval("0 or 2 = 3 * 1.5"), "0");
}

TEST_F(InstallerOperators, FloatingPointFailures) {
  EXPECT_EQ(ErrorOf("1 / 0"), "Floating point division by zero");
  EXPECT_EQ(ErrorOf("-1 / abc"), "Floating point division by zero");
  EXPECT_EQ(ErrorOf("0 / 0"), "Invalid floating point operation");
  EXPECT_EQ(ErrorOf("1E4000 * 1E4000"), "Floating point overflow");
  EXPECT_EQ(ErrorOf("-1E4932 - 1E4932"), "Floating point overflow");
  EXPECT_EQ(ErrorOf("1E4000 / '1E-4000'"), "Floating point overflow");
  EXPECT_THROW(Eval("1 / 0"), EZeroDivide);
  EXPECT_THROW(Eval("0 / 0"), EInvalidOp);
  EXPECT_THROW(Eval("1E4000 * 1E4000"), EOverflow);
  // Underflow is no failure.
  EXPECT_EQ(Eval("'1E-4000' * '1E-4000'"), "0");
}

TEST_F(InstallerOperators, QuotedAndVariableOperandsAreExpanded) {
  services.DefineVariable("Count", "4");
  services.DefineVariable("Dir", "C:\\App");
  EXPECT_EQ(Eval("%Count% * 2"), "8");
  EXPECT_EQ(Eval("'%Dir%\\bin'"), "C:\\App\\bin");
  EXPECT_EQ(Eval("'100%%'"), "100%");
  EXPECT_EQ(Eval("%missing% & x"), "%missing%x");
  EXPECT_EQ(Eval("'a||b'"), "a\r\nb");
  // A result is expanded again like any operand.
  EXPECT_EQ(Eval("('%' & 'Count%')"), "4");
}

TEST_F(InstallerOperators, LongTextsStayLinear) {
  std::string sum = "0";
  for (int i = 0; i < 250000; ++i) sum += "+1";  // about 500 KB, 250,000 additions
  EXPECT_EQ(Eval(sum), "250000");
  std::string chain = "''";
  for (int i = 0; i < 250000; ++i) chain += "&ab";  // each step appends to the growing text
  EXPECT_EQ(Eval(chain).size(), 500000u);
  std::string quoted = "Length('" + std::string(1 << 20, 'x') + "')";
  EXPECT_EQ(Eval(quoted), "1048576");
  const std::string nested = std::string(10000, '(') + "1" + std::string(10000, ')');
  EXPECT_THROW(Eval(nested), TqvEvaluatorError);
  EXPECT_EQ(Eval(std::string("'a' = 'a'\0' = 'b'", 17)), "1");
}

class CommaLocaleOperators : public test::EvaluatorTest {
 protected:
  CommaLocaleOperators() : EvaluatorTest("[Locale]\nUser=DEU\n") {}
};

TEST_F(CommaLocaleOperators, ResultsUseTheLocaleSeparatorButInputNeedsThePoint) {
  EXPECT_EQ(ev.EvaluateExpression("7 / 2", 0), "3,5");
  EXPECT_EQ(ev.EvaluateExpression("1 / 2", 0), "0,5");
  EXPECT_EQ(ev.EvaluateExpression("1.5 + 1", 0), "2,5");
  EXPECT_EQ(ev.EvaluateExpression("1 / 100000", 0), "1E-5");
  EXPECT_EQ(ev.EvaluateExpression("3 / 200000", 0), "1,5E-5");
  // "0,5" read again counts as 0.
  EXPECT_EQ(ev.EvaluateExpression("(1 / 2) + 1", 0), "1");
}

}  // namespace
}  // namespace sx
