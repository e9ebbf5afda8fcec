// The record frame: how every record of a configuration document is declared, built from a YAML
// node tree, validated and dumped.
//
// A record is a plain struct whose member initializers are its defaults, plus one table of its
// fields (key, member, type, required or not, checks) returned by its static schema(). That table
// drives building (build<R>), dumping (dump<R>) and JSON Schema export. Building follows one
// fixed algorithm: record checks on the raw mapping, then every field in table order (present,
// required or defaulted; converted; checked), then undeclared keys; every fault is collected and
// a failed build throws one ValidationError. No partly built record escapes.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/ipv4.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// ---------------------------------------------------------------------------------------------
// The base of every record, and the discovery-only mode that relaxes migration-only rules.

struct BaseModel {
  // The mode checks read. Inside a build it is the mode that build started with (so concurrent
  // loads with different modes never see each other's); outside one, the process-wide value.
  static bool discovery_only();
  // The process-wide value: every load sets it, and it keeps the value of the most recent load.
  static void set_discovery_only(bool value);

  friend bool operator==(const BaseModel&, const BaseModel&) = default;
};

// Pins the mode for builds on the current thread while it lives.
class ModeScope {
 public:
  explicit ModeScope(bool discovery_only);
  ~ModeScope();
  ModeScope(const ModeScope&) = delete;
  ModeScope& operator=(const ModeScope&) = delete;

 private:
  int saved_;
};

// ---------------------------------------------------------------------------------------------
// An insertion-ordered mapping: a later value for the same key replaces the earlier one in place.

template <class K, class V>
class OrderedMap {
 public:
  using value_type = std::pair<K, V>;

  OrderedMap() = default;
  OrderedMap(std::initializer_list<value_type> init) {
    for (const auto& [k, v] : init) set(k, v);
  }

  void set(K key, V value) {
    if (auto i = index_of(key)) {
      entries_[*i].second = std::move(value);
      return;
    }
    if (index_) index_->emplace(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
    if (!index_ && entries_.size() > kIndexFrom) {
      index_ = std::make_shared<std::unordered_map<K, std::size_t>>();
      for (std::size_t i = 0; i < entries_.size(); ++i) index_->emplace(entries_[i].first, i);
    }
  }
  void reserve(std::size_t n) { entries_.reserve(n); }
  void clear() {
    entries_.clear();
    index_.reset();
  }
  const V* find(const K& key) const {
    auto i = index_of(key);
    return i ? &entries_[*i].second : nullptr;
  }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  friend bool operator==(const OrderedMap& a, const OrderedMap& b) {
    return a.entries_ == b.entries_;
  }

 private:
  // Small maps are searched; large ones (hostile documents) get a hash index so that building
  // stays linear.
  static constexpr std::size_t kIndexFrom = 16;

  std::optional<std::size_t> index_of(const K& key) const {
    if (index_) {
      auto it = index_->find(key);
      if (it == index_->end()) return std::nullopt;
      return it->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].first == key) return i;
    }
    return std::nullopt;
  }

  std::vector<value_type> entries_;
  std::shared_ptr<std::unordered_map<K, std::size_t>> index_;
};

// ---------------------------------------------------------------------------------------------
// Value types shared by several records.

using CIDRList = std::vector<IPv4Network>;
using IPAddressList = std::vector<IPv4Address>;
using Tag = OrderedMap<std::string, std::string>;
using Tags = std::vector<Tag>;

// The default of the network lists that allow everything: a new list holding 0.0.0.0/0.
CIDRList _default_network();

// The two VPC keys that name gateways.
inline constexpr std::array<std::string_view, 2> GW_NAME_KEYS{"spoke_gw_name", "transit_gw_name"};

inline constexpr std::array<std::string_view, 22> REGION_NAMES{
    "af-south-1",   "ap-east-1",      "ap-northeast-1", "ap-northeast-2", "ap-northeast-3",
    "ap-south-1",   "ap-southeast-1", "ap-southeast-2", "ap-southeast-3", "ca-central-1",
    "eu-central-1", "eu-north-1",     "eu-south-1",     "eu-west-1",      "eu-west-2",
    "eu-west-3",    "me-south-3",     "sa-east-1",      "us-east-1",      "us-east-2",
    "us-west-1",    "us-west-2"};

inline constexpr std::array<std::string_view, 5> CLEANUP_RESOURCES{
    "INTERNAL_LB", "NAT", "TGW_ATTACHMENT", "VGW", "PEERING"};

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
  explicit Builder(Prebuilt* prebuilt) : prebuilt_(prebuilt) {}

  // Ready for another build at the root, keeping its memory.
  void reset(Prebuilt* prebuilt) {
    depth_ = 0;
    errors_.clear();
    prebuilt_ = prebuilt;
  }

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

// ---------------------------------------------------------------------------------------------
// Field types: how a node converts to a member's value and how that value dumps. Each has a
// value_type, convert() (records its own errors and returns false on failure; never sees null:
// convert_node handles null for every type) and dump().
//
// Each also has schema(definitions): the JSON Schema (draft-07) of the input it accepts. A record
// type adds its definition to `definitions` (an object keyed by record name; nullptr: collect
// none) and answers with a reference to it. The scalar types' schema() live in schema.cpp.

namespace types {

// The schema of a value that may also be null.
nlohmann::ordered_json nullable(nlohmann::ordered_json schema);

// Takes a scalar's text as a string: a plain scalar that YAML resolved to a number, boolean or
// date keeps the text the author wrote ("0123456701" stays that, not an octal number).
bool string_of(const yaml::Node& node, Builder& b, std::string& out);

// Plain string, kept as given.
struct Str {
  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct Pattern {
  std::string_view text;  // shown in messages
  bool (*match)(std::string_view);
};

// A constrained string: trimmed (Python's notion of white space), at most max_length characters
// (0: no limit), matching a pattern (nullptr: none); checked in that order.
struct ConStr {
  bool strip = false;
  std::size_t max_length = 0;
  const Pattern* pattern = nullptr;

  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct Bool {
  using value_type = bool;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(value_type v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct IPv4AddressType {
  using value_type = IPv4Address;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v.str(); }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct IPv4NetworkType {
  using value_type = IPv4Network;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v.str(); }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

// One of a fixed list of strings, matched exactly (case included, no trimming).
struct Literal {
  const std::string_view* choices;
  std::size_t count;

  template <std::size_t N>
  constexpr Literal(const std::array<std::string_view, N>& list) : choices(list.data()), count(N) {}

  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

template <class T>
struct Optional {
  T inner;
  using value_type = std::optional<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    return v ? nlohmann::ordered_json(inner.dump(*v)) : nlohmann::ordered_json(nullptr);
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return nullable(inner.schema(definitions));
  }
};

// An optional section whose absence reads as empty and dumps as {} rather than null.
template <class T>
struct OrEmpty {
  T inner;
  using value_type = std::optional<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const {
    return Optional<T>{inner}.convert(node, b, out);
  }
  nlohmann::ordered_json dump(const value_type& v) const {
    return v ? nlohmann::ordered_json(inner.dump(*v)) : nlohmann::ordered_json::object();
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return nullable(inner.schema(definitions));
  }
};

template <class T>
struct List {
  T item;
  using value_type = std::vector<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    auto a = nlohmann::ordered_json::array();
    auto& items = a.get_ref<nlohmann::ordered_json::array_t&>();
    items.reserve(v.size());
    for (const auto& x : v) items.push_back(item.dump(x));
    return a;
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return {{"type", "array"}, {"items", item.schema(definitions)}};
  }
};

template <class K, class V>
struct Mapping {
  K key;
  V value;
  using value_type = OrderedMap<typename K::value_type, typename V::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    auto o = nlohmann::ordered_json::object();
    for (const auto& [k, x] : v) o[key.dump(k).template get<std::string>()] = value.dump(x);
    return o;
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    nlohmann::ordered_json s{{"type", "object"}};
    // Keys are always text in the schema's data model: only the key's constraints matter.
    nlohmann::ordered_json names = key.schema(definitions);
    names.erase("type");
    if (!names.empty()) s["propertyNames"] = std::move(names);
    s["additionalProperties"] = value.schema(definitions);
    return s;
  }
};

template <class R>
struct Record {
  using value_type = R;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const;
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

template <class T>
inline constexpr bool is_optional_v = false;
template <class T>
inline constexpr bool is_optional_v<Optional<T>> = true;
template <class T>
inline constexpr bool is_optional_v<OrEmpty<T>> = true;

template <class T>
inline constexpr bool is_or_empty_v = false;
template <class T>
inline constexpr bool is_or_empty_v<OrEmpty<T>> = true;

// A field's property schema: its description, its type's schema and, when it has one, its
// default.
nlohmann::ordered_json property_schema(nlohmann::ordered_json type_schema,
                                       std::string_view description,
                                       const nlohmann::ordered_json* default_value);

// Converts one node to a type's value: null only for optional types, everything else by the type.
template <class T>
bool convert_node(const T& type, const yaml::Node& node, Builder& b, typename T::value_type& out) {
  if constexpr (is_optional_v<T>) {
    if (node.is_null()) {
      out.reset();
      return true;
    }
  } else {
    if (node.is_null()) {
      b.error(std::string(msg::kNone), "type_error.none.not_allowed", node.mark());
      return false;
    }
  }
  return type.convert(node, b, out);
}

template <class T>
bool Optional<T>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (!out) {
    // Converted in place: the fresh value is what a temporary would have started from.
    out.emplace();
    if (inner.convert(node, b, *out)) return true;
    out.reset();
    return false;
  }
  typename T::value_type v{};
  if (!inner.convert(node, b, v)) return false;
  out = std::move(v);
  return true;
}

template <class T>
bool List<T>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (!node.is_seq()) {
    b.error(std::string(msg::kList), "type_error.list", node.mark());
    return false;
  }
  if (auto pre = b.take_prebuilt(node)) {
    auto& list = dynamic_cast<PrebuiltList<typename T::value_type>&>(*pre);
    b.add_errors(std::move(list.errors));
    if (list.ok) out = std::move(list.values);
    return list.ok;
  }
  out.clear();
  out.reserve(node.size());
  bool ok = true;
  std::int64_t index = 0;
  for (const yaml::Node* item_node : node.items()) {
    LocGuard at(b, index++);
    typename T::value_type v{};
    if (convert_node(item, *item_node, b, v)) {
      if (ok) out.push_back(std::move(v));
    } else {
      ok = false;
    }
  }
  return ok;
}

// A key's place in a location: its text as written.
std::string_view key_loc(const yaml::Node& key);

template <class K, class V>
bool Mapping<K, V>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (!node.is_map()) {
    b.error(std::string(msg::kDict), "type_error.dict", node.mark());
    return false;
  }
  bool ok = true;
  out.clear();
  out.reserve(node.size());
  for (const yaml::Entry& e : node.entries()) {
    if constexpr (std::is_same_v<K, Str> && std::is_same_v<V, Str>) {
      // Text to text, the common case (tags): nothing can fail, so no location is needed.
      if (e.key->kind() == yaml::Kind::Str && e.value->kind() == yaml::Kind::Str) {
        if (ok) out.set(e.key->text(), e.value->text());
        continue;
      }
    }
    LocGuard at(b, key_loc(*e.key));
    typename K::value_type k{};
    bool key_ok;
    {
      LocGuard at_key(b, std::string_view("__key__"));
      key_ok = convert_node(key, *e.key, b, k);
    }
    typename V::value_type v{};
    bool value_ok = convert_node(value, *e.value, b, v);
    if (key_ok && value_ok) {
      if (ok) out.set(std::move(k), std::move(v));
    } else {
      ok = false;
    }
  }
  return ok;
}

}  // namespace types

// ---------------------------------------------------------------------------------------------
// Field tables.

// Building keeps per-record bookkeeping in fixed arrays of this size.
inline constexpr std::size_t kMaxFields = 64;

// The fields of a record validated so far (defaults included), as checks see them: a field that
// is absent from the input without a default, or that failed, reads as nullptr.
template <class R>
class Values {
 public:
  explicit Values(const R& rec) : rec_(&rec) {}

  // Checks ask rarely; every field is added: the search is here, the add is one bit.
  template <class B, class M>
  requires std::is_base_of_v<B, R>
  const M* get(M B::*member) const {
    const M* p = &(static_cast<const B&>(*rec_).*member);
    const auto& fields = R::schema().fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if ((valid_ >> i & 1U) != 0 && fields[i].address(*rec_) == p) return p;
    }
    return nullptr;
  }

  void add(std::size_t field_index) { valid_ |= std::uint64_t{1} << field_index; }

 private:
  static_assert(kMaxFields <= 64, "one bit per field");
  const R* rec_;
  std::uint64_t valid_ = 0;  // bit i: field i of the table is valid
};

// What a field check learns about the field it runs for.
struct FieldInfo {
  std::string_view name;  // the field's key
};

struct Required {};
inline constexpr Required required{};

// A field's one-line description, shown by editors that read the exported JSON Schema.
struct Doc {
  std::string_view text;
};
constexpr Doc doc(std::string_view text) {
  return {text};
}

template <class F>
struct CheckSpec {
  F fn;
  bool always;
};

// A field check: runs when the key is present (null included).
template <class F>
CheckSpec<F> check(F fn) {
  return {fn, false};
}
// A field check that also runs on the default when the key is absent.
template <class F>
CheckSpec<F> check_always(F fn) {
  return {fn, true};
}

// A record check: sees the raw mapping before any field is built; returns the mapping to build
// from, or throws ValueError.
using RecordCheck = const yaml::Node& (*)(const yaml::Node& raw);

template <class R>
class Field {
 public:
  // One row of a record's table: key, member, type, then optionally `required`, `doc(...)` and
  // checks. Members of a base record are welcome (inherited fields).
  template <class B, class M, class T, class... Opts>
  requires std::is_base_of_v<B, R> Field(std::string_view key, M B::*member, T type, Opts... opts)
      : key_(key),
        required_((std::is_same_v<Opts, Required> || ...)),
        always_(any_always(opts...)),
        description_(doc_text(opts...)),
        ops_(make_impl<M>(static_cast<M R::*>(member), std::move(type), opts...)) {}

  std::string_view key() const { return key_; }
  bool is_required() const { return required_; }
  bool is_always() const { return always_; }
  std::string_view description() const { return description_; }

  // Builds the field from its node (nullptr: absent, run the checks on the default); false when
  // the field failed (its errors are in the builder).
  bool build(R& rec, const yaml::Node* node, const yaml::Node& holder, Builder& b,
             const Values<R>& values) const {
    return ops_->build(rec, node, holder, b, values, FieldInfo{key_});
  }
  nlohmann::ordered_json dump(const R& rec) const { return ops_->dump(rec); }
  const void* address(const R& rec) const { return ops_->address(rec); }

  // The field's JSON Schema property: description, the type's schema and, unless the field is
  // required, its default (the member of `defaults`, a default-constructed record, as dumped).
  nlohmann::ordered_json property_schema(const R& defaults,
                                         nlohmann::ordered_json* definitions) const {
    return ops_->property_schema(defaults, !required_, description_, definitions);
  }

 private:
  struct Ops {
    virtual ~Ops() = default;
    virtual bool build(R& rec, const yaml::Node* node, const yaml::Node& holder, Builder& b,
                       const Values<R>& values, const FieldInfo& info) const = 0;
    virtual nlohmann::ordered_json dump(const R& rec) const = 0;
    virtual const void* address(const R& rec) const = 0;
    virtual nlohmann::ordered_json property_schema(const R& defaults, bool with_default,
                                                   std::string_view description,
                                                   nlohmann::ordered_json* definitions) const = 0;
  };

  template <class M, class T, class... Checks>
  struct Impl final : Ops {
    M R::*member;
    T type;
    std::tuple<Checks...> checks;

    Impl(M R::*m, T t, std::tuple<Checks...> c)
        : member(m), type(std::move(t)), checks(std::move(c)) {}

    bool build(R& rec, const yaml::Node* node, const yaml::Node& holder, Builder& b,
               const Values<R>& values, const FieldInfo& info) const override {
      using V = typename T::value_type;
      if constexpr (sizeof...(Checks) == 0 && std::is_same_v<M, V>) {
        // Nothing to check: converted straight into the member. A failed conversion may leave
        // the member half-made, but a record with a failed field is never handed out.
        if (node == nullptr) return true;
        return types::convert_node(type, *node, b, rec.*member);
      }
      V value{};
      yaml::Mark mark = holder.mark();
      if (node != nullptr) {
        mark = node->mark();
        if (!types::convert_node(type, *node, b, value)) return false;
      } else {
        if constexpr (std::is_same_v<M, V>) {
          value = rec.*member;
        } else {
          return true;  // a type-changing check cannot run on a default
        }
      }
      try {
        rec.*member = run<0>(std::move(value), values, info);
      } catch (const ValueError& e) {
        b.error(e.what(), "value_error", mark);
        return false;
      }
      return true;
    }

    template <std::size_t I, class V>
    auto run(V&& value, const Values<R>& values, const FieldInfo& info) const {
      if constexpr (I == sizeof...(Checks)) {
        return std::forward<V>(value);
      } else {
        const auto& fn = std::get<I>(checks).fn;
        return run<I + 1>(call(fn, std::forward<V>(value), values, info), values, info);
      }
    }

    template <class F, class V>
    static auto call(const F& fn, V&& value, const Values<R>& values, const FieldInfo& info) {
      if constexpr (std::is_invocable_v<const F&, V, const Values<R>&, const FieldInfo&>) {
        return fn(std::forward<V>(value), values, info);
      } else if constexpr (std::is_invocable_v<const F&, V, const Values<R>&>) {
        return fn(std::forward<V>(value), values);
      } else {
        return fn(std::forward<V>(value));
      }
    }

    nlohmann::ordered_json dump(const R& rec) const override {
      if constexpr (std::is_same_v<M, typename T::value_type>) {
        return type.dump(rec.*member);
      } else {
        // A check rewrote the value into another type (e.g. a list stored as its JSON text).
        return plain_json(rec.*member);
      }
    }
    template <class X>
    static nlohmann::ordered_json plain_json(const X& x) {
      if constexpr (requires {
                      x.has_value();
                      *x;
                    }) {
        return x ? plain_json(*x) : nlohmann::ordered_json(nullptr);
      } else {
        return nlohmann::ordered_json(x);
      }
    }
    const void* address(const R& rec) const override { return &(rec.*member); }

    nlohmann::ordered_json property_schema(const R& defaults, bool with_default,
                                           std::string_view description,
                                           nlohmann::ordered_json* definitions) const override {
      // A type without schema() accepts anything as far as the schema can tell.
      nlohmann::ordered_json s = nlohmann::ordered_json::object();
      if constexpr (requires { type.schema(definitions); }) s = type.schema(definitions);
      // An absent OrEmpty section dumps as {}, which is no value one could write instead.
      if (!with_default || types::is_or_empty_v<T>) {
        return types::property_schema(std::move(s), description, nullptr);
      }
      const nlohmann::ordered_json default_value = dump(defaults);
      return types::property_schema(std::move(s), description, &default_value);
    }
  };

  static std::string_view doc_text() { return {}; }
  template <class O, class... Rest>
  static std::string_view doc_text(const O& o, const Rest&... rest) {
    if constexpr (std::is_same_v<O, Doc>) {
      return o.text;
    } else {
      return doc_text(rest...);
    }
  }

  static bool any_always() { return false; }
  template <class O, class... Rest>
  static bool any_always(const O& o, const Rest&... rest) {
    if constexpr (requires { o.always; }) {
      if (o.always) return true;
    }
    return any_always(rest...);
  }

  // Keeps the checks, drops the `required` and `doc` markers.
  template <class M, class T, class... Opts>
  static std::shared_ptr<const Ops> make_impl(M R::*member, T type, Opts... opts) {
    auto checks = std::tuple_cat(as_tuple(opts)...);
    return std::apply(
        [&](auto... c) {
          return std::shared_ptr<const Ops>(std::make_shared<Impl<M, T, decltype(c)...>>(
              member, std::move(type), std::tuple<decltype(c)...>(c...)));
        },
        checks);
  }
  static std::tuple<> as_tuple(Required) { return {}; }
  static std::tuple<> as_tuple(Doc) { return {}; }
  template <class F>
  static std::tuple<CheckSpec<F>> as_tuple(CheckSpec<F> c) {
    return {c};
  }

  std::string_view key_;
  bool required_;
  bool always_;
  std::string_view description_;
  std::shared_ptr<const Ops> ops_;
};

// A record type's table: its name, its fields in order (inherited first) and its record checks.
template <class R>
class Schema {
 public:
  Schema(std::string_view name, std::vector<Field<R>> fields,
         std::vector<RecordCheck> record_checks = {})
      : name_(name), fields_(std::move(fields)), record_checks_(std::move(record_checks)) {
    if (fields_.size() > kMaxFields) throw std::logic_error("too many fields in a record table");
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const std::string_view key = fields_[i].key();
      if (key.empty() || index_of(key) >= 0) throw std::logic_error("bad key in a record table");
      std::size_t slot = slot_of(key);
      while (slots_[slot] != 0) slot = (slot + 1) % kSlots;
      slots_[slot] = static_cast<std::uint8_t>(i + 1);
    }
  }

  std::string_view name() const { return name_; }
  const std::vector<Field<R>>& fields() const { return fields_; }
  const std::vector<RecordCheck>& record_checks() const { return record_checks_; }
  // The position of a key among the fields, or -1 when the record does not declare it.
  std::ptrdiff_t index_of(std::string_view key) const {
    if (key.empty()) return -1;
    for (std::size_t slot = slot_of(key); slots_[slot] != 0; slot = (slot + 1) % kSlots) {
      const std::size_t i = slots_[slot] - 1U;
      if (fields_[i].key() == key) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
  }

 private:
  // Every key of every document is looked up here: a small open-addressing table on the key's
  // length and end characters is far cheaper than hashing the whole key.
  static constexpr std::size_t kSlots = 2 * kMaxFields;
  static std::size_t slot_of(std::string_view key) {
    const auto first = static_cast<unsigned char>(key.front());
    const auto last = static_cast<unsigned char>(key.back());
    const auto mid = static_cast<unsigned char>(key[key.size() / 2]);
    return (key.size() * 31U + first * 7U + last * 3U + mid) % kSlots;
  }

  std::string_view name_;
  std::vector<Field<R>> fields_;
  std::vector<RecordCheck> record_checks_;
  std::array<std::uint8_t, kSlots> slots_{};  // field index + 1; 0: empty
};

// Joins field lists: inherited fields first.
template <class R>
std::vector<Field<R>> operator+(std::vector<Field<R>> a, std::vector<Field<R>> b) {
  a.insert(a.end(), std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()));
  return a;
}

// ---------------------------------------------------------------------------------------------
// Building and dumping.

// Builds a record of type R from a node into `rec` (which holds R's defaults), recording every
// error under the builder's current location. True when the record is whole.
template <class R>
bool build_into(const yaml::Node& node, Builder& b, R& rec) {
  const Schema<R>& schema = R::schema();
  if (!node.is_map()) {
    b.error(std::string(msg::kDict), "type_error.dict", node.mark());
    return false;
  }
  const yaml::Node* raw = &node;
  for (RecordCheck record_check : schema.record_checks()) {
    try {
      raw = &record_check(*raw);
    } catch (const ValueError& e) {
      LocGuard at(b, std::string_view("__root__"));
      b.error(e.what(), "value_error", node.mark());
      return false;
    }
  }

  const auto& fields = schema.fields();
  const std::size_t errors_before = b.error_count();
  std::array<const yaml::Entry*, kMaxFields> present;
  std::fill_n(present.begin(), fields.size(), nullptr);
  std::vector<const yaml::Entry*> extra;
  for (const yaml::Entry& e : raw->entries()) {
    std::ptrdiff_t i = e.key->kind() == yaml::Kind::Str ? schema.index_of(e.key->text()) : -1;
    if (i < 0) {
      extra.push_back(&e);
    } else {
      present[static_cast<std::size_t>(i)] = &e;
    }
  }

  Values<R> values(rec);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field<R>& field = fields[i];
    bool ok = true;
    if (present[i] != nullptr) {
      LocGuard at(b, field.key());
      ok = field.build(rec, present[i]->value, *raw, b, values);
    } else if (field.is_required()) {
      LocGuard at(b, field.key());
      b.error(std::string(msg::kMissing), "value_error.missing", raw->mark());
      ok = false;
    } else if (field.is_always()) {
      LocGuard at(b, field.key());
      ok = field.build(rec, nullptr, *raw, b, values);
    }
    if (ok) values.add(i);
  }
  for (const yaml::Entry* e : extra) {
    LocGuard at(b, types::key_loc(*e->key));
    b.error(std::string(msg::kExtra), "value_error.extra", e->key->mark());
  }
  return b.error_count() == errors_before;
}

// Builds a record of type R, or throws ValidationError listing every fault. Checks read the
// given mode; without one, the process-wide mode.
template <class R>
R build(const yaml::Node& node, bool discovery_only, Prebuilt* prebuilt = nullptr) {
  ModeScope mode(discovery_only);
  Builder b(prebuilt);
  R rec{};
  if (!build_into(node, b, rec)) {
    throw ValidationError(std::string(R::schema().name()), b.take_errors());
  }
  return rec;
}

template <class R>
R build(const yaml::Node& node) {
  return build<R>(node, BaseModel::discovery_only());
}

// Every field of the record, in field order, defaults and nulls included; addresses and
// networks as text.
template <class R>
nlohmann::ordered_json dump(const R& rec) {
  const auto& fields = R::schema().fields();
  auto o = nlohmann::ordered_json::object();
  // Keys are unique in a table: appended directly, not looked up (ordered_json's operator[]
  // searches linearly, which made dumping quadratic in the field count).
  auto& entries = o.get_ref<nlohmann::ordered_json::object_t&>();
  entries.reserve(fields.size());
  for (const Field<R>& field : fields) {
    entries.emplace_back(std::piecewise_construct, std::forward_as_tuple(field.key()),
                         std::forward_as_tuple(field.dump(rec)));
  }
  return o;
}

template <class R>
bool types::Record<R>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  return build_into(node, b, out);
}

template <class R>
nlohmann::ordered_json types::Record<R>::dump(const value_type& v) const {
  return core::dump(v);
}

// ---------------------------------------------------------------------------------------------
// JSON Schema export, from the same tables.

// The JSON Schema (draft-07) of record R: an object of its fields in table order, the required
// ones listed, no other key allowed. Nested record types are added to `definitions` (when given)
// and referred to as "#/definitions/<record name>".
template <class R>
nlohmann::ordered_json record_schema(nlohmann::ordered_json* definitions) {
  const Schema<R>& schema = R::schema();
  const R defaults{};
  auto properties = nlohmann::ordered_json::object();
  auto required_keys = nlohmann::ordered_json::array();
  for (const Field<R>& field : schema.fields()) {
    properties[std::string(field.key())] = field.property_schema(defaults, definitions);
    if (field.is_required()) required_keys.push_back(std::string(field.key()));
  }
  nlohmann::ordered_json s{{"title", std::string(schema.name())}, {"type", "object"}};
  s["properties"] = std::move(properties);
  if (!required_keys.empty()) s["required"] = std::move(required_keys);
  s["additionalProperties"] = false;
  return s;
}

template <class R>
nlohmann::ordered_json types::Record<R>::schema(nlohmann::ordered_json* definitions) const {
  const std::string name(R::schema().name());
  if (definitions != nullptr && !definitions->contains(name)) {
    // Claim the name first so that a record type reached again while its own definition is
    // being made is referred to, not expanded.
    (*definitions)[name] = nullptr;
    nlohmann::ordered_json definition = record_schema<R>(definitions);
    (*definitions)[name] = std::move(definition);
  }
  return {{"$ref", "#/definitions/" + name}};
}

// ---------------------------------------------------------------------------------------------
// The shared field types by name, for field tables.

namespace types {

inline bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}
inline constexpr Pattern kDigits{"^[0-9]+$", all_digits};

inline constexpr Str string{};                                    // kept as given
inline constexpr ConStr _str{.strip = true};                      // trimmed
inline constexpr ConStr GWName{.strip = true, .max_length = 50};  // trimmed, at most 50
inline constexpr ConStr digit_string{.strip = true, .pattern = &kDigits};
inline constexpr Bool boolean{};
inline constexpr IPv4AddressType ipv4_address{};
inline constexpr IPv4NetworkType ipv4_network{};
inline constexpr Literal RegionName{REGION_NAMES};
inline constexpr Literal CleanupResources{CLEANUP_RESOURCES};
inline constexpr List<IPv4NetworkType> CIDRList{};
inline constexpr List<IPv4AddressType> IPAddressList{};
inline constexpr Mapping<Str, Str> Tag{};
inline constexpr List<Mapping<Str, Str>> Tags{};

template <class T>
constexpr Optional<T> optional(T inner) {
  return {inner};
}
template <class T>
constexpr OrEmpty<T> or_empty(T inner) {
  return {inner};
}
template <class T>
constexpr List<T> list(T item) {
  return {item};
}
template <class K, class V>
constexpr Mapping<K, V> mapping(K key, V value) {
  return {key, value};
}
template <class R>
constexpr Record<R> record() {
  return {};
}

}  // namespace types

// ---------------------------------------------------------------------------------------------
// The identified-record base: the optional migration-mode id and a free label.

struct ModeIdConfig : BaseModel {
  std::optional<std::string> id;
  std::optional<std::string> label;

  static std::optional<std::string> validate_id(std::optional<std::string> value);

  // The two fields, first in every record that derives from this one.
  template <class R>
  static std::vector<Field<R>> inherited_fields() {
    return {
        {"id", &ModeIdConfig::id, types::optional(types::_str), check(&ModeIdConfig::validate_id),
         doc("Migration mode of the document: vpc_migration or vpc_discovery.")},
        {"label", &ModeIdConfig::label, types::optional(types::_str),
         doc("Free label naming the document, for people.")},
    };
  }
  static const Schema<ModeIdConfig>& schema();

  friend bool operator==(const ModeIdConfig&, const ModeIdConfig&) = default;
};

}  // namespace tarnwick::core
