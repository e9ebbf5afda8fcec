#include "lsp/outline.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace lsp = tarnwick::lsp;
using nlohmann::json;

namespace {

std::string names(const json& symbols) {
  std::string out;
  for (const json& s : symbols) out += (out.empty() ? "" : ",") + s["name"].get<std::string>();
  return out;
}

}  // namespace

TEST(Outline, AccountsRegionsAndVpcsOfTheFullExample) {
  std::ifstream in(TARNWICK_SOURCE_DIR "/examples/full.yaml");
  std::stringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  const lsp::LineIndex doc(text);
  const auto symbols = lsp::document_symbols(doc);
  ASSERT_TRUE(symbols.has_value());
  EXPECT_EQ(names(*symbols), "310000000001,310000000002");
  const json& retail = (*symbols)[0];
  EXPECT_EQ(retail["detail"], "retail");
  // A name given as null is no name.
  const auto unnamed = lsp::document_symbols(
      lsp::LineIndex("account_info:\n  - account_id: '1'\n    account_name: null\n"));
  ASSERT_TRUE(unnamed.has_value() && unnamed->size() == 1u);
  EXPECT_FALSE((*unnamed)[0].contains("detail")) << (*unnamed)[0].dump();
  EXPECT_EQ(names(retail["children"]), "us-east-1,eu-west-1");
  EXPECT_EQ(names(retail["children"][0]["children"]),
            "vpc-0a11b22c33d44e501,vpc-0a11b22c33d44e502");
  EXPECT_EQ(names((*symbols)[1]["children"][0]["children"]),
            "vpc-0b99c00d11e22f301,vpc-0b99c00d11e22f302");

  // The account runs from its first key to the end of its last VPC; its name is the id's value.
  const lsp::Position first = doc.position(text.find("account_id: \"310000000001\""));
  const lsp::Position second = doc.position(text.find("  - account_id: \"310000000002\""));
  const lsp::Range range = lsp::range_of(retail["range"]);
  EXPECT_EQ(range.start, first);
  EXPECT_EQ(range.end, doc.position(text.find("[10.30.0.0/16]") + 14));
  EXPECT_LT(range.end, second);
  // The last account stops at its last value, not at the comment and key after it.
  EXPECT_EQ(lsp::range_of((*symbols)[1]["range"]).end,
            doc.position(text.find("data-usw2-transit\n\n") + 17));
  EXPECT_EQ(lsp::range_of(retail["selectionRange"]),
            (lsp::Range{{first.line, first.character + 12}, {first.line, first.character + 26}}));
  EXPECT_EQ(retail["kind"], 3);                  // Namespace
  EXPECT_EQ(retail["children"][0]["kind"], 4);   // Package
  const json& vpc = retail["children"][0]["children"][0];
  EXPECT_EQ(vpc["kind"], 23);                    // Struct, as a symbol
  EXPECT_FALSE(vpc.contains("children")) << vpc.dump();  // a leaf, not an empty level
}

TEST(Outline, UnnamedItemsAndTextsThatAreNotYaml) {
  const std::string unnamed = "account_info:\n  - regions:\n      - vpcs:\n          - {}\n";
  const auto symbols = lsp::document_symbols(lsp::LineIndex(unnamed));
  ASSERT_TRUE(symbols.has_value());
  EXPECT_EQ((*symbols)[0]["name"], "account 1");
  EXPECT_EQ((*symbols)[0]["children"][0]["name"], "region 1");
  EXPECT_EQ((*symbols)[0]["children"][0]["children"][0]["name"], "VPC 1");
  // Items that are no mappings get no symbol but keep their place in the count.
  const std::string mixed =
      "account_info:\n  - x\n  - regions:\n      - [y]\n      - vpcs:\n          - z\n"
      "          - vpc_id: ''\n          - vpc_id: [a]\n          - vpc_id: v\n";
  const lsp::LineIndex mixed_doc(mixed);
  const json accounts = lsp::document_symbols(mixed_doc).value_or(json());
  ASSERT_EQ(names(accounts), "account 2");
  ASSERT_EQ(names(accounts[0]["children"]), "region 2");
  const json& vpcs = accounts[0]["children"][0]["children"];
  EXPECT_EQ(names(vpcs), "VPC 2,VPC 3,v");
  const lsp::Position second = mixed_doc.position(mixed.find("vpc_id: ''"));
  EXPECT_EQ(lsp::range_of(vpcs[0]["selectionRange"]), (lsp::Range{second, second}));
  // A name that is an alias lies outside the item: the selection stays inside it.
  const std::string alias = "x: &id \"310000000001\"\naccount_info:\n  - account_id: *id\n";
  const json aliased = lsp::document_symbols(lsp::LineIndex(alias)).value_or(json());
  ASSERT_EQ(names(aliased), "310000000001");
  EXPECT_EQ(lsp::range_of(aliased[0]["selectionRange"]), (lsp::Range{{2, 4}, {2, 4}}));
  EXPECT_EQ(lsp::document_symbols(lsp::LineIndex("terraform: x\n")), json::array());
  for (const char* bad : {"a: [1, 2\n", "a: b\n c: d\n", "key: \"open\n"}) {
    EXPECT_FALSE(lsp::document_symbols(lsp::LineIndex(bad)).has_value()) << bad;
  }
}
