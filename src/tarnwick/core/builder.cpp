#include "tarnwick/core/builder.hpp"

#include <span>

namespace tarnwick::core {

ErrorDetail& Builder::error(std::string message, std::string type, yaml::Mark mark,
                            nlohmann::ordered_json ctx, std::string hint) {
  ErrorDetail& e = errors_.emplace_back();
  e.loc.reserve(depth_);
  for (const Step& step : std::span(loc_).first(depth_)) e.loc.push_back(yaml::owned(step.at));
  e.msg = std::move(message);
  e.type = std::move(type);
  e.ctx = std::move(ctx);
  e.mark = mark;
  e.hint = std::move(hint);
  return e;
}

void Builder::rejection(const ValueError& rejected, std::string_view check, yaml::Mark mark,
                        About about) {
  ErrorDetail& e = error(rejected.what(), "value_error", mark, nullptr, rejected.hint());
  e.rule = rejected.rule().empty() ? check : rejected.rule();
  e.about = about;
  e.related = rejected.related();
  e.listed_from = rejected.listed_from();
  e.list_separator = rejected.list_separator();
}

void Builder::notice(LintRule rule, std::string message, yaml::Mark mark, std::string fix) {
  ErrorDetail& e = notices_.emplace_back();
  e.loc.reserve(depth_);
  for (const Step& step : std::span(loc_).first(depth_)) e.loc.push_back(yaml::owned(step.at));
  e.msg = std::move(message);
  e.rule = lint_text(rule).id;
  e.type = std::string(e.rule);
  e.mark = mark;
  e.severity = Severity::warning;
  // `yes` -> `true` keeps the value YAML 1.1 reads; `/32` makes a host of what may have been meant
  // as a wider network.
  e.fix = change_to(std::move(fix), rule == LintRule::truthy ? Applicability::safe
                                                             : Applicability::unsafe);
}

void Builder::add_notices(std::vector<ErrorDetail> notices) {
  notices_.insert(notices_.end(), std::make_move_iterator(notices.begin()),
                  std::make_move_iterator(notices.end()));
}

void Builder::grow_loc() {
  loc_.resize(loc_.empty() ? 16 : loc_.size() * 2);
}

void Builder::add_errors(std::vector<ErrorDetail> errors) {
  if (errors_.empty()) {
    errors_ = std::move(errors);
  } else {
    errors_.insert(errors_.end(), std::make_move_iterator(errors.begin()),
                   std::make_move_iterator(errors.end()));
  }
}
}  // namespace tarnwick::core
