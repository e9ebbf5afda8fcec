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
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// What a build knows beyond its input. A check that depends on it declares a
// `const BuildContext&` parameter; nothing reads it from global state.
struct BuildContext {
  // Relaxes the rules that only matter for a migration.
  bool discovery_only = false;
};

// ---------------------------------------------------------------------------------------------
// Lists of records built ahead: while a document is still being read, the items of its long
// lists are built as each one is complete (see yaml::ItemSink), and the build of the whole
// document then takes them instead of walking the list's node.

// The items of one list as its own build would have left them.
struct PrebuiltItems {
  virtual ~PrebuiltItems() = default;
  std::vector<ErrorDetail> errors;  // in the order found, with their full locations
  bool ok = true;                   // no item failed
};

template <class V>
struct PrebuiltList final : PrebuiltItems {
  std::vector<V> values;  // every item, while ok
};

// The prebuilt lists of one document, by the sequence node they were built from.
class Prebuilt {
 public:
  template <class V>
  PrebuiltList<V>& list(const yaml::Node* seq) {
    auto& slot = lists_[seq];
    if (!slot) slot = std::make_unique<PrebuiltList<V>>();
    return dynamic_cast<PrebuiltList<V>&>(*slot);
  }
  // The list built from `seq`, handed over once; nullptr when there is none.
  std::unique_ptr<PrebuiltItems> take(const yaml::Node* seq) {
    auto it = lists_.find(seq);
    if (it == lists_.end()) return nullptr;
    auto out = std::move(it->second);
    lists_.erase(it);
    return out;
  }
  void erase(const yaml::Node* seq) { lists_.erase(seq); }
  bool empty() const { return lists_.empty(); }

 private:
  std::unordered_map<const yaml::Node*, std::unique_ptr<PrebuiltItems>> lists_;
};

// ---------------------------------------------------------------------------------------------
// One build: where it is in the tree and what it has found wrong so far.

class Builder {
 public:
  Builder() = default;
  explicit Builder(BuildContext context, Prebuilt* prebuilt = nullptr)
      : context_(context), prebuilt_(prebuilt) {}

  // Ready for another build at the root, keeping its memory.
  void reset(BuildContext context, Prebuilt* prebuilt) {
    depth_ = 0;
    errors_.clear();
    context_ = context;
    prebuilt_ = prebuilt;
  }

  const BuildContext& context() const { return context_; }

  // Every field of every record pushes a step: kept small and inline (the steps are only read
  // when an error is recorded, and their storage is never shrunk).
  [[gnu::always_inline]] void push(std::string_view key) { push_step(Step{key, 0, false}); }
  [[gnu::always_inline]] void push(std::int64_t index) { push_step(Step{{}, index, true}); }
  void pop() { --depth_; }

  // Records an error at the current location.
  void error(std::string msg, std::string type, yaml::Mark mark,
             nlohmann::ordered_json ctx = nullptr);

  // Records errors found by an earlier build, locations included.
  void add_errors(std::vector<ErrorDetail> errors);

  std::size_t error_count() const { return errors_.size(); }
  std::vector<ErrorDetail> take_errors() { return std::move(errors_); }

  // The list built ahead from `seq`, if any (handed over once).
  std::unique_ptr<PrebuiltItems> take_prebuilt(const yaml::Node& seq) {
    return prebuilt_ == nullptr || prebuilt_->empty() ? nullptr : prebuilt_->take(&seq);
  }

 private:
  struct Step {
    std::string_view key;
    std::int64_t index;
    bool is_index;
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
  BuildContext context_;
  Prebuilt* prebuilt_ = nullptr;
};

// Pushes one location step for the lifetime of a scope.
class LocGuard {
 public:
  template <class P>
  LocGuard(Builder& b, P part) : b_(b) {
    b_.push(part);
  }
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
