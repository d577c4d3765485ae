#include "run_plan.h"

#include "cli_common.h"
#include "ddtable/param_name.h"
#include "references.h"
#include "workbook_view.h"

namespace ddtcli {

namespace {

bool IsWholeReference(const std::string& text) {
  return text.size() >= 2 && text.front() == '<' && text.back() == '>' &&
         CParamName::FindAll(text).size() == 1;
}

}  // namespace

// One place where a command, a file name or an environment value meets the library's
// substitution of parameter references.
std::string Substitute(CDDTResults* results, const std::string& source) {
  if (source.find('<') == std::string::npos) return source;
  int size = 0;
  substitute_parameters(results, source.c_str(), nullptr, &size, nullptr, nullptr);
  if (size < 0) return source;
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  int capacity = size + 1;
  if (substitute_parameters(results, source.c_str(), text.data(), &capacity, nullptr, nullptr) != 0)
    return source;
  text.resize(static_cast<std::size_t>(capacity));
  return text;
}


Plan MakePlan(const RunOptions& options, CDDTInput& input) {
  Plan plan;
  plan.input = options.input;
  plan.bp = options.bp;
  const SheetInfo bp = FindSheet(input, options.bp);
  if (bp.role != SheetRole::BusinessProcess)
    FailFile(options.input, "sheet '" + options.bp + "' is the " + RoleName(bp.role) +
                                " sheet, not a business process");
  plan.bpLastRow = bp.lastRow;
  SheetInfo owner = bp;
  if (!options.each.empty()) {
    plan.child = options.each;
    plan.childSheet = options.bp + "." + options.each;
    owner = FindSheet(input, plan.childSheet);
  }
  const ReferenceScope scope(input, plan.bp, plan.child);
  std::vector<std::string> problems;
  auto qualify = [&](const std::string& where, const std::string& text) {
    std::vector<std::string> unresolved;
    std::string qualified = scope.Qualify(text, unresolved);
    if (!unresolved.empty()) problems.push_back(UnresolvedMessage(where, unresolved));
    return qualified;
  };
  for (std::size_t i = 0; i < options.command.size(); ++i)
    plan.command.push_back(qualify(i == 0 ? "the command" : "argument " + std::to_string(i), options.command[i]));
  for (const std::string& env : options.env) plan.env.push_back(qualify("--env " + env.substr(0, env.find('=')), env));
  if (!options.outputFile.empty()) plan.outputFile = qualify("--output-file", options.outputFile);

  if (!options.output.empty()) {
    std::string name = options.output;
    if (name.size() >= 2 && name.front() == '<' && name.back() == '>') name = name.substr(1, name.size() - 2);
    if (input.ParamExists(name, owner.index) == 0)
      FailFile(options.input, "sheet '" + owner.name + "' has no parameter '" + name + "' for --output");
    plan.outputName = name;
    plan.outputSheet = owner.name;
    plan.outputRef = "<" + (plan.child.empty() ? "" : plan.child + "::") + name + ">";
    if (!options.expect.empty()) {
      plan.expected = options.expect;
    } else {
      // The expected column beside an output X or X_out is X_exp.
      std::string base = name;
      if (base.size() > 4 && base.compare(base.size() - 4, 4, "_out") == 0) base.resize(base.size() - 4);
      const std::string expected = base + "_exp";
      if (input.ParamExists(expected, owner.index) != 0)
        plan.expected = "<" + (plan.child.empty() ? "" : plan.child + "::") + expected + ">";
    }
    plan.verify = !plan.expected.empty();
    if (plan.verify && IsWholeReference(plan.expected)) {
      const std::string resolved = scope.Resolve(plan.expected);
      if (resolved.empty()) {
        problems.push_back(UnresolvedMessage("--expect", {plan.expected}));
      } else {
        plan.expected = resolved;
        plan.expectedIsRef = true;
        CParamName ref(resolved.c_str());
        if (ref.GetExternAlias().empty()) {
          plan.expectedSheet = ref.GetFullSheet(plan.bp);
          plan.expectedName = ref.GetName();
        }
      }
    } else if (plan.verify) {
      plan.expected = qualify("--expect", plan.expected);
    }
  } else if (!options.expect.empty() || !options.outputFile.empty()) {
    FailUsage("--expect and --output-file need --output NAME");
  }
  for (const std::string& problem : problems) {
    if (!plan.templateProblem.empty()) plan.templateProblem += "; ";
    plan.templateProblem += problem;
  }
  if (!plan.templateProblem.empty())
    Warn(options.input + ": " + plan.templateProblem + " of sheet '" + owner.name +
         "'; every row is an error and no command runs");
  return plan;
}

}  // namespace ddtcli
