// JSON Schema export: the document's schema follows the field tables, and each field type
// describes the input its convert() accepts.
#include "tarnwick/core/schema.hpp"

#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tarnwick/core/config_vpc_migration.hpp"

namespace tarnwick::core {
namespace {

using J = nlohmann::ordered_json;
namespace t = types;

const J& doc_schema() {
  static const J s = document_schema();
  return s;
}

const J& definition(const std::string& name) {
  return doc_schema().at("definitions").at(name);
}

const J& property(const std::string& record, const std::string& key) {
  return definition(record).at("properties").at(key);
}

// Calls f on every schema object in the tree, the root included.
void walk(const J& node, const std::function<void(const J&)>& f) {
  if (node.is_object()) {
    f(node);
    for (const auto& [key, value] : node.items()) {
      if (key != "default") walk(value, f);  // a default is data, not schema
    }
  } else if (node.is_array()) {
    for (const J& item : node) walk(item, f);
  }
}

J strings(std::initializer_list<const char*> list) {
  J a = J::array();
  for (const char* s : list) a.push_back(s);
  return a;
}

TEST(JsonSchema, IsDraft07WithTheDocumentAtTheRoot) {
  const J& s = doc_schema();
  EXPECT_EQ(s.at("$schema"), "http://json-schema.org/draft-07/schema#");
  EXPECT_EQ(s.at("type"), "object");
  EXPECT_EQ(s.at("additionalProperties"), false);
  EXPECT_EQ(s.at("required"), strings({"terraform", "account_info"}));
  EXPECT_FALSE(s.contains("$ref"));  // some editors ignore keywords beside a root $ref
}

TEST(JsonSchema, DefinesEveryNestedRecordOnceAndEveryReferenceResolves) {
  const J& defs = doc_schema().at("definitions");
  std::set<std::string> names;
  for (const auto& [name, def] : defs.items()) {
    names.insert(name);
    EXPECT_EQ(def.at("title"), name);
  }
  EXPECT_EQ(names,
            (std::set<std::string>{"TerraformConfig", "TfCloudConfig", "CorvaneConfig",
                                   "TfControllerAccessConfig", "AccountInfo", "Region", "VPCConfig",
                                   "AlertConfig", "ScriptConfig", "SnatPoliciesConfig",
                                   "CleanupConfig", "SwitchTrafficConfig", "BackupConfig",
                                   "BackupConfig.S3Config", "TGWConfig"}));
  std::size_t refs = 0;
  walk(doc_schema(), [&](const J& node) {
    if (!node.contains("$ref")) return;
    ++refs;
    const std::string ref = node.at("$ref");
    ASSERT_EQ(ref.rfind("#/definitions/", 0), 0u) << ref;
    EXPECT_TRUE(defs.contains(ref.substr(14))) << ref;
    EXPECT_EQ(node.size(), 1u) << "draft-07 ignores keywords beside $ref: " << node.dump();
  });
  EXPECT_GE(refs, names.size());
}

TEST(JsonSchema, EveryRecordIsAClosedObject) {
  std::size_t records = 0;
  walk(doc_schema(), [&](const J& node) {
    if (!node.contains("properties")) return;
    ++records;
    EXPECT_EQ(node.at("type"), "object") << node.value("title", "root");
    EXPECT_EQ(node.at("additionalProperties"), false) << node.value("title", "root");
  });
  EXPECT_EQ(records, 16u);  // the root and its 15 definitions
}

// The properties of R's definition against R's table: same keys in the same order, the
// required ones listed and without default, every other one with the default-constructed
// record's value as dumped (unless null: an absent key reads as null), every one described.
template <class R>
void expect_follows_table(const J& def) {
  constexpr const auto& table = table_of<R>;
  SCOPED_TRACE(std::string(table.name));
  const J& props = def.at("properties");
  ASSERT_EQ(props.size(), table.size);
  const R defaults{};
  const J dumped = dump(defaults);
  J required = J::array();
  auto prop = props.items().begin();
  table.each([&](const auto& row) {
    const std::string key = prop.key();
    const J& value = prop.value();
    ++prop;
    EXPECT_EQ(key, row.key);
    EXPECT_FALSE(row.description.empty()) << key;
    EXPECT_EQ(value.at("description"), std::string(row.description)) << key;
    if (row.required) {
      required.push_back(key);
      EXPECT_FALSE(value.contains("default")) << key;
    } else if (dumped.at(key).is_null()) {
      EXPECT_FALSE(value.contains("default")) << key;
    } else if (key != "tgw") {
      ASSERT_TRUE(value.contains("default")) << key << " " << dumped.at(key);
      EXPECT_EQ(value.at("default"), dumped.at(key)) << key;
    }
  });
  if (required.empty()) {
    EXPECT_FALSE(def.contains("required"));
  } else {
    EXPECT_EQ(def.at("required"), required);
  }
}

TEST(JsonSchema, PropertiesFollowTheFieldTables) {
  expect_follows_table<DiscoveryConfiguration>(doc_schema());
  expect_follows_table<TerraformConfig>(definition("TerraformConfig"));
  expect_follows_table<TfCloudConfig>(definition("TfCloudConfig"));
  expect_follows_table<CorvaneConfig>(definition("CorvaneConfig"));
  expect_follows_table<TfControllerAccessConfig>(definition("TfControllerAccessConfig"));
  expect_follows_table<AccountInfo>(definition("AccountInfo"));
  expect_follows_table<Region>(definition("Region"));
  expect_follows_table<VPCConfig>(definition("VPCConfig"));
  expect_follows_table<AlertConfig>(definition("AlertConfig"));
  expect_follows_table<ScriptConfig>(definition("ScriptConfig"));
  expect_follows_table<SnatPoliciesConfig>(definition("SnatPoliciesConfig"));
  expect_follows_table<CleanupConfig>(definition("CleanupConfig"));
  expect_follows_table<SwitchTrafficConfig>(definition("SwitchTrafficConfig"));
  expect_follows_table<BackupConfig>(definition("BackupConfig"));
  expect_follows_table<BackupConfig::S3Config>(definition("BackupConfig.S3Config"));
  expect_follows_table<TGWConfig>(definition("TGWConfig"));
}

TEST(JsonSchema, RequiredKeys) {
  EXPECT_EQ(definition("Region").at("required"), strings({"region", "vpcs"}));
  EXPECT_EQ(definition("VPCConfig").at("required"), strings({"vpc_id"}));
  EXPECT_EQ(definition("AccountInfo").at("required"), strings({"account_id", "regions"}));
  EXPECT_EQ(definition("BackupConfig.S3Config").at("required"),
            strings({"account", "role_name", "name", "region"}));
  EXPECT_EQ(definition("TGWConfig").at("required"), strings({"tgw_account", "tgw_role"}));
  // Required only outside discovery-only mode: the schema takes the lenient reading.
  EXPECT_EQ(definition("TerraformConfig").at("required"), strings({"terraform_output"}));
}

TEST(JsonSchema, Enums) {
  J regions = J::array();
  for (std::string_view r : REGION_NAMES) regions.push_back(std::string(r));
  EXPECT_EQ(property("Region", "region").at("enum"), regions);
  EXPECT_EQ(property("TGWConfig", "tgw_by_region").at("propertyNames"), J({{"enum", regions}}));
  EXPECT_EQ(property("CleanupConfig", "resources").at("items").at("enum"),
            strings({"INTERNAL_LB", "NAT", "TGW_ATTACHMENT", "VGW", "PEERING"}));
  EXPECT_EQ(property("TfControllerAccessConfig", "mode").at("enum"), strings({"ENV", "SSM"}));
}

TEST(JsonSchema, Defaults) {
  EXPECT_EQ(property("AccountInfo", "spoke_gw_size").at("default"), "t3.micro");
  EXPECT_EQ(property("VPCConfig", "retain_peering_cidrs").at("default"), strings({"0.0.0.0/0"}));
  // An absent tgw dumps as {}, which one could not write instead: no default offered.
  EXPECT_FALSE(doc_schema().at("properties").at("tgw").contains("default"));
}

// The JSON types each branch of an anyOf takes.
J branch_types(const J& s) {
  J types = J::array();
  for (const J& branch : s.at("anyOf")) types.push_back(branch.at("type"));
  return types;
}

TEST(JsonSchema, ScalarShapes) {
  const J& account = property("AccountInfo", "account_id");
  EXPECT_EQ(branch_types(account), strings({"string", "integer"}));
  EXPECT_EQ(account.at("anyOf")[1].at("minimum"), 0);
  EXPECT_EQ(branch_types(property("VPCConfig", "spoke_gw_name")),
            strings({"string", "number", "boolean", "null"}));
  EXPECT_EQ(property("CorvaneConfig", "controller_ip").at("format"), "ipv4");
  EXPECT_EQ(property("VPCConfig", "eips").at("items").at("format"), "ipv4");
  EXPECT_EQ(branch_types(property("VPCConfig", "encrypt")),
            strings({"boolean", "integer", "string", "null"}));
  EXPECT_EQ(branch_types(property("ScriptConfig", "add_vpc_cidr")),
            strings({"boolean", "integer", "string"}));
  // tf_cloud.tags is stored as text, but written as a list.
  const J& tags = property("TfCloudConfig", "tags");
  EXPECT_EQ(tags.at("type"), strings({"array", "null"})) << tags;
  EXPECT_EQ(branch_types(tags.at("items")), strings({"string", "number", "boolean"}));
  // Tags: a list of mappings from text to text.
  EXPECT_EQ(property("VPCConfig", "spoke_gw_tags").at("items").at("type"), "object");
}

TEST(JsonSchema, OptionalRecordsAndOptionalEnumsTakeNull) {
  EXPECT_EQ(doc_schema().at("properties").at("aws").at("anyOf"),
            J::parse(R"([{"$ref":"#/definitions/BackupConfig"},{"type":"null"}])"));
  const J s = t::optional(t::RegionName).schema();
  EXPECT_EQ(s.at("type"), strings({"string", "null"}));
  EXPECT_EQ(s.at("enum").back(), nullptr);  // an enum lists every allowed value
  // Nesting optional in optional adds null once.
  EXPECT_EQ(t::nullable(s), s);
}

// What strict validators and the YAML language server need: no type list but [T, "null"], and no
// null default (it stops the server's key completion).
TEST(JsonSchema, StrictAndEditorFriendly) {
  std::size_t checked = 0;
  walk(doc_schema(), [&](const J& node) {
    if (node.contains("type") && node.at("type").is_array()) {
      ++checked;
      EXPECT_EQ(node.at("type").size(), 2u) << node.dump();
      EXPECT_EQ(node.at("type")[1], "null") << node.dump();
    }
    if (node.contains("properties")) {
      for (const auto& [key, prop] : node.at("properties").items()) {
        EXPECT_FALSE(prop.contains("default") && prop.at("default").is_null()) << key;
      }
    }
  });
  EXPECT_GT(checked, 0u);
}

// The network pattern must never refuse a text the parser accepts; it may accept texts whose
// host bits are set (no pattern can tell those).
TEST(JsonSchema, NetworkPatternAcceptsWhatTheParserAccepts) {
  const std::regex pattern(property("VPCConfig", "crvn_cidr").at("pattern").get<std::string>(),
                           std::regex::ECMAScript);
  const char* samples[] = {"10.0.0.0/8",
                           "0.0.0.0/0",
                           "255.255.255.255",
                           "10.1.2.3",
                           "10.0.0.0/008",
                           "10.0.0.0/32",
                           "10.0.0.0/33",
                           "10.0.0.0/",
                           "10.0.0/8",
                           "10.0.0.256/32",
                           "010.0.0.0/8",
                           "10.0.0.0/8/8",
                           " 10.0.0.0/8",
                           "10.0.0.0/8 ",
                           "10.0.0.0/255.0.0.0",
                           "10.0.0.0/0.255.255.255",
                           "10.0.0.0/255.0.255.0",
                           "10.1.0.0/8",
                           "a.b.c.d/8",
                           "",
                           "192.168.1.0/24",
                           "192.168.1.0/255.255.255.0",
                           "1.2.3.4/-1",
                           "1.2.3.4/+8"};
  for (const char* s : samples) {
    const bool parsed = IPv4Network::parse(s).network.has_value();
    const bool matched = std::regex_match(s, pattern);
    if (parsed) {
      EXPECT_TRUE(matched) << '"' << s << "\" is a network but the pattern refuses it";
    }
  }
  EXPECT_FALSE(std::regex_match("10.0.0.0/33", pattern));
  EXPECT_FALSE(std::regex_match("10.0.0.256/32", pattern));
  EXPECT_FALSE(std::regex_match("010.0.0.0/8", pattern));
  EXPECT_FALSE(std::regex_match("10.0.0.0/8 ", pattern));
  EXPECT_TRUE(std::regex_match("10.1.0.0/8", pattern));  // host bits: only the loader can tell
}

// A record type that contains itself: its definition is made once and referred to within.
struct TreeNode : BaseModel {
  std::string name;
  std::vector<TreeNode> children;
  std::optional<std::vector<TreeNode>> more;
  static constexpr auto fields() {
    using R = TreeNode;
    return table<R>("TreeNode", "",
                    field("name", &R::name, t::_str, required, doc("Name of the node.")),
                    field("children", &R::children, t::list(t::record<TreeNode>())),
                    field("more", &R::more, t::optional(t::list(t::record<TreeNode>()))));
  }
};

TEST(JsonSchema, RecursiveRecordIsDefinedOnce) {
  J defs = J::object();
  const J ref = t::record<TreeNode>().schema(&defs);
  EXPECT_EQ(ref, J({{"$ref", "#/definitions/TreeNode"}}));
  ASSERT_EQ(defs.size(), 1u);
  const J& props = defs.at("TreeNode").at("properties");
  EXPECT_EQ(props.at("children").at("items"), ref);
  EXPECT_EQ(props.at("more").at("items"), ref);
  EXPECT_EQ(props.at("name").at("description"), "Name of the node.");
  // A row without doc(...) has no description.
  EXPECT_FALSE(props.at("children").contains("description"));
  EXPECT_TRUE(std::get<1>(table_of<TreeNode>.rows).description.empty());
  // Without a place for definitions, a record is only referred to.
  EXPECT_EQ(t::record<TreeNode>().schema(), ref);
}

}  // namespace
}  // namespace tarnwick::core
