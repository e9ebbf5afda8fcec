// One build: the context it runs in, where it is in the tree, and every fault found so far.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/lint.hpp"
#include "tarnwick/core/streamed_lists.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// What a build knows beyond its input. A check that depends on it declares a
// `const BuildContext&` parameter; nothing reads it from global state.
struct BuildContext {
  BuildContext() = default;
  explicit BuildContext(bool discovery_only, const std::vector<std::string>* mode_ids = nullptr)
      : discovery_only(discovery_only), mode_ids(mode_ids) {}

  // Relaxes the rules that only matter for a migration.
  bool discovery_only = false;
  // The valid migration-mode ids when the host supplies its own; nullptr: the built-in ones.
  const std::vector<std::string>* mode_ids = nullptr;
  // The VPC keys check_config demands when gateway naming is on, when the host supplies its own
  // (its GW_NAME_KEYS, added to or replaced); nullptr: GW_NAME_KEYS.
  const std::vector<std::string>* gw_name_keys = nullptr;
  // The lint rules that look at values as written (truthy, bare-address); empty: none.
  LintSet lint{};
};

// ---------------------------------------------------------------------------------------------
// One build: where it is in the tree and what it has found wrong so far.

class Builder {
 public:
  Builder() = default;
  explicit Builder(BuildContext context, StreamedLists* streamed = nullptr)
      : context_(context), streamed_(streamed) {}

  // Ready for another build at the root, keeping its memory.
  void reset(BuildContext context, StreamedLists* streamed) {
    depth_ = 0;
    errors_.clear();
    notices_.clear();
    context_ = context;
    streamed_ = streamed;
  }

  const BuildContext& context() const { return context_; }

  // Every field of every record pushes a step: kept small and inline (the steps are only read
  // when an error is recorded, and their storage is never shrunk).
  // A key step may carry where the key is written, for faults of the value it holds as a whole.
  [[gnu::always_inline]] void push(std::string_view key, yaml::Mark mark = {}) {
    push_step(Step{{key, 0, false}, mark});
  }
  [[gnu::always_inline]] void push(std::int64_t index) {
    push_step(Step{{{}, static_cast<std::size_t>(index), true}, {}});
  }
  [[gnu::always_inline]] void push(const yaml::PathStep& step) { push_step(Step{step, {}}); }
  void pop() { --depth_; }

  std::size_t depth() const { return depth_; }
  // The key of the current location's last step; empty at the root or under a list index.
  std::string_view holder_key() const {
    return depth_ == 0 || loc_[depth_ - 1].at.is_index ? std::string_view()
                                                       : loc_[depth_ - 1].at.key;
  }
  // Where that key is written; unknown at the root, under a list index, or when not given.
  yaml::Mark holder_mark() const { return depth_ == 0 ? yaml::Mark{} : loc_[depth_ - 1].mark; }

  // Records an error at the current location; the caller may add to it (a fix, its places).
  ErrorDetail& error(std::string msg, std::string type, yaml::Mark mark,
                     nlohmann::ordered_json ctx = nullptr, std::string hint = {});
  // A check's rejection at the current location, with what the check knows of it.
  void rejection(const ValueError& e, std::string_view check, yaml::Mark mark, About about);

  // Records errors found by an earlier build, locations included.
  void add_errors(std::vector<ErrorDetail> errors);

  std::size_t error_count() const { return errors_.size(); }
  std::vector<ErrorDetail> take_errors() { return std::move(errors_); }

  // Whether the build looks for `rule` as values are converted.
  bool linting(LintRule rule) const { return context_.lint.has(rule); }
  // A lint warning at the current location, with the fix that mends it; kept apart from the
  // errors, which alone decide whether the build failed.
  void notice(LintRule rule, std::string msg, yaml::Mark mark, std::string fix);
  void add_notices(std::vector<ErrorDetail> notices);
  std::vector<ErrorDetail> take_notices() { return std::move(notices_); }
  // The current location is a list's item.
  bool at_item() const { return depth_ != 0 && loc_[depth_ - 1].at.is_index; }

  // The list of V built while `seq` was read, if any (handed over once).
  template <class V>
  std::unique_ptr<StreamedItems<V>> take_streamed(const yaml::Node& seq) {
    return streamed_ == nullptr || streamed_->empty() ? nullptr : streamed_->take<V>(seq);
  }

 private:
  // A step of the current location, and where its key is written.
  struct Step {
    yaml::PathStep at;
    yaml::Mark mark;
  };
  [[gnu::always_inline]] void push_step(Step step) {
    if (depth_ == loc_.size()) [[unlikely]]
      grow_loc();
    loc_[depth_++] = step;
  }
  void grow_loc();
  std::vector<Step> loc_;  // the first depth_ are the current location
  std::size_t depth_ = 0;
  std::vector<ErrorDetail> errors_;
  std::vector<ErrorDetail> notices_;
  BuildContext context_;
  StreamedLists* streamed_ = nullptr;
};

// Pushes one location step for the lifetime of a scope.
class LocGuard {
 public:
  template <class P>
  LocGuard(Builder& b, P part) : b_(b) {
    b_.push(part);
  }
  LocGuard(Builder& b, std::string_view key, yaml::Mark mark) : b_(b) { b_.push(key, mark); }
  ~LocGuard() { b_.pop(); }
  LocGuard(const LocGuard&) = delete;
  LocGuard& operator=(const LocGuard&) = delete;

 private:
  Builder& b_;
};

// The frame's own error texts.
namespace msg {
inline constexpr std::string_view kMissing = "field required";
inline constexpr std::string_view kExtra = "extra fields not permitted";
inline constexpr std::string_view kNone = "none is not an allowed value";
inline constexpr std::string_view kStr = "str type expected";
inline constexpr std::string_view kBool = "value could not be parsed to a boolean";
inline constexpr std::string_view kList = "value is not a valid list";
inline constexpr std::string_view kDict = "value is not a valid dict";
inline constexpr std::string_view kIPv4Address = "value is not a valid IPv4 address";
inline constexpr std::string_view kIPv4Network = "value is not a valid IPv4 network";
}  // namespace msg
}  // namespace tarnwick::core
