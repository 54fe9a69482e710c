#include "expr/sx_evaluator.h"

#include <cmath>
#include <utility>

#include "database/sx_condition_object.h"
#include "expr/expr_dates.h"
#include "expr/expr_values.h"
#include "expr/file_version.h"
#include "expr/machine_queries.h"
#include "host/host.h"
#include "platform/file_utils.h"
#include "platform/reg_paths.h"
#include "platform/security.h"
#include "util/message_boxes.h"
#include "util/str_utils.h"

namespace sx {

namespace {

struct FunctionEntry {
  const char* name;
  int32_t paramCount;
};

// The built-in library in registration order: the index is the ID and the dispatch key.
constexpr FunctionEntry kFunctions[TsxEvaluator::kBuiltinFunctionCount] = {
    {"Iif", 3},           {"FilePath", 1},        {"FileName", 1},
    {"NormalPath", 1},    {"FileVersion", 1},     {"FileDate", 1},
    {"FileExists", 1},    {"FolderExists", 1},    {"CompareVersion", 2},
    {"CompareDate", 2},   {"CompareText", 2},     {"RegKeyExists", 1},
    {"RegParamExists", 2}, {"RegParam", 3},       {"AskUser", 4},
    {"SubStr", 3},        {"FindSubStr", 3},      {"Length", 1},
    {"FileSize", 1},      {"Round", 1},           {"RenameFile", 3},
    {"ActiveInstallType", 0}, {"FeatureEnabled", 1}, {"DotNetInstalled", 0},
    {"Return", 1},        {"AbortInstall", 0},    {"SuspendInstall", 0},
    {"ResumeInstall", 0}, {"SetVariable", 2},     {"GetVariable", 1},
    {"SetLanguage", 1},   {"SetInstallType", 1},  {"SetPassword", 1},
    {"HasAdminRights", 0},
};

// Message box styles (MB_*) and answers (ID*).
constexpr uint32_t kMbOk = 0x0, kMbOkCancel = 0x1, kMbYesNo = 0x4;
constexpr uint32_t kMbIconStop = 0x10, kMbIconQuestion = 0x20, kMbIconExclamation = 0x30,
                   kMbIconInformation = 0x40;

// The public identifiers of the .NET Framework's runtime host class and of the interface it is
// asked for.
constexpr char kDotNetClass[] = "{E5CB7A31-7512-11D2-89CE-0080C792E5D8}";
constexpr char kDotNetInterface[] = "{31BCFCE2-DAFB-11D2-9F81-00C04F79A0A3}";

long double Checked(long double value) {
  if (std::isnan(value)) throw EInvalidOp();
  if (std::isinf(value)) throw EOverflow();
  return value;
}

std::string Number(long double value) { return NumberText(value, LocaleDecimalSeparator()); }

// Word n (1-based) of a version text split at '.', runs of '.' counting as one; 0 when it is
// missing or no integer.
int32_t VersionWord(const std::string& version, int n) {
  return ExprInteger(GetToken(n, version, "."), 0);
}

// The two halves of a version: major * 65536 + minor and release * 65536 + build, as signed
// 32-bit numbers.
int32_t VersionHalf(const std::string& version, int firstWord) {
  const uint32_t high = static_cast<uint32_t>(VersionWord(version, firstWord));
  const uint32_t low = static_cast<uint32_t>(VersionWord(version, firstWord + 1));
  return static_cast<int32_t>(high * 65536u + low);
}

std::string CompareVersions(const std::string& a, const std::string& b) {
  const int32_t highA = VersionHalf(a, 1), highB = VersionHalf(b, 1);
  if (highA != highB) return SignText(highA > highB ? 1 : -1);
  const int32_t lowA = VersionHalf(a, 3), lowB = VersionHalf(b, 3);
  return SignText(lowA > lowB ? 1 : (lowA < lowB ? -1 : 0));
}

// The part of a path before its last '\' or ':', without a trailing '\'.
std::string FolderPart(const std::string& path) {
  const size_t cut = path.find_last_of("\\:");
  if (cut == std::string::npos) return "";
  std::string folder = path.substr(0, cut + 1);
  if (folder.back() == '\\') folder.pop_back();
  return folder;
}

std::string NamePart(const std::string& path) {
  const size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool PathIs(const std::string& path, bool folder) {
  const auto info = host::CurrentHost().GetFileInfo(path);
  return info && ((info->attributes & host::kAttrDirectory) != 0) == folder;
}

std::string Part(const std::string& text, int32_t start, int32_t count) {
  if (start < 1) start = 1;
  if (count <= 0 || static_cast<size_t>(start) > text.size()) return "";
  return text.substr(static_cast<size_t>(start) - 1, static_cast<size_t>(count));
}

std::string RoundText(long double value) {
  const long double rounded = std::nearbyint(value);  // halves go to the even neighbour
  if (!(rounded >= -2147483648.0L && rounded <= 2147483647.0L)) throw EInvalidOp();
  return std::to_string(static_cast<int32_t>(rounded));
}

std::string SizeText(const std::string& path) {
  const int64_t size = FileSizeOf(path);
  if (size < 0) return "-1";
  // The low 32 bits, unsigned: a size is never negative, and -1 means "nothing found".
  return std::to_string(static_cast<uint32_t>(size));
}

}  // namespace

TsxEvaluator::TsxEvaluator(TEvaluatorServices& services) : services_(services) {
  IdentChars.set('%');
  IdentChars.set('.');
  SymbolOpChars.reset('%');

  const uint8_t both = kArityUnary | kArityBinary;
  AddOperator("+", both, 3, 0);
  AddOperator("-", both, 3, 0);
  AddOperator("*", kArityBinary, 4, 0);
  AddOperator("/", kArityBinary, 4, 0);
  AddOperator("&", kArityBinary, 3, 0);
  AddOperator("=", kArityBinary, 2, 0);
  AddOperator("<>", kArityBinary, 2, 0);
  AddOperator("and", kArityBinary, 1, 0);
  AddOperator("or", kArityBinary, 0, 0);
  AddOperator("not", kArityUnary, 5, 0);
  AddOperator("<", kArityBinary, 2, 0);
  AddOperator(">", kArityBinary, 2, 0);
  AddOperator("<=", kArityBinary, 2, 0);
  AddOperator(">=", kArityBinary, 2, 0);

  for (const FunctionEntry& f : kFunctions) AddFunction(f.name, f.paramCount, nullptr);
}

std::string TsxEvaluator::EvaluateExpression(std::string_view text, std::intptr_t context) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text)
    if (c != '\r' && c != '\n') clean += c;

  // An evaluation started from inside another one gives the outer one back its Expression and
  // Context when it ends.
  struct Scope {
    TsxEvaluator& ev;
    bool nested;
    std::string expression;
    std::intptr_t context;
    ~Scope() {
      --ev.running_;
      if (nested) {
        ev.Expression = std::move(expression);
        ev.Context = context;
      }
    }
  } scope{*this, running_ > 0, running_ > 0 ? Expression : std::string(), Context};
  ++running_;

  Expression = std::move(clean);
  Context = context;
  return Evaluate();
}

bool TsxEvaluator::EvaluateCondition(std::string_view text, std::intptr_t context) {
  return IsTrue(EvaluateExpression(text, context));
}

int TsxEvaluator::RegisterFunction(void* owner, std::string_view name, int32_t paramCount) {
  if (name.empty() || FindFunction(name)) return 0;
  return AddFunction(name, paramCount, owner).ID;
}

void TsxEvaluator::ReleaseFunctions(void* owner) {
  if (!owner) return;
  TqvFunctionList& functions = MutableFunctions();
  for (int i = 0; i < functions.Count(); ++i)
    if (functions[i].Owner == owner) functions[i].OwnerReleased = true;
}

bool TsxEvaluator::ResolveOperand(std::string& text) {
  text = services_.ExpandText(text);
  return true;
}

std::string TsxEvaluator::CalcOperator(const TqvOperator& op, int arity, std::string&& left,
                                       std::string&& right) {
  const bool unary = arity == oaUnary;
  switch (op.Index) {
    case opPlus:
      if (unary) return Number(ExprNumber(right));
      return Number(Checked(ExprNumber(left) + ExprNumber(right)));
    case opMinus:
      if (unary) return Number(-ExprNumber(right));
      return Number(Checked(ExprNumber(left) - ExprNumber(right)));
    case opMultiply:
      return Number(Checked(ExprNumber(left) * ExprNumber(right)));
    case opDivide: {
      const long double dividend = ExprNumber(left), divisor = ExprNumber(right);
      if (divisor == 0) {
        if (dividend == 0) throw EInvalidOp();
        throw EZeroDivide();
      }
      return Number(Checked(dividend / divisor));
    }
    case opConcat:
      left += right;
      return std::move(left);
    case opEqual:
      return BoolText(left == right);
    case opNotEqual:
      return BoolText(left != right);
    case opAnd:
      return BoolText(IsTrue(left) && IsTrue(right));
    case opOr:
      return BoolText(IsTrue(left) || IsTrue(right));
    case opNot:
      return BoolText(!IsTrue(right));
    case opLess:
      return BoolText(ExprNumber(left) < ExprNumber(right));
    case opGreater:
      return BoolText(ExprNumber(left) > ExprNumber(right));
    case opLessEqual:
      return BoolText(ExprNumber(left) <= ExprNumber(right));
    case opGreaterEqual:
      return BoolText(ExprNumber(left) >= ExprNumber(right));
    default:
      return "";
  }
}

std::string TsxEvaluator::CalcFunction(const TqvFunction& function,
                                       std::vector<std::string>* params) {
  if (function.Owner || function.OwnerReleased) return CallPlugin(function, params);
  std::vector<std::string> none;
  std::vector<std::string>& args = params ? *params : none;
  // Arguments the parser did not supply (only a caller outside the parser can do that) are
  // empty texts.
  if (function.ParamCount > 0 && args.size() < static_cast<size_t>(function.ParamCount))
    args.resize(static_cast<size_t>(function.ParamCount));
  return CallBuiltin(function, args);
}

std::string TsxEvaluator::CallPlugin(const TqvFunction& function,
                                     std::vector<std::string>* params) {
  if (function.OwnerReleased)
    throw EEngineError("Function \"" + function.Name +
                       "\" cannot be called: the plug-in that registered it has been unloaded.");
  TPluginFunctionCall call;
  call.ID = function.ID;
  call.Name = function.Name;
  if (params) call.Args = std::move(*params);
  call.Context = Context;
  return services_.CallPluginFunction(function.Owner, call).value_or("");
}

std::string TsxEvaluator::CallBuiltin(const TqvFunction& function, std::vector<std::string>& a) {
  host::Host& host = host::CurrentHost();
  switch (function.Index) {
    case fnIif:
      return IsTrue(a[0]) ? std::move(a[1]) : std::move(a[2]);
    case fnFilePath:
      return FolderPart(a[0]);
    case fnFileName:
      return NamePart(a[0]);
    case fnNormalPath:
      if (!a[0].empty() && a[0].back() != '\\') a[0] += '\\';
      return std::move(a[0]);
    case fnFileVersion:
      return FileVersionText(a[0]);
    case fnFileDate:
      return DateTimeText(FileDateTime(a[0]));
    case fnFileExists:
      return BoolText(PathIs(a[0], false));
    case fnFolderExists:
      return BoolText(PathIs(a[0], true));
    case fnCompareVersion:
      return CompareVersions(a[0], a[1]);
    case fnCompareDate: {
      const TExprDateTime first = ReadDateTime(a[0]);
      const TExprDateTime second = ReadDateTime(a[1]);
      return SignText(first < second ? -1 : (second < first ? 1 : 0));
    }
    case fnCompareText: {
      const int order = host.CompareLocale(a[0], a[1], true);
      return SignText(order < 0 ? -1 : (order > 0 ? 1 : 0));
    }
    case fnRegKeyExists:
      return BoolText(RegKeyExists(a[0]));
    case fnRegParamExists:
      return BoolText(RegKeyExists(a[0]) && RegValueExists(a[0], a[1]));
    case fnRegParam:
      return RegReadString(a[0], a[1], a[2]);
    case fnAskUser:
      return AskUser(a[0], a[1], a[2], a[3]);
    case fnSubStr:
      return Part(a[0], ExprInteger(a[1], 1), ExprInteger(a[2], 0));
    case fnFindSubStr:
      return std::to_string(PosTextFrom(a[1], a[0], ExprInteger(a[2], 1)));
    case fnLength:
      return std::to_string(a[0].size());
    case fnFileSize:
      return SizeText(a[0]);
    case fnRound:
      return RoundText(ExprNumber(a[0]));
    case fnRenameFile:
      // A failed move is not an error. Only a file that now has the new name is logged: logging
      // a name the move did not produce would make uninstalling delete somebody else's file.
      if (host.MoveFile(a[0], a[1], false) && IsTrue(a[2])) services_.LogInstalledFile(a[1]);
      return "1";
    case fnActiveInstallType:
      return services_.ActiveInstallType();
    case fnFeatureEnabled:
      return BoolText(services_.FeatureEnabled(a[0]));
    case fnDotNetInstalled:
      return BoolText(ComClassAvailable(kDotNetClass, kDotNetInterface));
    case fnReturn:
      return std::move(a[0]);
    case fnAbortInstall:
      services_.AbortInstall();
      return "";
    case fnSuspendInstall:
      services_.SuspendInstall();
      return "";
    case fnResumeInstall:
      services_.ResumeInstall();
      return "";
    case fnSetVariable:
      services_.WriteVariable(a[0], a[1]);
      return "";
    case fnGetVariable:
      return services_.ReadVariable(a[0]);
    case fnSetLanguage:
      services_.SetLanguage(a[0]);
      return "";
    case fnSetInstallType:
      services_.SetInstallType(a[0]);
      return "";
    case fnSetPassword:
      services_.SetPassword(a[0]);
      return "";
    case fnHasAdminRights:
      return BoolText(IsUserAdmin());
    default:
      throw EEngineError("Function \"" + function.Name +
                         "\" is not available in this version of Tarrow Installer.");
  }
}

std::string TsxEvaluator::AskUser(const std::string& caption, const std::string& text,
                                  const std::string& icon, const std::string& buttons) {
  const std::string key = "*" + text + "*";
  for (const std::string& line : AnswerCache)
    if (SameTextFast(NameOf(line), key)) return ValueOf(line);

  uint32_t style = 0;
  switch (ExprInteger(icon, 0)) {
    case 0: style |= kMbIconInformation; break;
    case 1: style |= kMbIconQuestion; break;
    case 2: style |= kMbIconExclamation; break;
    case 3: style |= kMbIconStop; break;
    default: break;
  }
  switch (ExprInteger(buttons, 0)) {
    case 1: style |= kMbYesNo; break;
    case 2: style |= kMbOkCancel; break;
    default: style |= kMbOk; break;
  }
  const int answer = ShowMessageBox(services_.ActiveWindow(), caption, text, style);
  const std::string result = BoolText(answer == host::kIdOk || answer == host::kIdYes);
  // A question that holds "=" is stored but never found again: its line's name ends at that "=".
  AnswerCache.push_back(key + "=" + result);
  return result;
}

void InstallEvaluatorHooks(TsxEvaluator* evaluator) {
  if (!evaluator) {
    ConditionHook = nullptr;
    ExpressionHook = nullptr;
    return;
  }
  ConditionHook = [evaluator](const std::string& condition, int mode) {
    return evaluator->EvaluateCondition(condition, mode);
  };
  ExpressionHook = [evaluator](const std::string& expression, std::intptr_t context) {
    return evaluator->EvaluateExpression(expression, context);
  };
}

}  // namespace sx
