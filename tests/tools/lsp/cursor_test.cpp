#include "lsp/cursor.hpp"

#include <gtest/gtest.h>

#include <string>

namespace lsp = tarnwick::lsp;

namespace {

// The text with its `|` taken out, and the position the `|` marked.
struct Marked {
  std::string text;
  lsp::Position at;
};
Marked marked(std::string text) {
  const std::size_t bar = text.find('|');
  Marked m{text.erase(bar, 1), {}};
  for (std::size_t i = 0; i < bar; ++i) {
    if (m.text[i] == '\n') {
      ++m.at.line;
      m.at.character = 0;
    } else {
      ++m.at.character;
    }
  }
  return m;
}

std::string joined(const std::vector<lsp::Step>& path) {
  std::string out;
  for (const lsp::Step& s : path) out += (out.empty() ? "" : ".") + (s.item ? "[]" : s.key);
  return out;
}
std::string joined(const std::vector<std::string>& keys) {
  std::string out;
  for (const std::string& k : keys) out += (out.empty() ? "" : ",") + k;
  return out;
}

}  // namespace

TEST(Cursor, ContextsOfValidAndHalfWrittenTexts) {
  using S = lsp::Spot;
  struct Case {
    const char* text;
    S spot;
    const char* path;
    const char* word;
    const char* present;
  };
  const Case cases[] = {
      {"terraform:\n  terraform_output: x\n  te|", S::Bare, "terraform", "te", "terraform_output"},
      {"corvane:\n  tf_controller_access:\n    mode: S|S\n", S::Value,
       "corvane.tf_controller_access.mode", "SS", ""},
      {"cleanup:\n  resources: [NAT, |", S::Value, "cleanup.resources.[]", "", "NAT"},
      {"cleanup:\n  resources: [NAT, V|GW, PEERING]  # c", S::Value, "cleanup.resources.[]", "VGW",
       "NAT,PEERING"},
      {"account_info:\n  - account_id: \"31\"\n    regions:\n      - region: us|\n", S::Value,
       "account_info.[].regions.[].region", "us", ""},
      {"account_info:\n- account_id: '1'\n  regions:\n  - region: x\n    vpcs:\n    - vpc_id: v\n"
       "      crvn|",
       S::Bare, "account_info.[].regions.[].vpcs.[]", "crvn", "vpc_id"},
      {"vpcs:\n  - vpc_i|d: v\n    gw_zones: [a]\n\n  - vpc_id: w", S::Key, "vpcs.[]", "vpc_id",
       "gw_zones"},
      {"terraform:  # the out|put", S::None, "", "", ""},
      {"\"terraform\":\n  'terraform_output': x\n  |\n", S::Bare, "terraform", "",
       "terraform_output"},
      {"corvane:\n  # note\n\n  controller_ip: 1\n  |", S::Bare, "corvane", "", "controller_ip"},
      {"cleanup:\n  resources:\n    |- NAT\n", S::Dash, "cleanup.resources.[]", "-", ""},
      {"cleanup:\n  resources:\n    - NAT\n    - V|\n    - PEERING", S::Bare,
       "cleanup.resources.[]", "V", "NAT,PEERING"},
      {"label: >\n  a: b|\n", S::None, "", "", ""},
      {"id: x\n|\nterraform: {}", S::Bare, "", "", "id,terraform"},
      {"id: x\nterr|aform: x", S::Key, "", "terraform", "id"},
      {"regions:\n  - |", S::Bare, "regions.[]", "", ""},
      {"\"a\\\"b\": 1\n'c''d': 2\nid|: x", S::Key, "", "id", "c'd,a\"b"},  // escaped quotes
      {"'a\\': 1\nid|: x", S::Key, "", "id", "a\\"},  // no backslash escape in single quotes
      {"label: wave#3|\n", S::Value, "label", "wave#3", ""},  // a '#' not after a blank
      {"terraform:\n  terraform_output:\tx|\n", S::Value, "terraform.terraform_output", "x", ""},
      {"terraform:\n  |# a note\n", S::Bare, "terraform", "", ""},  // before the '#', not in it
      {"---x|: 1\n", S::Key, "", "---x", ""},
      // The keys of the item being written, not those of the item before it.
      {"vpcs:\n  - vpc_id: a\n    gw_zones: [a]\n  - vpc_id: b\n    |", S::Bare, "vpcs.[]", "", "vpc_id"},  // a key that starts like a marker is a key
      // An item that is itself a list holds no scalar of this one.
      {"cleanup:\n  resources:\n    - - NAT\n    - V|", S::Bare, "cleanup.resources.[]", "V", ""},
  };
  for (const Case& c : cases) {
    const Marked m = marked(c.text);
    const lsp::LineIndex doc(m.text);
    const lsp::Cursor cur = lsp::cursor_at(doc, m.at);
    SCOPED_TRACE(c.text);
    EXPECT_EQ(cur.spot, c.spot);
    if (c.spot == S::None) continue;
    EXPECT_EQ(joined(cur.path), c.path);
    EXPECT_EQ(cur.text, c.word);
    EXPECT_EQ(joined(cur.present), c.present);
    EXPECT_EQ(cur.word.start.line, m.at.line);
  }
}

TEST(Cursor, ItemValuesAreReadFromTheItemOnly) {
  const Marked m = marked(
      "regions:\n  - region: us-east-1\n    vpcs:\n      - vpc_id: \"vpc-1\"\n        crvn_cidr: "
      "x|\n      - vpc_id: vpc-2\n  - region: eu-west-1\n");
  const lsp::LineIndex doc(m.text);
  const lsp::Cursor cur = lsp::cursor_at(doc, m.at);
  ASSERT_EQ(joined(cur.path), "regions.[].vpcs.[].crvn_cidr");
  EXPECT_EQ(lsp::item_value(doc, cur.path[1], "region"), "us-east-1");
  EXPECT_EQ(lsp::item_value(doc, cur.path[3], "vpc_id"), "vpc-1");
  EXPECT_EQ(lsp::item_value(doc, cur.path[3], "region"), std::nullopt);
}
