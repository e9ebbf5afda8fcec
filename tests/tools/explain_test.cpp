// `tarnwick-config explain` as a process: which key a written path names, and what each format
// says of it.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/run_tool.hpp"

namespace {

using J = nlohmann::ordered_json;
using tarnwick::testing::Outcome;

Outcome run(const std::string& args) {
  return tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, args);
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Each row: the path as written, and the key it names (nullptr: a usage error saying `says`).
TEST(Explain, WrittenPathsNameOneKeyOrNone) {
  const struct {
    const char* written;
    const char* path;
    const char* says = "";
  } cases[] = {
      {"account_info.regions.vpcs.crvn_cidr", "account_info.regions.vpcs.crvn_cidr"},
      {"account_info.0.regions.1.vpcs.0.crvn_cidr", "account_info.regions.vpcs.crvn_cidr"},
      {"account_info.0.regions", "account_info.regions"},
      {"crvn_cidr", "account_info.regions.vpcs.crvn_cidr"},
      {"vpcs.0.crvn_cidr", "account_info.regions.vpcs.crvn_cidr"},
      {"account_info.0.regions.0.vpcs.0.eips.1", "account_info.regions.vpcs.eips"},
      {"tgw.tgw_by_region.us-east-1", "tgw.tgw_by_region"},
      {"regions.region", "account_info.regions.region"},
      {"config", "config"},
      {"id", "id"},
      {"s3.name", "aws.s3.name"},
      // A full path wins over the same keys further down.
      {"account_info.spoke_ha", "account_info.spoke_ha"},
      {"spoke_ha", nullptr,
       "key 'spoke_ha' is ambiguous; it is one of: account_info.spoke_ha, "
       "account_info.regions.vpcs.spoke_ha"},
      {"crvn_cidd", nullptr, "unknown key path 'crvn_cidd'; did you mean 'crvn_cidr'?"},
      {"account_info.0.regions.0.vpcs.0.crvn_cidd", nullptr,
       "did you mean 'account_info.regions.vpcs.crvn_cidr'?"},
      {"account_info.0.0.regions", nullptr, "unknown key path"},
      {"account_info.x.regions", nullptr, "unknown key path"},
      {"config.0", nullptr, "unknown key path"},
      {"tgw.tgw_by_region.mars-1", nullptr, "unknown key path"},
      {"account_info..regions", nullptr, "unknown key path"},
      {"crvn_cidr.", nullptr, "unknown key path"},
      {"0", nullptr, "unknown key path"},
      {"zzzzzzzzzzzz", nullptr, "unknown key path 'zzzzzzzzzzzz' (see"},
      // Never a suggestion that is ambiguous in turn.
      {"spoke_hb", nullptr, "unknown key path 'spoke_hb' (see"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.written);
    const Outcome r = run(std::string("explain --format json '") + c.written + "'");
    if (c.path == nullptr) {
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "");
      EXPECT_TRUE(r.err.starts_with("tarnwick-config: error: ")) << r.err;
      EXPECT_TRUE(has(r.err, c.says)) << r.err;
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(J::parse(r.out).at("path"), c.path);
  }
}

// Facts read from the rule registry: mode-bound requirement, the checks that name the key.
TEST(Explain, RequiredInWhichModeAndTheChecksAboutAKey) {
  const struct {
    const char* key;
    const char* required;
    std::vector<const char*> checks;  // some of its checks, in registry order
    bool migration_only = false;      // of the first of them
  } cases[] = {
      {"terraform.terraform_output", "always", {"value_error.missing"}},
      {"terraform.terraform_version", "migration", {"check_field_for_none"}, true},
      {"corvane", "migration", {"check_field_for_none"}, true},
      {"crvn_cidr",
       "optional",
       {"check_config.crvn_cidr_prefix_length", "check_config.crvn_cidr_allowed",
        "check_config.crvn_cidr_fits_gw_mode"},
       true},
      {"corvane.tf_controller_access", "optional", {"check_mode"}},
      {"id", "optional", {"validate_id"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    const Outcome r = run(std::string("explain --format json ") + c.key);
    ASSERT_EQ(r.status, 0) << r.err;
    const J node = J::parse(r.out);
    EXPECT_EQ(node.at("required"), c.required);
    std::vector<std::string> ids;
    for (const J& check : node.at("checks")) ids.push_back(check.at("id"));
    auto from = ids.begin();
    for (const char* id : c.checks) {
      from = std::find(from, ids.end(), id);
      EXPECT_NE(from, ids.end()) << id << " in order";
    }
    for (const J& check : node.at("checks")) {
      if (check.at("id") == c.checks.front()) {
        EXPECT_EQ(check.at("migration_only"), c.migration_only);
      }
    }
  }
}

// What each format shows of a key, of a record and of the tree below it.
TEST(Explain, FormatsShowTheKeyFacts) {
  const struct {
    const char* args;
    std::vector<const char*> shows;
    std::vector<const char*> hides = {};
  } cases[] = {
      {"explain crvn_cidr",
       {"account_info.regions.vpcs.crvn_cidr\n", "  type:", "IPv4 network", "  required:   no\n",
        "  default:    null\n",
        "check_config.crvn_cidr_allowed: crvn_cidr outside allow_vpc_cidrs "
        "(migration only)\n      In several-CIDR mode"}},
      {"explain corvane",
       {"required:   in a migration (a discovery-only document may leave it out)",
        "  default:    null\n", "  keys:\n    controller_ip ", "required\n"},
       {"corvane.controller_ip\n"}},
      {"explain terraform.tmp_folder_id", {"default:    null\n", "validate_tmp_folder_id"}},
      {"explain account_info.regions.region", {"  choices:    ", "us-east-1", "value_error.const"}},
      {"explain",
       {"(the document)\n", "  keys:\n", "    account_info ", "  required in a migration\n"},
       {"  required:"}},
      {"explain --recursive account_info.regions",
       {"account_info.regions.vpcs.crvn_cidr\n", "\n\naccount_info.regions.vpcs\n"},
       {"  keys:"}},
      {"explain --format markdown crvn_cidr",
       {"# `account_info.regions.vpcs.crvn_cidr`\n", "- **Required:** no\n",
        "- **Default:** `null`\n", "  - `check_config.crvn_cidr_allowed`: ", "## Checks\n\n",
        "- `check_config.crvn_cidr_allowed`: **crvn_cidr outside allow_vpc_cidrs.** In "},
       {"| Key |"}},
      {"explain --format markdown account_info.regions",
       {"| Key | Type | Required | Default |\n", "| `vpcs` | list of VPCConfig | yes |  |\n"},
       {"## `account_info.regions.vpcs`"}},
      {"explain --format markdown --recursive",
       {"<!-- Generated by", "# The migration document\n", "## `account_info`\n",
        "##### `account_info.regions.vpcs.crvn_cidr`\n",
        "| `corvane` | CorvaneConfig or null | in a migration | `null` |",
        // A section's default is its keys' own, shown with them.
        "| `config` | ScriptConfig | no |  |\n"}},
      {"explain --format paths account_info.regions",
       {"account_info.regions\naccount_info.regions.region\naccount_info.regions.vpcs\n"},
       {"vpcs.vpc_id"}},
      {"explain --format paths --recursive", {"\naccount_info.regions.vpcs.vpc_id\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Outcome r = run(c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* part : c.shows) EXPECT_TRUE(has(r.out, part)) << part << "\n" << r.out;
    for (const char* part : c.hides) EXPECT_FALSE(has(r.out, part)) << part << "\n" << r.out;
  }
}

// The JSON tree: fields one level down unless recursive; every path its parent's plus its key,
// and every path listed names its own key when written back.
TEST(Explain, JsonTreeAndPathsAgree) {
  const J top = J::parse(run("explain --format json").out);
  EXPECT_EQ(top.at("path"), "");
  EXPECT_EQ(top.at("record"), "DiscoveryConfiguration");
  ASSERT_FALSE(top.at("fields").empty());
  for (const J& f : top.at("fields")) EXPECT_FALSE(f.contains("fields")) << f.at("path");

  const J all = J::parse(run("explain --format json --recursive").out);
  std::vector<std::string> paths;
  const auto walk = [&](const auto& self, const J& node) -> void {
    if (!node.at("path").get<std::string>().empty()) paths.push_back(node.at("path"));
    if (!node.contains("fields")) {
      EXPECT_TRUE(node.at("record").is_null()) << node.at("path");
      return;
    }
    for (const J& f : node.at("fields")) {
      const std::string parent = node.at("path");
      EXPECT_EQ(f.at("path"),
                (parent.empty() ? "" : parent + ".") + f.at("key").get<std::string>());
      self(self, f);
    }
  };
  walk(walk, all);
  std::string listed;
  for (const std::string& p : paths) listed += p + "\n";
  EXPECT_EQ(run("explain --format paths --recursive").out, listed);
  EXPECT_GT(paths.size(), 100u);
  for (const std::string& p : paths) {
    const Outcome r = run("explain --format paths " + p);
    EXPECT_TRUE(r.out.starts_with(p + "\n")) << p << ": " << r.err;
  }
}

// --output writes what standard output would show.
TEST(Explain, OutputFileHoldsTheSameText) {
  const std::string file = ::testing::TempDir() + "explain-output.md";
  ASSERT_EQ(run("explain --format markdown corvane -o '" + file + "'").status, 0);
  EXPECT_EQ(tarnwick::testing::slurp(file), run("explain --format markdown corvane").out);
  EXPECT_EQ(run("explain corvane -o /nonexistent/dir/x.md").status, 2);
  EXPECT_EQ(run("explain corvane -o -").out, run("explain corvane").out);
}

}  // namespace
