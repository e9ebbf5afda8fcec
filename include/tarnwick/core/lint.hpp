// Lint: warnings about what the document's rules let through but a migration may suffer from (a
// VPC listed twice, an address read as a single host), each under a rule of its own that an
// operator can switch off. Off unless a load asks for it (LoadOptions::lint).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::core {

enum class LintRule : std::uint8_t {
  duplicate_vpc_id,
  duplicate_account_id,
  duplicate_region,
  account_id_digits,
  bare_address,
  truthy,
};

// A rule's fixed texts, for the registry (SARIF's rule table) and the command line.
struct LintRuleText {
  LintRule rule;
  std::string_view id;  // as the command line and the ignore comment name it: "bare-address"
  std::string_view short_description;
  std::string_view full_description;
  bool on_by_default;
  // It reads the built records (duplicates, account ids), so it runs only on a valid document;
  // the others are seen while values are converted, faulty document or not.
  bool reads_records;
  // The key paths (dotted, from the root) its warnings are at; empty: told by field type.
  std::span<const std::string_view> fields;
};

// Every lint rule, in LintRule order.
std::span<const LintRuleText> lint_rules();
const LintRuleText& lint_text(LintRule rule);
// The rule with that id; nullopt for any other text.
std::optional<LintRule> lint_rule(std::string_view id);

// "unknown lint rule 'truthi'; did you mean 'truthy'? (rules: duplicate-vpc-id, ...)": what the
// command line and the ignore comment say of an id that names no lint rule.
std::string unknown_rule_message(std::string_view id);

// The warning on an ignore comment's id that names no lint rule, which turns nothing off. It is
// no lint rule itself (nothing turns it off), but the registry and the reports name it.
inline constexpr std::string_view kUnknownLintRule = "unknown-lint-rule";

// A set of lint rules; the empty set lints nothing.
class LintSet {
 public:
  constexpr LintSet() = default;
  // The rules that are on unless turned off (every rule but truthy).
  static LintSet defaults();

  constexpr bool has(LintRule rule) const { return (bits_ & bit(rule)) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr LintSet& add(LintRule rule) {
    bits_ = static_cast<std::uint8_t>(bits_ | bit(rule));
    return *this;
  }
  constexpr LintSet& remove(LintRule rule) {
    bits_ = static_cast<std::uint8_t>(bits_ & ~bit(rule));
    return *this;
  }
  constexpr LintSet& remove(LintSet other) {
    bits_ = static_cast<std::uint8_t>(bits_ & ~other.bits_);
    return *this;
  }
  // Those of the set that read the built records.
  LintSet reading_records() const;
  friend constexpr bool operator==(LintSet, LintSet) = default;

 private:
  static constexpr std::uint8_t bit(LintRule rule) {
    return static_cast<std::uint8_t>(1U << static_cast<unsigned>(rule));
  }
  std::uint8_t bits_ = 0;
};

// What the comment lines at the top of a text say about lint: each line
// "# tarnwick-config: ignore RULE[, RULE...]" turns those rules off for the text.
struct IgnoreComment {
  LintSet ignored;
  // A named id that is no lint rule, and where it is written: its line (1-based, lines split at
  // LF, CRLF or CR as the reader splits them) and the columns it spans (1-based, in characters,
  // a byte-order mark not counted, `end_column` just past it).
  struct Unknown {
    std::string id;
    std::uint32_t line = 0, column = 0, end_column = 0;
  };
  std::vector<Unknown> unknown;  // in order
  // False when `head` ends inside the top comment lines and is not the whole text: what follows
  // may still name rules, so the caller must read on.
  bool complete = true;
};
IgnoreComment ignore_comment(std::string_view head, bool whole = true);

struct DiscoveryConfiguration;
struct ErrorDetail;

// The warning of an unknown id of the ignore comment, at the id, with the rule's id as its fix
// when one is closest.
ErrorDetail unknown_rule_warning(const IgnoreComment::Unknown& unknown);

// The warnings of the rules in `rules` that read the records (duplicates, account id length),
// located by key path only (the load finds their marks in the text).
std::vector<ErrorDetail> lint_records(const DiscoveryConfiguration& doc, LintSet rules);

}  // namespace tarnwick::core
