// The streamed load (streamed rows built while the text is read) against the whole one (the
// whole tree first, then the build): for every document and both modes, the same records, the same
// errors in the same order with the same locations and positions, the same duplicates.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {
namespace {

struct Outcome {
  std::optional<DiscoveryConfiguration> config;
  std::string errors;  // the report's JSON, or what was thrown
  std::vector<std::string> duplicates;
};

std::vector<std::string> describe(const std::vector<yaml::DuplicateKey>& dups) {
  std::vector<std::string> out;
  for (const auto& d : dups) {
    std::string path;
    for (const auto& p : d.path) {
      const auto* index = std::get_if<std::int64_t>(&p);
      path += (index ? "[" + std::to_string(*index) + "]" : std::get<std::string>(p)) + "/";
    }
    out.push_back(path + d.key + "@" + std::to_string(d.first.line) + ":" +
                  std::to_string(d.second.line));
  }
  return out;
}

Outcome whole(const std::string& text, bool discovery_only) {
  Outcome o;
  try {
    yaml::Document doc = yaml::read_string(text, "doc.yaml");
    o.duplicates = describe(doc.duplicates());
    o.config = build_document(doc.root(), discovery_only);
  } catch (const ValidationError& e) {
    o.errors = e.json();
  } catch (const std::exception& e) {
    o.errors = std::string("thrown: ") + e.what();
  }
  return o;
}

Outcome streamed(const std::string& text, bool discovery_only) {
  Outcome o;
  try {
    LoadResult read = load(Source::text(text, "doc.yaml"), {.discovery_only = discovery_only});
    if (read.cause) std::rethrow_exception(read.cause);
    o.duplicates = describe(read.duplicates);
    if (read.not_mapping) {
      o.errors = std::string("thrown: ") + read.not_mapping->what();
    }
    if (read.error) o.errors = read.error->json();
    o.config = std::move(read.config);
    EXPECT_TRUE(read.not_mapping || read.config.has_value() != read.error.has_value());
  } catch (const std::exception& e) {
    o.errors = std::string("thrown: ") + e.what();
  }
  return o;
}

void expect_same(const std::string& text) {
  for (bool discovery_only : {false, true}) {
    SCOPED_TRACE(discovery_only ? "discovery only" : "migration");
    const Outcome a = whole(text, discovery_only);
    const Outcome b = streamed(text, discovery_only);
    EXPECT_EQ(a.errors, b.errors);
    EXPECT_EQ(a.duplicates, b.duplicates);
    ASSERT_EQ(a.config.has_value(), b.config.has_value());
    if (a.config) {
      EXPECT_TRUE(*a.config == *b.config);
      EXPECT_EQ(dump_to_dict(*a.config), dump_to_dict(*b.config));
    }
  }
}

const std::string kHead = R"(
terraform: {terraform_output: /out, terraform_version: '1', corvane_provider: '2', aws_provider: '3'}
corvane: {controller_ip: 10.0.0.1, controller_account: '111'}
)";

struct Case {
  const char* name;
  std::string body;  // follows kHead
};

// Documents whose items are taken while reading in every way that could make the streamed load
// differ: anchors and aliases across items, merges, repeated keys, tags, faults at every level.
const Case kCases[] = {
    {"plain accounts and VPCs", R"(
account_info:
  - account_id: '1'
    regions:
      - region: us-east-1
        vpcs:
          - {vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, gw_zones: [a, b], eips: [1.2.3.4]}
          - {vpc_id: vpc-2, crvn_cidr: 10.1.1.0/24, spoke_gw_tags: [{Name: x}]}
      - region: eu-west-1
        vpcs: [{vpc_id: vpc-3, crvn_cidr: 10.2.0.0/24}]
  - account_id: '2'
    regions: [{region: us-west-2, vpcs: [{vpc_id: vpc-4, crvn_cidr: 10.3.0.0/24}]}]
)"},
    {"faults at every level, in order", R"(
account_info:
  - account_id: 'x1'
    bogus: 1
    regions:
      - region: us-east-9
        vpcs:
          - {vpc_id: vpc-1, crvn_cidr: 10.1.0.1/24, encrypt_key: k}
          - {crvn_cidr: nope, eips: [1.2.3]}
          - null
          - 7
          - [a]
      - vpcs: []
  - null
  - account_id: '2'
    regions: [{region: us-west-2, vpcs: [{vpc_id: vpc-4, hpe: maybe}]}]
  - just text
)"},
    {"anchored VPC merged and aliased in later accounts", R"(
account_info:
  - account_id: '1'
    regions:
      - region: us-east-1
        vpcs:
          - &base {vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, spoke_gw_tags: [&tags {Name: a, team: b}]}
          - {<<: *base, vpc_id: vpc-2}
  - account_id: '2'
    regions:
      - region: us-east-2
        vpcs:
          - *base
          - {<<: *base, vpc_id: vpc-3, crvn_cidr: 10.9.0.0/33}
          - {vpc_id: vpc-4, spoke_gw_tags: [*tags, {<<: *tags, Name: c}]}
)"},
    {"anchored account and region, aliased later", R"(
account_info:
  - &acct
    account_id: '1'
    regions:
      - &region {region: us-east-1, vpcs: [{vpc_id: vpc-1}, {vpc_id: vpc-2, bad: 1}]}
  - *acct
  - {account_id: '3', regions: [*region, {<<: *region, region: eu-west-1}]}
label: *region
)"},
    {"anchored lists are read whole", R"(
account_info: &all
  - account_id: '1'
    regions:
      - region: us-east-1
        vpcs: &vpcs [{vpc_id: vpc-1}, {vpc_id: vpc-2, crvn_cidr: x}]
alert: *all
)"},
    {"anchored VPC list reused by another region", R"(
account_info:
  - account_id: '1'
    regions:
      - {region: us-east-1, vpcs: &vpcs [{vpc_id: vpc-1}, {vpc_id: vpc-2, crvn_cidr: x}]}
      - {region: us-east-2, vpcs: *vpcs}
  - {account_id: '2', regions: [{region: us-west-1, vpcs: *vpcs}]}
)"},
    {"repeated keys: the later list wins", R"(
account_info:
  - account_id: '0'
    regions: [{region: us-east-1, vpcs: [{vpc_id: gone, bad: 1}]}]
account_info:
  - account_id: '1'
    regions:
      - region: us-east-1
        vpcs: [{vpc_id: first, bad: 1}]
        vpcs: [{vpc_id: second}]
    regions:
      - region: eu-west-1
        vpcs: [{vpc_id: vpc-9, crvn_cidr: 10.0.0.0/8}]
        vpcs: [{vpc_id: vpc-10, bad: 2}, {vpc_id: vpc-11}]
)"},
    {"tagged and differently written keys", R"(
"account_info": !!seq
  - account_id: '1'
    regions:
      - {region: us-east-1, 'vpcs': !!seq [{vpc_id: vpc-1}, {vpc_id: vpc-2, x: 1}]}
      - ? region
        : us-east-2
        ? vpcs
        : [{vpc_id: vpc-3}]
)"},
    {"omap accounts are read whole, their VPC lists taken", R"(
account_info: !!omap
  - regions: [{region: us-east-1, vpcs: [{vpc_id: vpc-1}, {vpc_id: vpc-2, bad: 1}]}]
)"},
    {"accounts and regions from merges", R"(
base: &base
  account_info:
    - account_id: '1'
      regions: [{region: us-east-1, vpcs: [{vpc_id: vpc-1, bad: 1}]}]
<<: *base
)"},
    {"own account_info beside a merged one", R"(
<<: {account_info: [{account_id: '9', regions: []}]}
account_info:
  - account_id: '1'
    regions:
      - <<: {vpcs: [{vpc_id: merged}]}
        region: us-east-1
      - <<: {vpcs: [{vpc_id: merged}]}
        region: us-east-2
        vpcs: [{vpc_id: own, x: 1}]
)"},
    {"an alias bomb inside an account, used outside", R"(
account_info:
  - account_id: '1'
    account_name: &n name
    regions:
      - region: us-east-1
        vpcs:
          - vpc_id: vpc-1
            retain_peerings: &a [*n, *n, *n, *n]
            spoke_routes: &b [*a, *a, *a]
          - {vpc_id: vpc-2, retain_peerings: *a}
label: *b
alert: {bogus: *b}
)"},
    {"not a list, and lists of other things", R"(
account_info:
  - {account_id: '1', regions: {region: us-east-1}}
  - {account_id: '2', regions: [{region: us-east-1, vpcs: {vpc_id: x}}]}
  - {account_id: '3', regions: [[{vpcs: [{vpc_id: deep}]}]]}
)"},
    {"mode-dependent checks", R"(
id: vpc_discovery
account_info:
  - account_id: '1'
    regions:
      - region: us-east-1
        vpcs: [{vpc_id: vpc-1, encrypt: false, encrypt_key: k, crvn_cidr: 10.1.0.0/24}]
)"},
    {"empty lists and empty document parts", R"(
account_info: []
)"},
    {"repeated keys inside taken items", R"(
account_info:
  - account_id: '1'
    account_id: '2'
    regions:
      - region: us-east-1
        vpcs:
          - {vpc_id: vpc-1, vpc_id: vpc-2, gw_zones: [a], gw_zones: [b]}
)"},
};

TEST(ReadDocument, SameAsBuildingTheWholeTree) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    expect_same(kHead + c.body);
  }
}

TEST(ReadDocument, SameForTheExamplesAndOtherTopLevels) {
  for (const char* name : {"full.yaml", "discovery_minimal.yaml", "invalid.yaml"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::filesystem::path(TARNWICK_SOURCE_DIR) / "examples" / name);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    expect_same(text.str());
  }
  for (const char* text : {"", "- account_info: []", "just text", "{a: 1, a: 2}", "[{a: 1, a: 2}]",
                           "account_info: [&x {}, *y]"}) {
    SCOPED_TRACE(text);
    expect_same(text);
  }
}

// Many accounts, regions and VPCs, with anchors in one account used by the next: the transient
// memory of one account is reused by the next without disturbing what was kept.
TEST(ReadDocument, SameForManyAccountsWithAnchorsAcrossThem) {
  std::string text = kHead + "account_info:\n";
  for (int a = 0; a < 12; ++a) {
    text += "  - account_id: '" + std::to_string(a) + "'\n    regions:\n";
    for (int r = 0; r < 3; ++r) {
      text += "      - region: us-east-1\n        vpcs:\n";
      for (int v = 0; v < 20; ++v) {
        std::string id = std::to_string(a) + "-" + std::to_string(r) + "-" + std::to_string(v);
        if (v == 0) {
          text += "          - &v" + id + " {vpc_id: vpc-" + id +
                  ", spoke_gw_tags: [&t" + id + " {Name: n" + id + "}]}\n";
        } else if (a > 0 && v % 5 == 0) {
          std::string prev = std::to_string(a - 1) + "-" + std::to_string(r) + "-0";
          text += "          - {<<: *v" + prev + ", vpc_id: vpc-" + id + ", spoke_gw_tags: [*t" +
                  prev + "]}\n";
        } else {
          text += "          - {vpc_id: vpc-" + id + ", crvn_cidr: 10." + std::to_string(a) + "." +
                  std::to_string(v) + ".0/24" + (v % 7 == 3 ? ", bogus: 1" : "") + "}\n";
        }
      }
    }
  }
  expect_same(text);
}

// What a large document keeps is its records alone: no list or text holds spare capacity (a
// streamed list grows by doubling; a long text assigned to an empty string would reserve twice
// the short-string buffer).
TEST(ReadDocument, RecordsHoldNoSpareCapacity) {
  std::string text = kHead + "account_info:\n  - account_id: '1'\n    regions:\n";
  text += "      - region: us-east-1\n        vpcs:\n";
  for (int v = 0; v < 5; ++v) {
    text += "          - {vpc_id: vpc-0a11b22c33d00000" + std::to_string(v) +
            ", spoke_gw_name: acct12-use1-spoke-name-" + std::to_string(v) +
            ", spoke_gw_tags: [{Name: acct12-use1-spoke-tag-" + std::to_string(v) + "}]}\n";
  }
  LoadResult loaded = load(Source::text(text));
  ASSERT_TRUE(loaded.config) << (loaded.error ? loaded.error->json() : "");
  const auto& vpcs = loaded.config->account_info.at(0).regions.at(0).vpcs;
  ASSERT_EQ(vpcs.size(), 5u);
  EXPECT_EQ(vpcs.capacity(), vpcs.size());
  for (const VPCConfig& vpc : vpcs) {
    EXPECT_EQ(vpc.vpc_id.capacity(), vpc.vpc_id.size()) << vpc.vpc_id;
    EXPECT_EQ(vpc.spoke_gw_name->capacity(), vpc.spoke_gw_name->size());
    const std::string& tag = *vpc.spoke_gw_tags.at(0).find("Name");
    EXPECT_EQ(tag.capacity(), tag.size()) << tag;
  }
}

}  // namespace
}  // namespace tarnwick::core
