#include "lsp/features.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "lsp/code_actions.hpp"
#include "tarnwick/core/field_catalog.hpp"

namespace lsp = tarnwick::lsp;
using nlohmann::json;

namespace {

const tarnwick::core::FieldEntry* field_at(std::initializer_list<std::string_view> keys) {
  const tarnwick::core::RecordEntry* r = &tarnwick::core::document_catalog();
  const tarnwick::core::FieldEntry* f = nullptr;
  for (std::string_view k : keys) {
    f = r != nullptr ? r->find(k) : nullptr;
    if (f == nullptr) return nullptr;
    r = f->record;
  }
  return f;
}

// The position of the `|` in `pattern` (its end when it has none), the pattern being found in
// the text without it.
lsp::Position at(const lsp::LineIndex& doc, std::string pattern) {
  const std::size_t bar = std::min(pattern.find('|'), pattern.size());
  if (bar < pattern.size()) pattern.erase(bar, 1);
  return doc.position(doc.text().find(pattern) + bar);
}

std::string labels(const json& items) {
  std::string out;
  for (const json& i : items) out += (out.empty() ? "" : ",") + i["label"].get<std::string>();
  return out;
}

constexpr const char* kUri = "file:///work/doc.yaml";

json range(int l1, int c1, int l2, int c2) {
  return {{"start", {{"line", l1}, {"character", c1}}}, {"end", {{"line", l2}, {"character", c2}}}};
}

std::string full_example() {
  std::ifstream in(TARNWICK_SOURCE_DIR "/examples/full.yaml");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(FieldCatalog, TypesDefaultsAndNestingComeFromTheTables) {
  struct Case {
    std::initializer_list<std::string_view> path;
    const char* type;
    json default_value;
  };
  const Case cases[] = {
      {{"corvane", "controller_ip"}, "IPv4 address", nullptr},
      {{"account_info", "account_id"}, "digits", nullptr},
      {{"account_info", "spoke_gw_size"}, "text", "t3.micro"},
      {{"account_info", "regions", "vpcs", "spoke_gw_name"},
       "text of at most 50 characters or null",
       nullptr},
      {{"alert", "expect_dest_cidrs"}, "list of IPv4 network", json::array({"0.0.0.0/0"})},
      {{"corvane", "tf_controller_access", "mode"}, "one of ENV, SSM", "ENV"},
      {{"config", "route_table_tags"}, "list of mapping of text to text", json::array()},
      {{"corvane"}, "CorvaneConfig or null", nullptr},
      {{"terraform", "tf_cloud", "tags"}, "list of text or null", nullptr},
  };
  for (const Case& c : cases) {
    const auto* f = field_at(c.path);
    ASSERT_NE(f, nullptr) << *c.path.begin();
    EXPECT_EQ(f->type, c.type);
    EXPECT_EQ(json(f->default_value), c.default_value) << f->key;
  }
  const auto* regions = field_at({"account_info", "regions"});
  EXPECT_TRUE(regions->list && regions->required && regions->record->name == "Region");
  const auto* resources = field_at({"cleanup", "resources"});
  EXPECT_TRUE(resources->list && resources->choices.size() == 5 && resources->record == nullptr);
  const auto* by_region = field_at({"tgw", "tgw_by_region"});
  EXPECT_TRUE(by_region->keyed && !by_region->list && by_region->choices.size() == 22);
}

TEST(Hover, KeysVpcItemsAndNothing) {
  const std::string text = full_example();
  const lsp::LineIndex doc(text);
  struct Case {
    const char* pattern;
    const char* contains;
  };
  const Case cases[] = {
      {"  controller_i",
       "**controller_ip** — IPv4 address\n\nIPv4 address of the Corvane "
       "controller.\n\nRequired."},
      {"    spoke_gw_si", "Default: `t3.micro`."},
      {"    mo", "Allowed values: `ENV`, `SSM`."},
      {"crvn_cidr: 10.220.2",
       "VPC `vpc-0a11b22c33d44e502` in account `310000000001`, region "
       "`us-east-1`"},
      {"            eips: [54.20.1.1", "VPC `vpc-0a11b22c33d44e501`"},
      {"|- vpc_id: vpc-0b99c00d11e22f302",
       "VPC `vpc-0b99c00d11e22f302` in account "
       "`310000000002`, region `us-west-2`"},
      // A section's defaults are its fields' own: its key shows none.
      {"\nale|rt:", "**alert** — AlertConfig\n\nWhen to raise alerts.\n\nOptional."},
      {"\nconf|ig:",
       "**config** — ScriptConfig\n\nSwitches of the migration features for the whole "
       "document.\n\nOptional."},
      {"  expect_dest_ci", "raise an alert.\n\nDefault: `[\"0.0.0.0/0\"]`."},
      {"  add_vpc_ci",
       "**add_vpc_cidr** — boolean\n\nAdd crvn_cidr to the VPCs.\n\nDefault: `true`."},
  };
  for (const Case& c : cases) {
    const json h = lsp::hover(doc, at(doc, c.pattern));
    ASSERT_TRUE(h.is_object()) << c.pattern;
    EXPECT_NE(h["contents"]["value"].get<std::string>().find(c.contains), std::string::npos)
        << h.dump();
  }
  const json key = lsp::hover(doc, at(doc, "  controller_i"));
  EXPECT_EQ(lsp::range_of(key["range"]).end.character, 15u);

  const std::string missing = "account_info:\n- regions:\n  - vpcs:\n    - crvn_cidr: x\n";
  const lsp::LineIndex partial(missing);
  const json off_words = lsp::hover(partial, {3, 18});
  EXPECT_EQ(off_words["contents"]["value"],
            "VPC (no `vpc_id`) in account (no `account_id`), region (no `region`)");
  // An empty range is not sent: the client then takes the word under the mouse itself.
  EXPECT_FALSE(lsp::to_json(lsp::Hover{"x", {{3, 18}, {3, 18}}}).contains("range"));
  EXPECT_EQ(lsp::to_json(lsp::Hover{"x", {{3, 17}, {3, 18}}})["range"],
            lsp::to_json(lsp::Range{{3, 17}, {3, 18}}));
  // On a blank line inside a VPC item there is no word: the hover names no range.
  const std::string blank = "account_info:\n- regions:\n  - vpcs:\n    - vpc_id: v\n      \n";
  const json inside = lsp::hover(lsp::LineIndex(blank), {4, 6});
  ASSERT_TRUE(inside.is_object());
  EXPECT_EQ(inside["contents"]["value"], "VPC `v` in account (no `account_id`), region (no `region`)");
  EXPECT_FALSE(inside.contains("range")) << inside.dump();
  // An id written as a block scalar is not read from its indicator.
  const std::string block = "account_info:\n- regions:\n  - vpcs:\n    - vpc_id: |\n        v\n      x: 1\n";
  EXPECT_EQ(lsp::hover(lsp::LineIndex(block), {5, 10})["contents"]["value"],
            "VPC (no `vpc_id`) in account (no `account_id`), region (no `region`)");
  const std::string unknown = "terraform:\n  no_such_key: 1\n";
  EXPECT_TRUE(lsp::hover(lsp::LineIndex(unknown), {1, 4}).is_null());
  for (const char* pattern : {"# Where the gen", "  terraform_output: /srv", "account_name: ret",
                              "regions:\n      |- region: us-east-1"}) {
    EXPECT_TRUE(lsp::hover(doc, at(doc, pattern)).is_null()) << pattern;
  }
}

TEST(Completion, KeysNotWrittenAndChoices) {
  struct Case {
    const char* text;  // completion at its end
    const char* labels;
  };
  const Case cases[] = {
      {"corvane:\n  tf_controller_access:\n    mode: ", "ENV,SSM"},
      {"account_info:\n  - regions:\n      - region: us-w", "af-south-1,ap-east-1"},
      {"cleanup:\n  resources: [NAT, ", "INTERNAL_LB,TGW_ATTACHMENT,VGW,PEERING"},
      {"cleanup:\n  resources:\n    - VGW\n    - ", "INTERNAL_LB,NAT,TGW_ATTACHMENT,PEERING"},
      {"config:\n  add_vpc_cidr: ", "true,false"},
      {"tgw:\n  tgw_by_region:\n    ", "af-south-1,ap-east-1"},
      {"aws:\n  s3:\n    account: x\n    role_name: y\n    name: z\n    re", "region"},
      {"corvane:\n  controller_ip: ", ""},
  };
  for (const Case& c : cases) {
    const std::string text = c.text;
    const lsp::LineIndex doc(text);
    const std::string got = labels(lsp::completion(doc, doc.position(text.size())));
    EXPECT_EQ(got.substr(0, std::string(c.labels).size()), c.labels) << c.text;
  }
}

TEST(Completion, KeyItemsSayWhatTheFieldIs) {
  const std::string text = "terraform:\n  terraform_output: x\n  te";
  const lsp::LineIndex doc(text);
  const json items = lsp::completion(doc, doc.position(text.size()));
  ASSERT_EQ(items.size(), 8u);  // every key of the section but the one written
  const json& version = items[0];
  EXPECT_EQ(version["label"], "terraform_version");
  EXPECT_EQ(version["kind"], 10);
  EXPECT_EQ(version["detail"], "text or null");
  EXPECT_EQ(version["documentation"]["kind"], "markdown");
  EXPECT_TRUE(version["documentation"]["value"].is_string());
  EXPECT_EQ(version["textEdit"]["newText"], "terraform_version: ");
  EXPECT_EQ(lsp::range_of(version["textEdit"]["range"]), (lsp::Range{{2, 2}, {2, 4}}));
  const json& cloud = items[6];
  EXPECT_EQ(cloud["label"], "tf_cloud");
  EXPECT_EQ(cloud["textEdit"]["newText"], "tf_cloud:\n    ");
  // On a key written with its colon, only the word is replaced.
  const std::string written = "terraform:\n  terraform_output: x\n";
  const json renamed = lsp::completion(lsp::LineIndex(written), {1, 4});
  EXPECT_EQ(renamed[7]["textEdit"]["newText"], "tf_cloud");
  EXPECT_EQ(lsp::range_of(renamed[7]["textEdit"]["range"]), (lsp::Range{{1, 2}, {1, 18}}));

  const std::string root = "terraform: {}\n";
  const lsp::LineIndex root_doc(root);
  const json top = lsp::completion(root_doc, {1, 0});
  EXPECT_EQ(top[0]["label"], "id");
  EXPECT_EQ(top[3]["label"], "account_info");
  EXPECT_EQ(top[3]["sortText"], "0_account_info");
  EXPECT_EQ(top[3]["textEdit"]["newText"], "account_info:\n  - ");
  // A list of choices stays on its key's line (a flow list is typed there); only records start
  // on the next one.
  const std::string cleanup = "cleanup:\n  ";
  const json choices = lsp::completion(lsp::LineIndex(cleanup), {1, 2});
  const auto resources = std::find_if(choices.begin(), choices.end(),
                                      [](const json& i) { return i["label"] == "resources"; });
  ASSERT_NE(resources, choices.end()) << choices.dump();
  EXPECT_EQ((*resources)["textEdit"]["newText"], "resources: ");
}

// Every position of texts an edit may leave behind (and of ones no editor would): each request
// answers without reading outside the text (the sanitizer builds watch this).
TEST(Features, AnswerAtEveryPositionOfOddTexts) {
  const std::string texts[] = {
      full_example(),
      "a:\n- - - b: [c, {d: e\n  -\t: \"x\n'unclosed\n\r\n\r- : :\n  ? k\n  : v\n#c",
      "account_info:\n- regions:\n  - vpcs:\n    -\n    - vpc_id:\n  -\nregion: |\n  text\n",
      "\xEF\xBB\xBF\xF0\x9D\x84\x9E: \xC3\xA9\n  \xE2\x80\xA8x: [\n\xFF\xFE:\n",
      std::string(300, ' ') + "-\n" + std::string(200, '-') + " x:\n",
  };
  for (const std::string& text : texts) {
    const lsp::LineIndex doc(text);
    for (std::uint32_t line = 0; line <= doc.line_count(); ++line) {
      for (std::uint32_t c = 0; c <= doc.line(line).size() + 1; ++c) {
        const json h = lsp::hover(doc, {line, c});
        EXPECT_TRUE(h.is_null() || h.contains("contents"));
        EXPECT_TRUE(lsp::completion(doc, {line, c}).is_array());
      }
    }
  }
}

// A diagnostic's own data is the fix; the published ones stand in only for a client that drops
// data, and only at the same range and code (the text may have moved since they were sent).
TEST(LspQuickFixes, OwnDataFirstThenThePublishedTwin) {
  // A fix replaces the diagnostic's own range here; the edit takes the fix's range.
  auto diagnostic = [](json at, const char* code, const char* replacement = nullptr) {
    json d{{"range", at}, {"code", code}};
    if (replacement) {
      const bool key = std::string_view(code) == "value_error.extra";
      d["data"] = {{"fix",
                    {{"range", at},
                     {"newText", replacement},
                     {"title", std::string(key ? "Rename the key to `" : "Change to `") +
                                   replacement + "`"},
                     {"applicability", key ? "safe" : "unsafe"}}}};
    }
    return d;
  };
  const json published =
      json::array({diagnostic(range(0, 0, 0, 5), "value_error.extra", "label"),
                   diagnostic(range(2, 8, 2, 17), "value_error.literal", "us-east-1")});
  struct Case {
    json asked;
    const char* title;  // nullptr: no action
    bool preferred = true;  // a safe fix: an editor may apply it at once
  };
  const Case cases[] = {
      {diagnostic(range(3, 0, 3, 5), "value_error.extra", "labels"), "Rename the key to `labels`"},
      {diagnostic(range(0, 0, 0, 5), "value_error.extra", "lab"), "Rename the key to `lab`"},
      {diagnostic(range(0, 0, 0, 5), "value_error.extra"), "Rename the key to `label`"},
      {diagnostic(range(2, 8, 2, 17), "value_error.literal"), "Change to `us-east-1`", false},
      {diagnostic(range(3, 0, 3, 5), "value_error.extra"), nullptr},  // moved, no data
      {diagnostic(range(0, 0, 0, 5), "value_error.missing"), nullptr},
      {{{"code", "value_error.extra"}, {"data", {{"replacement", "label"}}}}, nullptr},
      {{{"code", "value_error.extra"}, {"data", {{"fix", {{"newText", "label"}}}}}}, nullptr},
      {{{"code", "value_error.extra"},
        {"data", {{"fix", {{"range", range(0, 0, 0, 5)}, {"newText", "label"}, {"title", 5}}}}}},
       nullptr},
      {{{"code", "value_error.extra"}, {"data", {{"fix", {{"newText", "l"}, {"title", "t"}}}}}},
       nullptr},  // a fix without its range edits nothing
      {1, nullptr},  // a client's diagnostic that is not an object is passed over
      {json::array({range(0, 0, 0, 5)}), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked.dump());
    const json actions = lsp::quick_fixes(kUri, json::array({c.asked}), published);
    ASSERT_EQ(actions.size(), c.title ? 1u : 0u);
    if (!c.title) continue;
    EXPECT_EQ(actions[0]["title"], c.title);
    EXPECT_EQ(actions[0]["kind"], "quickfix");
    EXPECT_EQ(actions[0]["isPreferred"], c.preferred);
    EXPECT_EQ(actions[0]["diagnostics"], json::array({c.asked}));
    const json& edit = actions[0]["edit"]["changes"][kUri];
    ASSERT_EQ(edit.size(), 1u);
    EXPECT_EQ(edit[0]["range"], c.asked["range"]);
    const std::string title = c.title;
    EXPECT_EQ("`" + edit[0]["newText"].get<std::string>() + "`", title.substr(title.find('`')));
  }
}
