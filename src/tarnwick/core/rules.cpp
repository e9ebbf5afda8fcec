// The rule registry: fixed texts by id, the check ids and their fields read from the tables.
#include "tarnwick/core/rules.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <utility>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/field_catalog.hpp"
#include "tarnwick/core/lint.hpp"
#include "tarnwick/core/record_build.hpp"

namespace tarnwick::core {

namespace {

using FieldTest = bool (*)(const FieldEntry&);

struct Text {
  std::string_view id, short_description, full_description;
  FieldTest fields = nullptr;  // the fields its faults can be at, when that is telling
  bool migration_only = false;
  bool makes_required = false;
};

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The frame's own faults, by type.
constexpr Text kFrameRules[] = {
    {"value_error.missing", "A required key is missing",
     "The record needs this key and the document does not give it. The fault is placed at the "
     "first key of the record that lacks it.",
     [](const FieldEntry& f) { return f.required; }, false, true},
    {"value_error.extra", "A key the record does not declare",
     "The record has no field of this name: often a misspelt key (the hint names the closest "
     "declared one) or a key written at the wrong level."},
    {"type_error.none.not_allowed", "A null value where a value is needed",
     "The field does not take null (an empty value, `~` or `null`): give a value, or leave the "
     "key out where the field has a default."},
    {"type_error.str", "Not text",
     "The field holds text; a list, a mapping, a date or a !!binary value that is not UTF-8 is "
     "not read as text."},
    {"type_error.bool", "Not a boolean",
     "The field is true or false; yes, no, on, off, y, n, t, f, 1 and 0 (any letter case) count "
     "too, other values do not."},
    {"type_error.list", "Not a list",
     "The field holds a list: write its items as a block list (`- item`) or a flow list "
     "(`[a, b]`), even when there is only one."},
    {"type_error.dict", "Not a mapping",
     "The field (or the document) holds a mapping of keys to values, and the value given is a "
     "scalar or a list."},
    {"value_error.const", "Not one of the allowed values",
     "The field takes one of a fixed set of values, written exactly (letter case counts); the "
     "message lists them.",
     [](const FieldEntry& f) { return !f.choices.empty(); }},
    {"value_error.any_str.max_length", "Text too long",
     "The field's text is limited in length; the limit is in the fault's context.",
     [](const FieldEntry& f) { return contains(f.type, "of at most"); }},
    {"value_error.str.regex", "Text of the wrong form",
     "The field's text must match a pattern (an account id is digits only); the pattern is in "
     "the fault's context.",
     [](const FieldEntry& f) { return contains(f.type, "digits") || contains(f.type, "matching"); }},
    {"value_error.ipv4address", "Not an IPv4 address",
     "The field holds an IPv4 address in dotted decimal, four numbers from 0 to 255 without "
     "leading zeros; the hint says which part is wrong.",
     [](const FieldEntry& f) { return contains(f.type, "IPv4 address"); }},
    {"value_error.ipv4network", "Not an IPv4 network",
     "The field holds an IPv4 network as address/prefix with no host bits set (10.1.0.0/16, "
     "not 10.1.2.0/16); the hint says what is wrong.",
     [](const FieldEntry& f) { return contains(f.type, "IPv4 network"); }},
};

// The checks the record tables name, by the name they give them. A check found in a table and
// missing here still gets a rule, with kUndescribed as its texts (a test refuses that).
constexpr std::string_view kUndescribed = "A check of the record tables";
constexpr Text kCheckTexts[] = {
    {"validate_id", "Unknown document mode id",
     "The document's `id` names its migration mode and must be one of the mode ids the tool "
     "knows (vpc_migration, vpc_discovery)."},
    {"check_field_for_none", "Required outside discovery-only runs",
     "A migration needs this field (the version constraints of `terraform`, the `corvane` "
     "section); only a discovery-only run may leave it out.",
     nullptr, true, true},
    {"check_tfcloud_for_none", "Empty tf_cloud",
     "When `tf_cloud` is given it must carry its settings: `organization` plus `workspace_name` "
     "or `tags`."},
    {"check_required_attributes", "Incomplete tf_cloud settings",
     "`tf_cloud` needs a non-empty `organization` and exactly one of `workspace_name` and "
     "`tags`, each a string or a list of non-empty strings."},
    {"check_and_rewrite_tags", "Empty tf_cloud tags",
     "`tf_cloud.tags`, when given, lists at least one tag."},
    {"validate_tmp_folder_id", "Unknown tmp_folder_id",
     "`tmp_folder_id` is VPC_ID or YAML_ID, which decides what names the temporary folders."},
    {"check_mode", "Settings that ENV mode does not use",
     "With `tf_controller_access.mode` ENV the credentials come from the environment: the "
     "SSM settings beside it must be removed."},
    {"check_encrypt_key", "encrypt_key without encrypt",
     "For a migration, a VPC's `encrypt_key` is used only with `encrypt: true`.", nullptr, true},
    {"check_config", "Checks across sections",
     "The rules that hold between `config` and the VPCs of `account_info`. Each rule reports "
     "under its own id; this one notes when they could not look at the VPCs, because "
     "`account_info` has faults of its own.",
     nullptr, true},
    {"validate_configure_spoke_gw_hs", "Several-CIDR gateways need naming on and add_vpc_cidr off",
     "`configure_spoke_gw_hs: true` needs `configure_gw_name: true` and `add_vpc_cidr: false`."},
    {"check_cleanup", "PEERING cleanup needs gateway naming",
     "Deleting peerings (`cleanup.resources` holding PEERING) is supported only with "
     "`config.configure_gw_name: true`.",
     nullptr, true},
    {"check_tgw_for_none", "Null tgw",
     "When the `tgw` key is given it must hold `tgw_account`, `tgw_role` and `tgw_by_region`, "
     "not null."},
};

// The rules of check_config, each with the fields it reads.
struct CrossRule {
  Text text;
  std::array<std::string_view, 4> fields;
};
constexpr std::string_view kVpc = "account_info.regions.vpcs.";
constexpr CrossRule kCrossRules[] = {
    {{"check_config.egress_needs_gw_name", "Transit egress needs gateway naming",
      "`config.configure_transit_gw_egress: true` is available only with "
      "`config.configure_gw_name: true`."},
     {"config.configure_transit_gw_egress", "config.configure_gw_name"}},
    {{"check_config.egress_names_need_egress", "Egress names with egress switched off",
      "With `config.configure_transit_gw_egress: false`, no VPC may set "
      "`transit_gw_egress_name`."},
     {"config.configure_transit_gw_egress", "transit_gw_egress_name"}},
    {{"check_config.gw_names_given", "Gateway names missing",
      "With `config.configure_gw_name: true`, every VPC sets both `spoke_gw_name` and "
      "`transit_gw_name`."},
     {"config.configure_gw_name", "spoke_gw_name", "transit_gw_name"}},
    {{"check_config.crvn_cidr_prefix_length", "crvn_cidr longer than /24",
      "In several-CIDR mode (`config.configure_spoke_gw_hs: true`) a VPC's `crvn_cidr` has a "
      "prefix of 24 bits or fewer."},
     {"config.configure_spoke_gw_hs", "crvn_cidr"}},
    {{"check_config.crvn_cidr_allowed", "crvn_cidr outside allow_vpc_cidrs",
      "In several-CIDR mode, or when `config.add_vpc_cidr` is true, a VPC's `crvn_cidr` lies "
      "inside one of `config.allow_vpc_cidrs`."},
     {"config.allow_vpc_cidrs", "config.add_vpc_cidr", "config.configure_spoke_gw_hs",
      "crvn_cidr"}},
    {{"check_config.eips_fit_ha_mode", "eips do not fit the HA mode",
      "In single-CIDR mode a VPC that gives `eips` gives two for an HA spoke gateway "
      "(`spoke_ha` of the VPC, else of its account) and one otherwise."},
     {"account_info.spoke_ha", "spoke_ha", "eips"}},
    {{"check_config.eips_match_crvn_cidrs", "eips do not match crvn_cidrs",
      "In several-CIDR mode a VPC that gives `eips` gives one for each of its `crvn_cidrs`."},
     {"config.configure_spoke_gw_hs", "eips", "crvn_cidrs"}},
    {{"check_config.crvn_cidr_fits_gw_mode", "Addressing key of the wrong gateway mode",
      "In several-CIDR mode every VPC gives a non-empty `crvn_cidrs`; otherwise every VPC gives "
      "`crvn_cidr` and no `crvn_cidrs`."},
     {"config.configure_spoke_gw_hs", "crvn_cidr", "crvn_cidrs"}},
    {{"check_config.gw_zones_cover_crvn_cidrs", "Fewer gw_zones than crvn_cidrs",
      "In several-CIDR mode a VPC has a gateway zone in `gw_zones` for each of its "
      "`crvn_cidrs`."},
     {"config.configure_spoke_gw_hs", "gw_zones", "crvn_cidrs"}},
    {{"check_config.spoke_advertisement_switched_on", "spoke_advertisement with advertisement off",
      "A VPC's `spoke_advertisement`, even an empty one, needs "
      "`config.configure_spoke_advertisement: true`."},
     {"config.configure_spoke_advertisement", "spoke_advertisement"}},
    {{"check_config.spoke_advertisement_not_empty", "Empty spoke_advertisement",
      "A VPC's `spoke_advertisement`, when given, names at least one CIDR."},
     {"spoke_advertisement"}},
};

// Faults of the document as a whole, and of keys rather than values.
constexpr Text kDocumentRules[] = {
    {kind::kDuplicateKey, "A key written twice",
     "A key is written twice in one mapping: the later value wins, as YAML 1.1 loaders do, so "
     "the earlier setting is silently lost. A warning, and a fault with --strict."},
    {kind::kChecksSkipped, "Checks that could not run",
     "Some checks could not look at the whole document because a section they read has faults "
     "of its own; they run once those are fixed.",
     nullptr, true},
    {kind::kMalformedYaml, "Malformed YAML",
     "The text is not well-formed YAML (or uses a tag, an anchor or a size the reader refuses); "
     "nothing of it is validated until it reads."},
    {kind::kUnreadableFile, "Unreadable file",
     "The document could not be read: it is missing, not a regular file, unreadable or too "
     "large."},
    {kind::kNotMapping, "The document is not a mapping",
     "The document is not a mapping of sections (it is empty, a scalar or a list)."},
};

// The id in one word: each part after '_', '.' or '-' capitalised ("value_error.missing":
// "ValueErrorMissing", "bare-address": "BareAddress").
std::string name_of(std::string_view id) {
  std::string out;
  bool upper = true;
  for (const char c : id) {
    if (c == '_' || c == '.' || c == '-') {
      upper = true;
      continue;
    }
    out += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    upper = false;
  }
  return out;
}

// Each record's checks by the record's name: its record checks (key empty), then each row's.
struct CheckSite {
  std::string_view key;
  std::string_view check;
};
using Sites = std::map<std::string_view, std::vector<CheckSite>, std::less<>>;

Sites check_sites() {
  Sites sites;
  for_each_record_type<DiscoveryConfiguration>([&]<class R>() {
    std::vector<CheckSite>& own = sites[table_of<R>.name];
    for (const RecordCheckSpec& c : table_of<R>.record_checks) own.push_back({{}, c.name});
    table_of<R>.each([&](const auto& row) {
      std::apply([&](const auto&... c) { (own.push_back({row.key, c.name}), ...); }, row.checks);
    });
  });
  return sites;
}

// The registry as it is filled: rules in order, and where each id is.
class Registry {
 public:
  Rule& add(const Text& text, Severity level = Severity::error) {
    const auto [it, added] = index_.try_emplace(std::string(text.id), rules_.size());
    if (added) {
      rules_.push_back({std::string(text.id), name_of(text.id), text.short_description,
                        text.full_description, level, {}, text.migration_only,
                        text.makes_required});
    }
    return rules_[it->second];
  }
  Rule* find(std::string_view id) {
    const auto it = index_.find(id);
    return it == index_.end() ? nullptr : &rules_[it->second];
  }
  std::vector<Rule> take() { return std::move(rules_); }

 private:
  std::vector<Rule> rules_;
  std::map<std::string, std::size_t, std::less<>> index_;
};

void add_field(Rule& rule, std::string path, std::string_view description) {
  for (const RuleField& f : rule.fields) {
    if (f.path == path) return;
  }
  rule.fields.push_back({std::move(path), description});
}

const Text* check_text(std::string_view id) {
  for (const Text& t : kCheckTexts) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

// A field of the document and its key path.
struct PathOf {
  std::string path;
  const FieldEntry* field;
};

// Every field of the catalog with its key path, depth first in table order, each record's
// checks added as rules where the walk meets them.
class Walk {
 public:
  Walk(Registry& registry, std::vector<PathOf>& paths)
      : registry_(registry), paths_(paths), sites_(check_sites()) {}

  // `path` is the record's own ("" for the document), `description` its field's.
  void visit(const RecordEntry& record, const std::string& path,
              std::string_view description = {}) {
    const auto own = sites_.find(record.name);
    if (own != sites_.end()) {
      for (const CheckSite& site : own->second) {
        if (site.key.empty()) add_check(site.check, path, description);
      }
    }
    for (const FieldEntry& f : record.fields) {
      const std::string at = path.empty() ? std::string(f.key) : path + "." + std::string(f.key);
      paths_.push_back({at, &f});
      if (own != sites_.end()) {
        for (const CheckSite& site : own->second) {
          if (site.key == f.key) add_check(site.check, at, f.description);
        }
      }
      if (f.record != nullptr) visit(*f.record, at, f.description);
    }
  }

 private:
  void add_check(std::string_view check, const std::string& path, std::string_view description) {
    const Text* text = check_text(check);
    Rule& rule = registry_.add(text != nullptr ? *text : Text{check, kUndescribed, kUndescribed});
    if (!path.empty()) add_field(rule, path, description);
  }

  Registry& registry_;
  std::vector<PathOf>& paths_;
  Sites sites_;
};

std::string_view description_at(const std::vector<PathOf>& paths, std::string_view path) {
  for (const PathOf& p : paths) {
    if (p.path == path) return p.field->description;
  }
  return {};
}

// The lint rules, warnings all: their fields named, or told by type (every network list for
// bare-address, every boolean for truthy).
void add_lint_rules(Registry& registry, const std::vector<PathOf>& paths) {
  for (const LintRuleText& t : lint_rules()) {
    Rule& rule =
        registry.add(Text{t.id, t.short_description, t.full_description}, Severity::warning);
    for (std::string_view path : t.fields) {
      add_field(rule, std::string(path), description_at(paths, path));
    }
    if (!t.fields.empty()) continue;
    for (const PathOf& p : paths) {
      const bool fits = t.rule == LintRule::truthy
                            ? p.field->boolean
                            : contains(p.field->type, "list of IPv4 network");
      if (fits) add_field(rule, p.path, p.field->description);
    }
  }
  registry.add(Text{kUnknownLintRule, "An ignore comment naming no lint rule",
                    "A `# tarnwick-config: ignore` comment line names an id that is no lint "
                    "rule (often a misspelt one): it turns nothing off, and the rule meant still "
                    "warns. The warning is at the id; the message names the closest rule."},
               Severity::warning);
}

std::vector<Rule> build_rules() {
  Registry registry;
  for (const Text& t : kFrameRules) registry.add(t);
  std::vector<PathOf> paths;  // every field of the document, in document order
  Walk(registry, paths).visit(document_catalog(), "");
  // The frame rules' fields, now that every field's path is known.
  for (const Text& t : kFrameRules) {
    if (t.fields == nullptr) continue;
    Rule& rule = *registry.find(t.id);
    for (const PathOf& p : paths) {
      if (t.fields(*p.field)) add_field(rule, p.path, p.field->description);
    }
  }
  for (const CrossRule& c : kCrossRules) {
    Rule& rule = registry.add(c.text);
    rule.migration_only = true;  // as check_config, which runs them
    for (std::string_view key : c.fields) {
      if (key.empty()) continue;
      // A key without a section is a VPC's.
      const std::string path =
          key.find('.') == std::string_view::npos ? std::string(kVpc) + std::string(key)
                                                  : std::string(key);
      add_field(rule, path, description_at(paths, path));
    }
  }
  for (const Text& t : kDocumentRules) {
    Severity level = Severity::error;
    if (t.id == kind::kDuplicateKey) level = Severity::warning;
    if (t.id == kind::kChecksSkipped) level = Severity::note;
    registry.add(t, level);
  }
  add_lint_rules(registry, paths);
  return registry.take();
}

}  // namespace

const std::vector<Rule>& rules() {
  static const std::vector<Rule> all = build_rules();
  return all;
}

std::size_t rule_index(std::string_view id) {
  static const std::map<std::string_view, std::size_t, std::less<>> index = [] {
    std::map<std::string_view, std::size_t, std::less<>> out;
    for (std::size_t i = 0; i < rules().size(); ++i) out.emplace(rules()[i].id, i);
    return out;
  }();
  const auto it = index.find(id);
  return it == index.end() ? rules().size() : it->second;
}

std::string rule_help(const Rule& rule) {
  std::string help(rule.full_description);
  for (const RuleField& f : rule.fields) {
    help += (&f == &rule.fields.front() ? "\n\n" : "\n") + f.path + ": " +
            std::string(f.description);
  }
  return help;
}

}  // namespace tarnwick::core
