// The record frame on records made for the purpose, so every mechanism is tested on its own.
#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/core/sections/vocabulary.hpp"

#include <atomic>
#include <span>
#include <thread>

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"
#include "tarnwick/core/field_catalog.hpp"

namespace tarnwick::core {
namespace {

using testing::brief;
using testing::build_fails;
using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;
namespace t = types;

struct Inner : BaseModel {
  std::string name;
  bool flag = false;
  static constexpr auto fields() {
    return table<Inner>("Inner", "", field("name", &Inner::name, t::_str, required),
                        field("flag", &Inner::flag, t::boolean));
  }
};

// A record check that refuses a mapping holding the key "forbidden".
const yaml::Node& refuse_forbidden(const yaml::Node& raw) {
  if (raw.find("forbidden") != nullptr) throw ValueError("forbidden is forbidden");
  return raw;
}

struct Probe : ModeIdConfig {
  std::string first;
  std::optional<std::string> second;
  std::optional<std::string> guarded;  // always-check: needs `first` to be valid
  std::optional<std::string> joined;   // list on input, text after its check
  CIDRList nets = _default_network();
  OrderedMap<std::string, std::string> regions;
  std::optional<Inner> inner;
  std::vector<Inner> inners;
  std::string literal = "A";

  static std::optional<std::string> check_second(std::optional<std::string> v) {
    if (v && *v == "bad") throw ValueError("second must not be bad");
    return v;
  }
  static std::optional<std::string> check_guarded(std::optional<std::string> v,
                                                  const Values<Probe>& values,
                                                  const FieldInfo& field) {
    if (values.get(&Probe::first) == nullptr)
      throw ValueError(std::string(field.name) + ": no first");
    if (values.get(&Probe::id) != nullptr && !values.get(&Probe::id)->has_value()) return "no id";
    return v;
  }
  static std::optional<std::string> join(std::optional<std::vector<std::string>> v) {
    if (!v) return std::nullopt;
    if (v->empty()) throw ValueError("empty");
    std::string out;
    for (const auto& s : *v) out += (out.empty() ? "" : "+") + s;
    return out;
  }
  static std::string mode_word(std::string v, const BuildContext& context) {
    return v + (context.discovery_only ? "-discovery" : "-migration");
  }

  static constexpr std::array<std::string_view, 2> kChoices{"A", "B"};
  static constexpr auto fields() {
    using R = Probe;
    return table<R>(
        "Probe", "", record_check(&refuse_forbidden, "refuse_forbidden"),
        ModeIdConfig::inherited_fields(),
        field("first", &R::first, t::_str, required, check(&R::mode_word, "mode_word")),
        field("second", &R::second, t::optional(t::_str), check(&R::check_second, "check_second")),
        field("guarded", &R::guarded, t::optional(t::_str),
              check_always(&R::check_guarded, "check_guarded")),
        field("joined", &R::joined, t::optional(t::list(t::_str)), check(&R::join, "join")),
        field("nets", &R::nets, t::CIDRList),
        field("regions", &R::regions, t::mapping(t::RegionName, t::_str)),
        field("inner", &R::inner, t::optional(t::record<Inner>())),
        field("inners", &R::inners, t::list(t::record<Inner>())),
        field("literal", &R::literal, t::Literal(kChoices)));
  }
};

TEST(RecordFrame, BuildsFieldsInOrderWithDefaults) {
  Probe p = build_ok<Probe>("first: ' x '\njoined: [a, ' b ']\ninner: {name: n}\n");
  EXPECT_EQ(p.first, "x-migration");
  EXPECT_EQ(p.second, std::nullopt);
  EXPECT_EQ(p.guarded, "no id");  // the always-check ran on the default
  EXPECT_EQ(p.joined, "a+b");
  ASSERT_EQ(p.nets.size(), 1u);
  EXPECT_EQ(p.nets[0].str(), "0.0.0.0/0");
  ASSERT_TRUE(p.inner.has_value());
  EXPECT_EQ(p.inner->name, "n");
  EXPECT_EQ(p.literal, "A");
}

TEST(RecordFrame, ErrorsInFieldOrderThenUndeclaredKeysInDocumentOrder) {
  const char* text =
      "zeta: 1\n"
      "literal: a\n"
      "second: bad\n"
      "inners: [{name: ok}, {flag: maybe, extra: 1}, 7]\n"
      "alpha: 2\n"
      "nets: [10.0.0.0/8, 10.0.0.1/8]\n";
  EXPECT_EQ(errors_of<Probe>(text),
            (Errors{
                "first: field required",
                "second: second must not be bad",
                "guarded: guarded: no first",
                "nets.1: value is not a valid IPv4 network: 10.0.0.1/8 has host bits set (did you "
                "mean 10.0.0.0/8?)",
                "inners.1.name: field required",
                "inners.1.flag: value could not be parsed to a boolean",
                "inners.1.extra: extra fields not permitted",
                "inners.2: value is not a valid dict",
                "literal: unexpected value; permitted: 'A', 'B'",
                "zeta: extra fields not permitted",
                "alpha: extra fields not permitted",
            }));
}

TEST(RecordFrame, RecordCheckRejectionIsTheOnlyErrorOfItsRecord) {
  EXPECT_EQ(errors_of<Probe>("forbidden: 1\nfirst: [not, a, string]\nnope: 2\n"),
            (Errors{"__root__: forbidden is forbidden"}));
}

TEST(RecordFrame, MappingKeysAndValuesAreLocatedAtTheKey) {
  EXPECT_EQ(errors_of<Probe>("first: x\nregions:\n  us-east-1: tgw-1\n  us-east-9: tgw-2\n"
                             "  eu-west-1: [tgw-3]\n"),
            (Errors{
                "regions.us-east-9.__key__: unexpected value; permitted: 'af-south-1', "
                "'ap-east-1', 'ap-northeast-1', 'ap-northeast-2', 'ap-northeast-3', 'ap-south-1', "
                "'ap-southeast-1', 'ap-southeast-2', 'ap-southeast-3', 'ca-central-1', "
                "'eu-central-1', 'eu-north-1', 'eu-south-1', 'eu-west-1', 'eu-west-2', "
                "'eu-west-3', 'me-south-3', 'sa-east-1', 'us-east-1', 'us-east-2', 'us-west-1', "
                "'us-west-2'",
                "regions.eu-west-1: str type expected",
            }));
}

TEST(RecordFrame, ChecksSeeOnlyEarlierValidFields) {
  // `first` failed, so the always-check of `guarded` finds it missing from values.
  EXPECT_EQ(errors_of<Probe>("first: [x]\n"),
            (Errors{"first: str type expected", "guarded: guarded: no first"}));
  // A null id is a value that is present in values.
  EXPECT_EQ(errors_of<Probe>("id: vpc_migration\nfirst: x\n"), Errors{});
  EXPECT_EQ(build_ok<Probe>("first: x\n").guarded, "no id");
}

TEST(RecordFrame, TypeChangingCheckRejectsAndRewrites) {
  EXPECT_EQ(errors_of<Probe>("first: x\njoined: []\n"), (Errors{"joined: empty"}));
  EXPECT_EQ(errors_of<Probe>("first: x\njoined: [a, [b]]\n"),
            (Errors{"joined.1: str type expected"}));
  EXPECT_EQ(build_ok<Probe>("first: x\njoined: null\n").joined, std::nullopt);
}

TEST(RecordFrame, NullIsOnlyForOptionalTypes) {
  EXPECT_EQ(errors_of<Probe>("first: x\nnets: null\ninner: null\ninners: [null]\nliteral: ~\n"),
            (Errors{"nets: none is not an allowed value", "inners.0: none is not an allowed value",
                    "literal: none is not an allowed value"}));
}

TEST(RecordFrame, InheritedFieldsComeFirstWithTheirChecks) {
  EXPECT_EQ(errors_of<Probe>("first: x\nid: other\n"),
            (Errors{"id: id must be one of ['vpc_migration', 'vpc_discovery']"}));
  EXPECT_EQ(errors_of<Probe>("first: x\nid: null\n"),
            (Errors{"id: id must be one of ['vpc_migration', 'vpc_discovery']"}));
  EXPECT_EQ(build_ok<Probe>("first: x\nid: '  vpc_discovery  '\n").id, "vpc_discovery");
  auto fields = nlohmann::ordered_json::array();
  table_of<Probe>.each([&](const auto& row) { fields.push_back(row.key); });
  EXPECT_EQ(
      fields.dump(),
      R"(["id","label","first","second","guarded","joined","nets","regions","inner","inners","literal"])");
}

TEST(RecordFrame, FactoryDefaultsAreFreshPerRecord) {
  Probe a = build_ok<Probe>("first: x\n");
  Probe b = build_ok<Probe>("first: y\n");
  a.nets.push_back(IPv4Network());
  EXPECT_EQ(b.nets.size(), 1u);
}

TEST(RecordFrame, ErrorJsonCarriesLocationsContextAndPositions) {
  ValidationError e = build_fails<Probe>("first: x\ninners:\n  - name: ok\n    flag: 2\nzz: é\n");
  EXPECT_EQ(e.json(), R"([
  {
    "loc": [
      "inners",
      0,
      "flag"
    ],
    "msg": "value could not be parsed to a boolean",
    "type": "type_error.bool",
    "line": 4,
    "column": 11
  },
  {
    "loc": [
      "zz"
    ],
    "msg": "extra fields not permitted",
    "type": "value_error.extra",
    "line": 5,
    "column": 1
  }
])");
  EXPECT_STREQ(
      e.what(),
      "2 validation errors for Probe\ninners -> 0 -> flag\n  value could not be parsed to a "
      "boolean (type=type_error.bool)\nzz\n  extra fields not permitted "
      "(type=value_error.extra)");
}

TEST(RecordFrame, MissingKeyIsPlacedAtItsMappingAndNonAsciiIsEscaped) {
  ValidationError e = build_fails<Probe>("\n\n  {\"zé\": 1}\n");
  EXPECT_EQ(brief(e), (Errors{"first: field required", "guarded: guarded: no first",
                              "zé: extra fields not permitted"}));
  EXPECT_EQ(e.errors()[0].mark, (yaml::Mark{3, 3}));
  EXPECT_NE(e.json().find(R"("z\u00e9")"), std::string::npos);
}

TEST(RecordFrame, MissingKeyIsPlacedAtTheKeyItsRecordIsWrittenUnder) {
  const struct {
    const char* yaml;
    yaml::Mark mark;
  } cases[] = {
      {"first: x\ninner:\n  flag: true\n", {2, 1}},         // the key, not its first key
      {"first: x\ninner: {flag: true}\n", {2, 1}},
      {"first: x\ninners:\n  - flag: true\n", {3, 5}},      // a list item has no key: itself
      {"\nsecond: y\ninner: {name: n}\n", {2, 1}},          // the top record: its mapping
  };
  for (const auto& c : cases) {
    ValidationError e = build_fails<Probe>(c.yaml);
    ASSERT_FALSE(e.errors().empty()) << c.yaml;
    EXPECT_EQ(e.errors()[0].type, "value_error.missing") << c.yaml;
    EXPECT_EQ(e.errors()[0].mark, c.mark) << c.yaml;
  }
}

TEST(RecordFrame, DumpsEveryFieldInOrder) {
  Probe p = build_ok<Probe>("first: x\nregions: {us-west-2: tgw-9}\ninners: [{name: a}]\n");
  EXPECT_EQ(dump(p).dump(),
            R"({"id":null,"label":null,"first":"x-migration","second":null,"guarded":"no id",)"
            R"("joined":null,"nets":["0.0.0.0/0"],"regions":{"us-west-2":"tgw-9"},"inner":null,)"
            R"("inners":[{"name":"a","flag":false}],"literal":"A"})");
}

TEST(RecordFrame, EachBuildReadsTheModeItStartedWith) {
  BaseModel::set_discovery_only(true);
  EXPECT_TRUE(BaseModel::discovery_only());
  yaml::Document doc = yaml::read_string("first: x\n");
  EXPECT_EQ(build<Probe>(doc.root(), BuildContext{false}).first, "x-migration");
  EXPECT_TRUE(BaseModel::discovery_only());  // a build neither reads nor sets the process-wide value
  BaseModel::set_discovery_only(false);

  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, mode = i % 2 == 0] {
      for (int k = 0; k < 200; ++k) {
        if (build<Probe>(doc.root(), BuildContext{mode}).first != (mode ? "x-discovery" : "x-migration")) ++wrong;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
}

struct Conversion {
  const char* yaml;
  const char* expected;  // the stored text, or "!" followed by the error message
};

// One field of each converting type, each fed a table of inputs.
struct Scalars : BaseModel {
  std::optional<std::string> s;
  std::optional<std::string> trimmed;
  std::optional<std::string> name;
  std::optional<std::string> digits;
  std::optional<bool> b;
  std::optional<IPv4Address> addr;
  std::optional<IPv4Network> net;
  static constexpr auto fields() {
    using R = Scalars;
    return table<R>("Scalars", "", field("s", &R::s, t::optional(t::string)),
                    field("trimmed", &R::trimmed, t::optional(t::_str)),
                    field("name", &R::name, t::optional(t::GWName)),
                    field("digits", &R::digits, t::optional(t::digit_string)),
                    field("b", &R::b, t::optional(t::boolean)),
                    field("addr", &R::addr, t::optional(t::ipv4_address)),
                    field("net", &R::net, t::optional(t::ipv4_network)));
  }
};

void PrintTo(const Conversion& c, std::ostream* os) {
  *os << c.yaml;
}

class ConversionTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(ConversionTest, StoresOrRejects) {
  const Conversion& c = GetParam();
  yaml::Document doc = yaml::read_string(c.yaml);
  std::string got;
  try {
    Scalars r = build<Scalars>(doc.root(), BuildContext{false});
    got = dump(r).dump();
  } catch (const ValidationError& e) {
    got = "!" + e.errors().at(0).msg;
  }
  const std::string expected = c.expected;
  if (expected.starts_with("!")) {
    EXPECT_EQ(got, expected) << c.yaml;
  } else {
    EXPECT_NE(got.find(expected), std::string::npos) << c.yaml << " gave " << got;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConversionTest,
    ::testing::Values(
        // Strings keep what the author wrote, whatever YAML resolved it to.
        Conversion{"s: 0123456701", R"("s":"0123456701")"},
        Conversion{"s: 1_000", R"("s":"1_000")"}, Conversion{"s: yes", R"("s":"yes")"},
        Conversion{"s: 1.50", R"("s":"1.50")"}, Conversion{"s: 2024-01-01", R"("s":"2024-01-01")"},
        Conversion{"s: 123456789012345678901234567890", R"("s":"123456789012345678901234567890")"},
        Conversion{"s: !!int '0x1F'", R"("s":"31")"}, Conversion{"s: '  a  '", R"("s":"  a  ")"},
        // An explicit !!bool is the value, as Python writes it, not the word used for it.
        Conversion{"s: !!bool yes", R"("s":"True")"}, Conversion{"s: !!bool 'off'", R"("s":"False")"},
        Conversion{"s: [a]", "!str type expected"}, Conversion{"s: {a: 1}", "!str type expected"},
        // !!binary holds its decoded bytes when they are UTF-8 text.
        Conversion{"s: !!binary aGVsbG8=", R"("s":"hello")"},
        Conversion{"trimmed: !!binary |\n  IGNhZsOpIA==", R"("trimmed":"café")"},
        Conversion{"s: !!binary /w==", "!str type expected"},      // 0xFF
        Conversion{"s: !!binary wK8=", "!str type expected"},      // an overlong '/'
        Conversion{"s: !!binary 7aCA", "!str type expected"},      // a surrogate
        Conversion{"trimmed: '  us-west-2  '", R"("trimmed":"us-west-2")"},
        Conversion{"trimmed: '   '", R"("trimmed":"")"},
        Conversion{"trimmed: \"\\u00a0x\\u3000\\t\"", R"("trimmed":"x")"},
        Conversion{"trimmed: \"\\r\\vx\\f\\r\\x1c\\x20\"", R"("trimmed":"x")"},
        Conversion{"trimmed: \"\\x0ex\\x1b\"", R"("trimmed":"\u000ex\u001b")"},  // not blanks
        Conversion{"name: '  12345678901234567890123456789012345678901234567890  '",
                   R"("name":"12345678901234567890123456789012345678901234567890")"},
        Conversion{"name: 123456789012345678901234567890123456789012345678901",
                   "!ensure this value has at most 50 characters"},
        Conversion{"name: ééééééééééééééééééééééééééééééééééééééééééééééééé",
                   R"("name":")"},  // 50 characters, 100 bytes
        Conversion{"digits: ' 012345678901 '", R"("digits":"012345678901")"},
        Conversion{"digits: 0123456701", R"("digits":"0123456701")"},
        Conversion{"digits: 1_000", "!string does not match regex \"^[0-9]+$\""},
        Conversion{"digits: '12-34'", "!string does not match regex \"^[0-9]+$\""},
        Conversion{"digits: ''", "!string does not match regex \"^[0-9]+$\""},
        Conversion{"digits: -12", "!string does not match regex \"^[0-9]+$\""},
        // Booleans: YAML's words, plus the integers and words a loose reader accepts.
        Conversion{"b: yes", R"("b":true)"}, Conversion{"b: Off", R"("b":false)"},
        Conversion{"b: 1", R"("b":true)"}, Conversion{"b: 0", R"("b":false)"},
        Conversion{"b: 'Y'", R"("b":true)"}, Conversion{"b: 'f'", R"("b":false)"},
        Conversion{"b: 'TRUE'", R"("b":true)"}, Conversion{"b: !!bool false", R"("b":false)"},
        Conversion{"b: 2", "!value could not be parsed to a boolean"},
        Conversion{"b: maybe", "!value could not be parsed to a boolean"},
        Conversion{"b: ' yes'", "!value could not be parsed to a boolean"},
        Conversion{"b: 1.0", "!value could not be parsed to a boolean"},
        Conversion{"b: 2024-01-01", "!value could not be parsed to a boolean"},
        Conversion{"b: [true]", "!value could not be parsed to a boolean"},
        // Addresses and networks: text only, strict.
        Conversion{"addr: 10.1.2.3", R"("addr":"10.1.2.3")"},
        Conversion{"addr: 010.1.2.3", "!value is not a valid IPv4 address"},
        Conversion{"addr: 167772161", "!value is not a valid IPv4 address"},
        Conversion{"net: 0.0.0.0/0", R"("net":"0.0.0.0/0")"},
        Conversion{"net: 10.1.0.0/255.255.0.0", R"("net":"10.1.0.0/16")"},
        Conversion{"net: 10.1.2.3", R"("net":"10.1.2.3/32")"},
        Conversion{"net: 10.0.0.1/16",
                   "!value is not a valid IPv4 network: 10.0.0.1/16 has host bits set (did you "
                   "mean 10.0.0.0/16?)"},
        Conversion{"net: 10.0.0.0/33", "!value is not a valid IPv4 network"},
        Conversion{"net: ' 10.0.0.0/8'", "!value is not a valid IPv4 network"},
        Conversion{"net: 10.0.0/8", "!value is not a valid IPv4 network"}));

// A field of every kind, for the one description of the types.
hints::Meant first_is_a(std::string_view given, std::span<const std::string_view> choices) {
  if (given != "first") return {};
  return {"`first` is `" + std::string(choices[0]) + "`", choices[0]};
}

struct Described : BaseModel {
  std::string text, trimmed, digits, name, xs;
  bool flag = false;
  std::optional<IPv4Address> addr;
  CIDRList nets;
  std::string pick = "A", plain = "A";
  std::optional<Inner> maybe, section;
  OrderedMap<std::string, std::vector<Inner>> by_choice;
  std::vector<bool> flags;
  std::vector<Inner> inners;

  static constexpr std::array<std::string_view, 2> kChoices{"A", "B"};
  static constexpr t::Pattern kXs{"^x+$", +[](std::string_view s) { return !s.empty(); }};
  static constexpr auto fields() {
    using R = Described;
    return table<R>(
        "Described", "", field("text", &R::text, t::string), field("trimmed", &R::trimmed, t::_str),
        field("digits", &R::digits, t::digit_string), field("name", &R::name, t::GWName),
        field("xs", &R::xs, t::ConStr{.max_length = 3, .pattern = &kXs}),
        field("flag", &R::flag, t::boolean), field("addr", &R::addr, t::optional(t::ipv4_address)),
        field("nets", &R::nets, t::CIDRList),
        field("pick", &R::pick, t::Literal(kChoices, "Pick", &first_is_a)),
        field("plain", &R::plain, t::Literal(kChoices)),
        field("maybe", &R::maybe, t::optional(t::record<Inner>())),
        field("section", &R::section, t::or_empty(t::record<Inner>())),
        field("by_choice", &R::by_choice,
              t::mapping(t::Literal(kChoices), t::list(t::record<Inner>()))),
        field("flags", &R::flags, t::list(t::boolean)),
        field("inners", &R::inners, t::list(t::record<Inner>())));
  }
};

const TypeInfo& type_of(std::string_view key) {
  const TypeInfo* out = nullptr;
  table_of<Described>.each([&](const auto& row) {
    if (row.key == key) out = &row.type_info();
  });
  return *out;
}

TEST(TypeDescription, EveryKindInWordsWithItsParts) {
  struct Case {
    std::string_view key, label, record, alias;
    bool absent_empty;
  };
  for (const Case& c : {
           Case{"text", "text", "", "", false},
           Case{"trimmed", "text", "", "_str", false},
           Case{"xs", "text of at most 3 characters matching `^x+$`", "", "", false},
           Case{"digits", "digits", "", "", false},
           Case{"name", "text of at most 50 characters", "", "GWName", false},
           Case{"flag", "boolean", "", "", false},
           Case{"addr", "IPv4 address or null", "", "", false},
           Case{"nets", "list of IPv4 network", "", "", false},
           Case{"pick", "one of A, B", "", "Pick", false},
           Case{"plain", "one of A, B", "", "", false},
           Case{"maybe", "Inner or null", "Inner", "", false},
           Case{"section", "Inner or null", "Inner", "", true},
           Case{"by_choice", "mapping of one of A, B to list of Inner", "Inner", "", false},
           Case{"flags", "list of boolean", "", "", false},
           Case{"inners", "list of Inner", "Inner", "", false},
       }) {
    const TypeInfo& type = type_of(c.key);
    EXPECT_EQ(type.label(), c.label) << c.key;
    const TypeInfo* nested = type.nested_record();
    EXPECT_EQ(nested ? nested->record_name() : "", c.record) << c.key;
    EXPECT_EQ(type.alias, c.alias) << c.key;
    EXPECT_EQ(type.absent_empty, c.absent_empty) << c.key;
  }
  const TypeInfo& mapping = type_of("by_choice");
  EXPECT_EQ(mapping.key().choices.size(), 2u);
  EXPECT_EQ(mapping.value().kind, TypeKind::list);
  EXPECT_EQ(type_of("name").max_length, 50u);
  EXPECT_TRUE(type_of("name").strip);
  EXPECT_FALSE(type_of("text").strip);
}

TEST(TypeDescription, TheCatalogReadsChoicesAndBooleansThroughTheParts) {
  struct Case {
    std::string_view key;
    std::size_t choices;
    bool list, keyed, boolean;
  };
  for (const Case& c : {
           Case{"flag", 0, false, false, true},
           Case{"flags", 0, false, false, false},  // a list of booleans is no boolean
           Case{"pick", 2, false, false, false},
           Case{"by_choice", 2, false, true, false},  // the keys' choices; the values' record
           Case{"inners", 0, true, false, false},
           Case{"nets", 0, false, false, false},  // a list of nothing an editor offers
           Case{"section", 0, false, false, false},
       }) {
    FieldEntry f;
    read_type(type_of(c.key), f);
    EXPECT_EQ(f.type, type_of(c.key).label()) << c.key;
    EXPECT_EQ(f.choices.size(), c.choices) << c.key;
    EXPECT_EQ(f.list, c.list) << c.key;
    EXPECT_EQ(f.keyed, c.keyed) << c.key;
    EXPECT_EQ(f.boolean, c.boolean) << c.key;
  }
}

TEST(TypeDescription, AnAbsentSectionDumpsEmptyAndHasNoDefaultInTheSchema) {
  const Described absent = build_ok<Described>("flag: true\n");
  const auto dumped = dump(absent);
  EXPECT_EQ(dumped["maybe"], nullptr);
  EXPECT_EQ(dumped["section"], nlohmann::ordered_json::object());
  EXPECT_EQ(dump(build_ok<Described>("section: null\n"))["section"],
            nlohmann::ordered_json::object());
  EXPECT_EQ(dump(build_ok<Described>("section: {name: n}\n"))["section"].dump(),
            R"({"name":"n","flag":false})");
  const auto schema = record_schema<Described>(nullptr)["properties"];
  EXPECT_FALSE(schema["section"].contains("default"));
  EXPECT_EQ(schema["flags"]["default"], nlohmann::ordered_json::array());
  EXPECT_EQ(schema["section"]["anyOf"], schema["maybe"]["anyOf"]);  // null allowed alike
}

TEST(TypeDescription, ALiteralsOwnHintComesBeforeSpelling) {
  struct Case {
    std::string_view yaml, hint, fix;
  };
  for (const Case& c : {
           Case{"pick: first", "`first` is `A`", "A"},
           Case{"pick: b", "did you mean `B`?", "B"},  // no own hint: spelling decides
           Case{"plain: first", "", ""},               // no own hint at all
           Case{"plain: a", "did you mean `A`?", "A"},
       }) {
    const ValidationError e = build_fails<Described>(c.yaml);
    ASSERT_EQ(e.errors().size(), 1u) << c.yaml;
    const ErrorDetail& fault = e.errors()[0];
    EXPECT_EQ(fault.hint, c.hint) << c.yaml;
    EXPECT_EQ(fault.fix ? fault.fix->text : "", c.fix) << c.yaml;
  }
}

TEST(OrderedMap, LaterValueWinsAndKeepsThePlace) {
  OrderedMap<std::string, std::string> m;
  for (int i = 0; i < 40; ++i) m.set("k" + std::to_string(i), "v");  // beyond the indexed size
  m.set("k3", "w");
  m.set("k0", "z");
  EXPECT_EQ(m.size(), 40u);
  EXPECT_EQ(m.begin()->second, "z");
  EXPECT_EQ(*m.find("k3"), "w");
  EXPECT_EQ(m.find("k40"), nullptr);
}

}  // namespace
}  // namespace tarnwick::core
