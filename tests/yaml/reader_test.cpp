#include "tarnwick/yaml/reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "support/show_node.hpp"

namespace tarnwick::yaml {
namespace {

using namespace std::string_view_literals;

using testing::show;

std::string error_of(std::string_view text) {
  try {
    read_string(text);
  } catch (const YamlError& e) {
    return e.what();
  }
  return "(no error)";
}

struct Expect {
  std::string_view yaml;
  std::string_view want;  // show() of the root, or "<string>:L:C: ..." error text it starts with
};

void check_table(std::initializer_list<Expect> cases) {
  for (const Expect& c : cases) {
    SCOPED_TRACE(c.yaml);
    std::string got;
    try {
      got = show(read_string(c.yaml).root());
    } catch (const YamlError& e) {
      got = e.what();
    }
    EXPECT_EQ(got.substr(0, c.want.size()), c.want);
  }
}

TEST(Reader, MarksAreOneBasedLineAndColumn) {
  Document d = read_string("top:\n  nested: 1\n  list:\n    - a\n    - {k: v}\n");
  const Node* top = d.root().find("top");
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->entries()[0].key->mark(), (Mark{2, 3}));
  EXPECT_EQ(top->find("nested")->mark(), (Mark{2, 11}));
  const Node* list = top->find("list");
  EXPECT_EQ(list->items()[0]->mark(), (Mark{4, 7}));
  EXPECT_EQ(list->items()[1]->mark(), (Mark{5, 7}));
  EXPECT_EQ(list->items()[1]->find("k")->mark(), (Mark{5, 11}));
}

TEST(Reader, KindsAndPlainFlag) {
  struct Case {
    std::string_view yaml;
    Kind kind;
    StandardTag tag;
    bool plain;
  };
  const Case cases[] = {
      {"yes", Kind::Bool, StandardTag::Bool, true},
      {"'yes'", Kind::Str, StandardTag::Str, false},
      {"!!str yes", Kind::Str, StandardTag::Str, false},
      {"! 12", Kind::Str, StandardTag::Str, false},
      {"|\n  12\n", Kind::Str, StandardTag::Str, false},
      {"!!int \"12\"", Kind::Int, StandardTag::Int, false},
      {"!!float 1", Kind::Float, StandardTag::Float, false},
      {"2001-12-14", Kind::Timestamp, StandardTag::Timestamp, true},
      {"!!binary aGk=", Kind::Str, StandardTag::Binary, false},
      {"!<tag:yaml.org,2002:bool> off", Kind::Bool, StandardTag::Bool, false},
      {"~", Kind::Null, StandardTag::Null, true},
      {"!!set {a}", Kind::Map, StandardTag::Set, false},
      {"!!omap [{a: 1}]", Kind::Seq, StandardTag::Omap, false},
      {"!!pairs [{a: 1}, {a: 2}]", Kind::Seq, StandardTag::Pairs, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.yaml);
    Document d = read_string(c.yaml);
    EXPECT_EQ(d.root().kind(), c.kind);
    EXPECT_EQ(d.root().tag(), c.tag);
    EXPECT_EQ(d.root().plain(), c.plain);
  }
  EXPECT_EQ(read_string("!!float 1").root().float_value(), 1.0);
  EXPECT_EQ(read_string("!!int '0x10'").root().int_value(), 16);
}

TEST(Reader, TagsRefusedOrMisused) {
  check_table({
      {"!!python/object/apply:os.system [ls]",
       "<string>:1:1: tag !!python/object/apply:os.system is not allowed"},
      {"a: !!python/object:x.Y {}", "<string>:1:4: tag !!python/object:x.Y is not allowed"},
      {"a: !Ref b", "<string>:1:4: tag !Ref is not allowed"},
      {"- !custom x", "<string>:1:3: tag !custom is not allowed"},
      {"!<tag:example.com,2000:x> y", "<string>:1:1: tag !<tag:example.com,2000:x> is not allowed"},
      {"%TAG !e! tag:example.com,2000:\n---\n!e!x y", "<string>:3:1: tag !<tag:example.com"},
      {"a: !!int abc", "<string>:1:4: cannot read \"abc\" as !!int: it is not an integer"},
      {"a: !!bool 1", "<string>:1:4: cannot read \"1\" as !!bool"},
      {"a: !!timestamp 2001-02-30", "<string>:1:4: cannot read \"2001-02-30\" as !!timestamp"},
      {"a: 2001-02-30", "<string>:1:4: cannot read \"2001-02-30\" as a timestamp"},
      {"a: !!str [x]", "<string>:1:4: tag !!str cannot be used on a sequence"},
      {"a: !!seq {}", "<string>:1:4: tag !!seq cannot be used on a mapping"},
      {"a: !!map x", "<string>:1:4: tag !!map cannot be used on a scalar"},
      {"a: !!merge x", "<string>:1:4: tag !!merge can only be used on a mapping key"},
      {"!!omap [{a: 1, b: 2}]", "<string>:1:9: expected a mapping of one key in !!omap"},
      {"!!pairs [x]", "<string>:1:10: expected a mapping of one key in !!pairs"},
  });
}

TEST(Reader, AliasesShareTheAnchoredNode) {
  Document d = read_string("a: &x {k: [1, 2]}\nb: *x\nc: [*x]\n&key k: 1\nm: {*key : 2}\n");
  const Node& root = d.root();
  EXPECT_EQ(root.find("a"), root.find("b"));
  EXPECT_EQ(root.find("c")->items()[0], root.find("a"));
  EXPECT_EQ(root.entries()[3].key, root.find("m")->entries()[0].key);
  // A key repeated through an alias is a duplicate, reported where the alias stands.
  Document dup = read_string("&key k: 1\n*key : 2\n");
  ASSERT_EQ(dup.duplicates().size(), 1u);
  EXPECT_EQ(dup.duplicates()[0].first, (Mark{1, 1}));
  EXPECT_EQ(dup.duplicates()[0].second, (Mark{2, 1}));
}

TEST(Reader, AliasFaults) {
  check_table({
      {"[*a]", "<string>:1:2: found undefined alias *a"},
      {"&a [*a]", "<string>:1:5: alias *a refers to anchor &a at line 1, column 1"},
      {"&a {x: *a}", "<string>:1:8: alias *a refers to anchor &a at line 1, column 1"},
      {"x: &a\n  - [1, {y: *a}]\n", "<string>:2:13: alias *a refers to anchor &a at line 1"},
      {"a: &x 1\nb: &x 2\n", "<string>:2:4: found duplicate anchor &x; first occurrence at line 1"},
      {"? &k [a]\n: 1\n", "<string>:1:3: found unhashable key"},
      {"a: &m {b: 1}\n*m : 2\n", "<string>:2:1: found unhashable key"},
      // The first fault in the text wins, also over a syntax fault further on.
      {"a: *nowhere\nb: 'unterminated\n", "<string>:1:4: found undefined alias *nowhere"},
  });
}

TEST(Reader, ExpansionBudget) {
  // Ten levels of ten aliases would stand for 10^10 nodes.
  std::string laughs = "a: &a [lol, lol, lol, lol, lol, lol, lol, lol, lol, lol]\n";
  for (char c = 'b'; c <= 'j'; ++c) {
    laughs += std::string(1, c) + ": &" + c + " [";
    for (int i = 0; i < 10; ++i) laughs += std::string(i ? ", *" : "*") + char(c - 1);
    laughs += "]\n";
  }
  auto start = std::chrono::steady_clock::now();
  std::string err = error_of(laughs);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(err.substr(0, 11), "<string>:6:") << err;
  EXPECT_NE(err.find("expands through aliases to more than 1000000 nodes"), std::string::npos);

  // Merge keys copy entries: that counts too.
  std::string merges = "base: &b {";
  for (int i = 0; i < 2000; ++i) merges += (i ? ", k" : "k") + std::to_string(i) + ": 1";
  merges += "}\nlist:\n";
  for (int i = 0; i < 300; ++i) merges += "- <<: *b\n";
  EXPECT_NE(error_of(merges).find("expands through aliases"), std::string::npos);
  // Even a list of empty mappings costs its length at every merge.
  std::string empties = "s: &s [{}";
  for (int i = 1; i < 2000; ++i) empties += ", {}";
  empties += "]\nm:\n";
  for (int i = 0; i < 600; ++i) empties += "  <<: *s\n";
  EXPECT_NE(error_of(empties).find("expands through aliases"), std::string::npos);

  // Heavy but proportionate sharing is fine.
  std::string shared = "a: &a [" + std::string(50, 'x') + "]\nlist:\n";
  for (int i = 0; i < 5000; ++i) shared += "- [*a, *a]\n";
  EXPECT_EQ(read_string(shared).root().find("list")->size(), 5000u);
}

TEST(Reader, MergeKeys) {
  check_table({
      {"{<<: {a: 1, b: 2}, b: 3, c: 4}", "{\"a\": 1, \"b\": 3, \"c\": 4}"},
      {"{c: 4, <<: {a: 1}}", "{\"a\": 1, \"c\": 4}"},
      {"{<<: [{a: 1}, {b: 2, a: 3}]}", "{\"b\": 2, \"a\": 1}"},
      {"{<<: {a: 1}, <<: {a: 2}}", "{\"a\": 2}"},
      {"{!!merge m: {a: 1}}", "{\"a\": 1}"},
      {"{\"<<\": {a: 1}}", "{\"<<\": {\"a\": 1}}"},
      {"a: &a {x: 1}\nb: &b {y: 2, x: 5}\nc: {z: 0, <<: [*a, *b], x: 9}\n",
       "{\"a\": {\"x\": 1}, \"b\": {\"y\": 2, \"x\": 5}, \"c\": {\"y\": 2, \"x\": 9, \"z\": 0}}"},
      {"a: &a {p: 1, <<: {q: 2}}\nb: {<<: *a, r: 3}\n",
       "{\"a\": {\"q\": 2, \"p\": 1}, \"b\": {\"q\": 2, \"p\": 1, \"r\": 3}}"},
      {"s: &s [{a: 1}, {a: 2, b: 2}]\nm: {<<: *s}\n",
       "{\"s\": [{\"a\": 1}, {\"a\": 2, \"b\": 2}], "
       "\"m\": {\"a\": 1, \"b\": 2}}"},
      {"x: <<", "{\"x\": \"<<\"}"},
      {"{<<: 1}", "<string>:1:6: expected a mapping or list of mappings for merging, but found an"},
      {"{<<: }", "<string>:1:6: expected a mapping or list of mappings for merging, but found a n"},
      {"{<<: [{a: 1}, x]}", "<string>:1:15: expected a mapping for merging, but found a string"},
      {"{<<: [[a]]}", "<string>:1:7: expected a mapping for merging, but found a sequence"},
      {"s: &s [x]\nm: {<<: *s}\n", "<string>:1:8: expected a mapping for merging"},
  });
}

TEST(Reader, MergeSharesEntriesAndIsNoDuplicate) {
  Document d = read_string("base: &b {k: [1]}\nm:\n  <<: *b\n  k: 2\n  j: 3\n  <<: {j: 4}\n");
  EXPECT_EQ(show(*d.root().find("m")), "{\"k\": 2, \"j\": 3}");
  EXPECT_TRUE(d.duplicates().empty());
  Document e = read_string("base: &b {k: [1]}\nm: {<<: *b}\n");
  EXPECT_EQ(e.root().find("m")->find("k"), e.root().find("base")->find("k"));
}

TEST(Reader, DuplicateKeysLaterWinsFirstPositionKept) {
  Document d = read_string(
      "a: 1\n"
      "b:\n"
      "  - {x: 1, y: 2, x: 3}\n"
      "0x10: p\n"
      "16: q\n"
      "a: 4\n"
      "'16': r\n");
  // The winning pair takes the first occurrence's place; 0x10 and 16 are the same integer key.
  EXPECT_EQ(show(d.root()), "{\"a\": 4, \"b\": [{\"x\": 3, \"y\": 2}], 16: \"q\", \"16\": \"r\"}");
  ASSERT_EQ(d.duplicates().size(), 3u);
  const DuplicateKey& x = d.duplicates()[0];
  EXPECT_EQ(x.key, "x");
  EXPECT_EQ(x.first, (Mark{3, 6}));
  EXPECT_EQ(x.second, (Mark{3, 18}));
  EXPECT_EQ(x.path, (Path{"b", std::int64_t{0}}));
  EXPECT_EQ(d.duplicates()[1].second, (Mark{5, 1}));
  EXPECT_EQ(d.duplicates()[2].key, "a");
  EXPECT_EQ(d.duplicates()[2].first, (Mark{1, 1}));
  EXPECT_EQ(d.duplicates()[2].second, (Mark{6, 1}));
  EXPECT_TRUE(d.duplicates()[2].path.empty());
}

// NaN is one key however it is spelt, as 0x10 and 16 are: written twice, it is a duplicate, in a
// small mapping and in one searched through an index alike.
TEST(Reader, NanKeysWrittenTwiceAreDuplicates) {
  std::string many;
  for (int i = 0; i < 20; ++i) many += "k" + std::to_string(i) + ": 0\n";
  const struct {
    std::string text;
    std::string shown;      // show() of the root, or of its last entry past `many`
    std::string duplicate;  // the key reported, or empty: none
  } cases[] = {{".nan: 1\n.nan: 2\n", "{.nan: 2}", ".nan"},
               {".NaN: 1\nx: 0\n.nan: 2\n", "{.nan: 2, \"x\": 0}", ".NaN"},
               {".nan: 1\n'.nan': 2\n.inf: 3\n", "{.nan: 1, \".nan\": 2, .inf: 3}", ""},
               {many + ".NAN: 1\n.nan: 2\n", ".nan: 2", ".NAN"},
               {many + ".nan: 1\n.inf: 2\n", ".inf: 2", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Document d = read_string(c.text);
    if (c.text.starts_with("k0")) {
      const Entry& last = d.root().entries().back();
      EXPECT_EQ(show(*last.key) + ": " + show(*last.value), c.shown);
    } else {
      EXPECT_EQ(show(d.root()), c.shown);
    }
    ASSERT_EQ(d.duplicates().size(), c.duplicate.empty() ? 0u : 1u);
    if (!c.duplicate.empty()) {
      EXPECT_EQ(d.duplicates()[0].key, c.duplicate);
    }
  }
}

TEST(Reader, DuplicateRecordsAreBounded) {
  // Long keys on a deep path, repeated many times: records stop, resolution does not.
  const std::string key(1000, 'k');
  std::string text;
  for (int i = 0; i < 900; ++i) text += "{" + key + ": ";
  text += "{a: 0";
  for (int i = 1; i <= 5000; ++i) text += ", a: " + std::to_string(i);
  text += "}" + std::string(900, '}');
  Document d = read_string(text);
  EXPECT_GT(d.duplicates().size(), 0u);
  EXPECT_LT(d.duplicates().size(), 100u);
  const Node* n = &d.root();
  while (n->find(key)) n = n->find(key);
  EXPECT_EQ(n->find("a")->text(), "5000");
}

TEST(Reader, LargeMappingStaysLinear) {
  std::string text;
  constexpr int kKeys = 100'000;
  for (int i = 0; i < kKeys; ++i) text += "k" + std::to_string(i) + ": " + std::to_string(i) + "\n";
  text += "k7: again\nk99999: last\n";
  auto start = std::chrono::steady_clock::now();
  Document d = read_string(text);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(d.root().size(), std::size_t{kKeys});
  EXPECT_EQ(d.root().find("k7")->text(), "again");
  EXPECT_EQ(d.root().entries()[kKeys - 1].value->text(), "last");
  EXPECT_EQ(d.duplicates().size(), 2u);
}

TEST(Reader, StreamShapes) {
  check_table({
      {"", "null"},
      {"# only a comment\n\n# another\n", "null"},
      {"%YAML 1.1\n--- a\n", "\"a\""},
      {"a\n...\n", "\"a\""},
      {"---\na\n---\nb\n", "<string>:3:1: expected a single document in the stream, but found"},
      {"a: 1\n---\n", "<string>:2:1: expected a single document in the stream"},
  });
  EXPECT_TRUE(read_string("").root().is_null());
  EXPECT_TRUE(read_string("---\n").root().is_null());
}

void expect_same_tree(const Node& a, const Node& b) {
  ASSERT_EQ(a.kind(), b.kind());
  EXPECT_EQ(a.mark(), b.mark());
  EXPECT_EQ(a.text(), b.text());
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.items().size(); ++i) expect_same_tree(*a.items()[i], *b.items()[i]);
  for (std::size_t i = 0; i < a.entries().size(); ++i) {
    expect_same_tree(*a.entries()[i].key, *b.entries()[i].key);
    expect_same_tree(*a.entries()[i].value, *b.entries()[i].value);
  }
}

TEST(Reader, CrLfReadsLikeLf) {
  std::string lf = "a: 1\nb:\n  - x\n  - 'q\n    r'\nc: |\n  line1\n  line2\nd: >\n  f1\n  f2\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  Document x = read_string(lf), y = read_string(crlf);
  expect_same_tree(x.root(), y.root());
  EXPECT_EQ(y.root().find("c")->text(), "line1\nline2\n");
}

TEST(Reader, EncodingAndCharacterFaults) {
  check_table({
      {"a:\n\tb: 1\n", "<string>:2:1: "},
      {"a: x\0y"sv, "<string>:1:5: control characters are not allowed (#x00)"},
      {"a: ok\nb: \xff\n", "<string>:2:4: invalid leading UTF-8 octet (#xFF)"},
      {"a: caf\xc3", "<string>:1:7: incomplete UTF-8 octet sequence"},
      {"a: \"x", "<string>:1:4: line 1: the quote at column 4 is never closed (while scanning a "
                 "quoted scalar: found unexpected end of stream)"},
      {"a:\n  b: [1, 2\n", "<string>:2:6: line 2: the `[` at column 6 needs `,` between items"},
  });
  EXPECT_NE(error_of("a:\n\tb: 1\n").find("tab"), std::string::npos);
  EXPECT_NE(error_of(std::string("a: x\0y", 6)).find("control characters"), std::string::npos);
  Document bom = read_string(
      "\xef\xbb\xbf"
      "a: 1\n");
  EXPECT_EQ(bom.root().entries()[0].key->text(), "a");
}

TEST(Reader, SyntaxFaultsPointInsideTheTextAndQuoteIt) {
  const std::string missing_colon =
      "<string>:2:1: line 2: `:` is missing after `b` (while scanning a simple key: could not "
      "find expected ':'); the line reads \"b\"";
  const struct {
    std::string_view yaml;
    std::string want;
  } cases[] = {
      {"a: 1\nb\n", missing_colon},
      {"a: 1\nb", missing_colon},
      {"a: 1\r\nb\r\n\r\n", missing_colon},
      {"a: 1\n  b: 2\n",
       "<string>:2:4: line 2 is indented more than line 1, which already has a value (mapping "
       "values are not allowed in this context); the line reads \"  b: 2\""},
  };
  for (const auto& c : cases) EXPECT_EQ(error_of(c.yaml), c.want) << c.yaml;
}

// A syntax fault leads with its line and what is wrong there; libyaml's words follow.
TEST(Reader, SyntaxFaultsSayWhatIsWrongOnTheLine) {
  const struct {
    std::string_view yaml;
    std::string_view lead;  // the message up to libyaml's words in parentheses
  } cases[] = {
      // Tabs, wherever libyaml notices them.
      {"a:\n\tb: 1\n", "2:1: line 2: a tab cannot indent YAML; use spaces"},
      {"a:\n  b: 1\n\tc: 2\n", "3:1: line 3: a tab cannot indent YAML; use spaces"},
      {"a: 1\n \tb: 2\n", "2:4: line 2: a tab cannot indent YAML; use spaces"},
      {"a: 1\n\n\t# note\n", "3:1: line 3: a tab cannot indent YAML; use spaces"},
      // Indented more than a key that has its value, or than its mapping's keys or list's items.
      {"a:\n  b: 1\n\n    c: 2\n",
       "4:6: line 4 is indented more than line 2, which already has a value"},
      {"a:\n  b: 1\n\n  # note\n    c: 2\n",  // a comment ends the value: a mapping's key
       "5:5: line 5 is indented more than its mapping's keys, at column 3 on line 2"},
      {"a:\n  - x\n    c: 2\n", "3:6: line 3 is indented more than line 2, which already has"},
      {"a:\n  b:\n    c: 1\n   d: 2\n",
       "4:4: line 4 is indented more than its mapping's keys, at column 3 on line 2"},
      {"a:\n  - b: 1\n   c: 2\n",
       "3:4: line 3 is indented more than the items of its list, at column 3 on line 2"},
      {"- a\nb: 1\n",
       "2:1: line 2 is as indented as the items of the list at column 1 on line 1 but has no `- `"},
      {"a:\n  b: 1\n  - c\n",
       "3:3: line 3: a list item among the keys of the mapping at column 3 on line 2"},
      // Other slips on one line.
      {"a: b: c\n", "1:5: line 1 holds `: ` twice; quote the value that contains it"},
      {"a: 'x' y\n", "1:8: line 1: text follows the quoted value; put all of it inside the"},
      {"a: \"x\"  y\n", "1:9: line 1: text follows the quoted value; put all of it inside the"},
      {"a: [1, 2]]\n", "1:10: line 1: unexpected `]` after a complete value"},
      {"a: @b\n", "1:4: line 1: `@` cannot start a value; quote it"},
      {"a: }\n", "1:4: line 1: `}` cannot start a value; quote it"},
      {"a: [1, 2\nb: 3\n",
       "2:2: line 2: the `[` of line 1, column 4 needs `,` between items or `]` to close it"},
      {"a: {b: 1\n", "1:4: line 1: the `{` at column 4 needs `,` between items or `}` to close"},
      {"a:\n  b: 'x\n  c: 1\n", "2:6: line 2: the quote at column 6 is never closed"},
      {"a: [1,\n", "1:6: line 1: the text ends inside a `[ ]` or `{ }` left open"},
      {"a:\n  - {", "2:5: line 2: the text ends before the `{` at column 5 is closed"},
      {"key with a very long name that goes on: 1\nand then a line that is longer than forty\n",
       "2:1: line 2: `:` is missing after `and then a line that is longer than fort...`"},
      // Nothing plainer to say: libyaml's problem, its context after it.
      {"a: \"x\\q\"\n",
       "1:6: line 1: found unknown escape character (while parsing a quoted scalar at line 1, "
       "column 4); the line reads"},
      {"a: b\n  c\n  d: e\n", "3:4: line 3: mapping values are not allowed in this context;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.yaml);
    try {
      read_string(c.yaml, "f");
      ADD_FAILURE() << "no error";
    } catch (const YamlError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.substr(0, c.lead.size() + 2), "f:" + std::string(c.lead));
      EXPECT_EQ(what, "f:" + std::to_string(e.mark().line) + ":" +
                          std::to_string(e.mark().column) + ": " + e.message());
      EXPECT_EQ(e.message().find('\n'), std::string::npos);  // one line for the tool
    }
  }
}

TEST(Reader, DeepNestingStopsAtTheLimit) {
  constexpr std::size_t kDeep = 100'000;
  for (auto [open, close] : {std::pair{"[", "]"}, std::pair{"{a: ", "}"}}) {
    std::string text;
    for (std::size_t i = 0; i < kDeep; ++i) text += open;
    for (std::size_t i = 0; i < kDeep; ++i) text += close;
    std::string err = error_of(text);
    EXPECT_NE(err.find("nested deeper than the limit of 1000 levels"), std::string::npos) << err;
    EXPECT_EQ(err.substr(0, 11), "<string>:1:");
  }
  std::string ok(kMaxDepth, '[');
  ok += std::string(kMaxDepth, ']');
  EXPECT_NO_THROW(read_string(ok));
}

TEST(Reader, BigIntegersKeepTheirText) {
  Document d = read_string("a: 123456789012345678901234567890\nb: -0x1_0000_0000_0000_0000\n");
  for (const char* k : {"a", "b"}) {
    const Node* n = d.root().find(k);
    EXPECT_EQ(n->kind(), Kind::Int);
    EXPECT_EQ(n->int_value(), std::nullopt);
  }
  EXPECT_EQ(d.root().find("b")->text(), "-0x1_0000_0000_0000_0000");
}

TEST(Reader, ErrorCarriesFileMarkAndProblem) {
  try {
    read_string("a: 1\nb: [\n", "cfg.yaml");
    FAIL() << "no error";
  } catch (const YamlError& e) {
    EXPECT_EQ(e.file(), "cfg.yaml");
    EXPECT_EQ(e.mark(), (Mark{2, 4}));
    EXPECT_EQ(std::string(e.what()), "cfg.yaml:2:4: " + e.message());
    // The problem stays libyaml's own (Python's loader classes carry it).
    EXPECT_EQ(e.problem(), "did not find expected node content; the line reads \"b: [\"");
    EXPECT_EQ(e.message(),
              "line 2: the text ends before the `[` at column 4 is closed (while parsing a flow "
              "node: did not find expected node content); the line reads \"b: [\"");
  }
}

// Each fault is classed by the step of reading it comes from, and a syntax fault keeps the
// construct it was found in, as YAML loaders report them.
TEST(Reader, FaultsSayTheirStepAndContext) {
  const struct {
    std::string_view yaml;
    YamlStage stage;
    std::string_view context;
    Mark context_mark;
  } cases[] = {
      {"a: [1, 2\n", YamlStage::parser, "while parsing a flow sequence", {1, 4}},
      {"a: b: c\n", YamlStage::scanner, "", {}},
      {"x:\n\t- 1\n", YamlStage::scanner, "while scanning for the next token", {2, 1}},
      {"a: \"x\x01\"\n", YamlStage::reader, "", {}},
      {"a: *x\n", YamlStage::composer, "", {}},
      {"--- a\n--- b\n", YamlStage::composer, "", {}},
      {"a: &x [*x]\n", YamlStage::composer, "", {}},
      {"a: !!python/object x\n", YamlStage::constructor, "", {}},
      {"{[1]: x}\n", YamlStage::constructor, "", {}},
      {"<<: 1\n", YamlStage::constructor, "", {}},
      {"[[[[1]]]]\n", YamlStage::limit, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.yaml);
    try {
      read_string(c.yaml, "<string>", Limits{.max_depth = 3});
      ADD_FAILURE() << "no error";
    } catch (const YamlError& e) {
      EXPECT_EQ(e.stage(), c.stage);
      EXPECT_EQ(e.context(), c.context);
      EXPECT_EQ(e.context_mark(), c.context_mark);
    }
  }
}

// A construct left open is told at where it opens; where the fault was found stays the end of
// the text, as YAML loaders mark it (at the end of the last line when no line break ends it).
TEST(Reader, FaultsKeepWhereTheyWereFound) {
  const struct {
    std::string_view yaml;
    Mark mark, found;
  } cases[] = {
      {"a: [1, 2\n", {1, 4}, {2, 1}},
      {"a: [1, 2", {1, 4}, {1, 9}},
      {"a: \"bc\n", {1, 4}, {2, 1}},
      {"a: b: c\n", {1, 5}, {1, 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.yaml);
    try {
      read_string(c.yaml);
      ADD_FAILURE() << "no error";
    } catch (const YamlError& e) {
      EXPECT_EQ(e.mark(), c.mark);
      EXPECT_EQ(e.found_mark(), c.found);
    }
  }
}

// A text parsed on a second thread reads as it does on one: the same tree, or the same first
// fault, also when the fault comes batches after the parser ran ahead, or batches before.
TEST(Reader, ParsingAheadChangesNothing) {
  std::string many = "items:\n";
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i);
    many += "  - {id: " + n + ", name: &a" + n + " n" + n + ", ref: *a" + n + ", t: !!str " + n +
            ", q: 'x" + n + "'}\n";
  }
  const std::string nested = std::string(1100, '[') + std::string(1100, ']');
  const std::vector<std::string> texts = {
      many,
      many + "broken: 'unterminated\n",  // libyaml's fault, many batches in
      many + "bad: *nowhere\n",          // the reader's own fault, many batches in
      "bad: *nowhere\n" + many,          // the reader stops while the parser is ahead
      many + "long: " + std::string(5000, 'x') + "\n",
      many + "items: 1\n",
      "--- 1\n--- 2\n",
      "a: [1, 2\n",
      "a:\n\tb: 1\n",
      "",
      "a: \xff\n",
      nested,
  };
  Limits one;
  one.max_scalar_bytes = 4096;
  one.parse_ahead_bytes = SIZE_MAX;
  Limits two = one;
  two.parse_ahead_bytes = 0;
  auto outcome = [](const std::string& text, const Limits& limits) {
    try {
      const Document doc = read_string(text, "t.yaml", limits);
      return show(doc.root()) + " duplicates " + std::to_string(doc.duplicates().size());
    } catch (const YamlError& e) {
      return std::string(e.what()) + " | " + e.problem() + " | " + e.context() + " | " +
             std::to_string(static_cast<int>(e.stage()));
    }
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(outcome(text, one), outcome(text, two));
  }
  EXPECT_NE(outcome(texts[4], two).find("longer than the limit of 4096 bytes"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::yaml
