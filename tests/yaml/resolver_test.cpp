#include "tarnwick/yaml/resolver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace tarnwick::yaml {
namespace {

struct Big {};    // an integer beyond 64 bits
struct Fails {};  // has the form but no value, or does not fit the explicit tag

using Value = std::variant<std::monostate, bool, std::int64_t, double, Big, Fails>;

struct Case {
  std::string_view text;
  Kind kind;
  Value value = {};
  std::optional<StandardTag> tag = std::nullopt;  // explicit tag; none: an untagged plain scalar
};

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
using I = std::int64_t;

// Expectations checked against the Python YAML loader the implicit rules come from.
// clang-format off
const Case kCases[] = {
    // booleans: exactly these spellings; y/n and mixed case stay strings
    {"yes", Kind::Bool, true}, {"Yes", Kind::Bool, true}, {"YES", Kind::Bool, true},
    {"no", Kind::Bool, false}, {"No", Kind::Bool, false}, {"NO", Kind::Bool, false},
    {"true", Kind::Bool, true}, {"True", Kind::Bool, true}, {"TRUE", Kind::Bool, true},
    {"false", Kind::Bool, false}, {"False", Kind::Bool, false}, {"FALSE", Kind::Bool, false},
    {"on", Kind::Bool, true}, {"On", Kind::Bool, true}, {"ON", Kind::Bool, true},
    {"off", Kind::Bool, false}, {"Off", Kind::Bool, false}, {"OFF", Kind::Bool, false},
    {"y", Kind::Str}, {"n", Kind::Str}, {"Y", Kind::Str}, {"tRUE", Kind::Str}, {"oN", Kind::Str},
    {"yes!", Kind::Str},
    // null
    {"", Kind::Null}, {"~", Kind::Null}, {"null", Kind::Null}, {"Null", Kind::Null},
    {"NULL", Kind::Null}, {"nUll", Kind::Str}, {"~~", Kind::Str}, {"none", Kind::Str},
    // integers: decimal, octal, binary, hex, base 60, with underscores and signs
    {"0", Kind::Int, I{0}}, {"-0", Kind::Int, I{0}}, {"+0", Kind::Int, I{0}},
    {"+12", Kind::Int, I{12}}, {"1_000", Kind::Int, I{1000}}, {"0123", Kind::Int, I{83}},
    {"00", Kind::Int, I{0}}, {"0_", Kind::Int, I{0}}, {"0__7", Kind::Int, I{7}},
    {"0b101", Kind::Int, I{5}}, {"-0b11", Kind::Int, I{-3}}, {"0x_1F", Kind::Int, I{31}},
    {"0x1F_", Kind::Int, I{31}}, {"0xff", Kind::Int, I{255}}, {"1:30", Kind::Int, I{90}},
    {"-1:30", Kind::Int, I{-90}}, {"1_:30", Kind::Int, I{90}}, {"1:7", Kind::Int, I{67}},
    {"190:20:30", Kind::Int, I{685230}}, {"9223372036854775807", Kind::Int, kMax},
    {"-9223372036854775808", Kind::Int, kMin}, {"-0x8000000000000000", Kind::Int, kMin},
    {"9223372036854775808", Kind::Int, Big{}}, {"-9223372036854775809", Kind::Int, Big{}},
    {"0x8000000000000000", Kind::Int, Big{}}, {"99999999999999999999999", Kind::Int, Big{}},
    {"0b1111111111111111111111111111111111111111111111111111111111111111", Kind::Int, Big{}},
    {"1:2:3:4:5:6:7:8:9:10:11:12:13", Kind::Int, Big{}},
    {"0b_", Kind::Int, Fails{}}, {"-0x__", Kind::Int, Fails{}},
    {"09", Kind::Str}, {"0o17", Kind::Str}, {"0b", Kind::Str}, {"0x", Kind::Str},
    {"0b2", Kind::Str}, {"0xG", Kind::Str}, {"1:60", Kind::Str}, {"1:3_0", Kind::Str},
    {"0:0", Kind::Str}, {"1:", Kind::Str}, {"-", Kind::Str}, {"+", Kind::Str},
    {"+-1", Kind::Str}, {"1 000", Kind::Str}, {"1_000a", Kind::Str},
    // floats: a dot is required, an exponent needs its sign
    {"1.0e+3", Kind::Float, 1000.0}, {"1.", Kind::Float, 1.0}, {"1._", Kind::Float, 1.0},
    {"0.", Kind::Float, 0.0}, {"1__.__", Kind::Float, 1.0}, {".5", Kind::Float, 0.5},
    {"-1.5", Kind::Float, -1.5}, {"+1.5", Kind::Float, 1.5}, {"1.2e-01", Kind::Float, 0.12},
    {"1.e+5", Kind::Float, 100000.0}, {"1_2.3_4", Kind::Float, 12.34},
    {"1:30.5", Kind::Float, 90.5}, {"0:30.5", Kind::Float, 30.5}, {"1:30.", Kind::Float, 90.0},
    {"1:0:0.5", Kind::Float, 3600.5}, {"190:20:30.15", Kind::Float, 30.15 + 1200.0 + 684000.0},
    {".inf", Kind::Float, kInf}, {".Inf", Kind::Float, kInf}, {".INF", Kind::Float, kInf},
    {"-.inf", Kind::Float, -kInf}, {"+.inf", Kind::Float, kInf}, {".nan", Kind::Float, kNan},
    {".NaN", Kind::Float, kNan}, {".NAN", Kind::Float, kNan}, {"1.0e+400", Kind::Float, kInf},
    {"-1.0e+400", Kind::Float, -kInf}, {"1.0e-400", Kind::Float, 0.0},
    {"1.0e-310", Kind::Float, 1.0e-310},
    {"3.14159265358979323846", Kind::Float, 3.14159265358979323846},
    {"1e3", Kind::Str}, {"1.0e3", Kind::Str}, {"12e+5", Kind::Str}, {"1.0e", Kind::Str},
    {"1.0e+", Kind::Str},
    {"._1", Kind::Str}, {".", Kind::Str}, {"-.5", Kind::Str}, {"+.5", Kind::Str},
    {"-.nan", Kind::Str}, {".iNf", Kind::Str}, {"1.0.0", Kind::Str}, {"12:60.0", Kind::Str},
    {"1,5", Kind::Str},
    // timestamps: a date alone needs two-digit month and day, a date with a time does not
    {"2001-12-14", Kind::Timestamp}, {"2001-12-14t21:59:43.10-05:00", Kind::Timestamp},
    {"2001-12-14 21:59:43.10 -5", Kind::Timestamp}, {"2001-12-14T21:59:43Z", Kind::Timestamp},
    {"2001-12-14 21:59:43 Z", Kind::Timestamp}, {"2001-12-14\t21:59:43", Kind::Timestamp},
    {"2001-1-1 1:00:00", Kind::Timestamp}, {"2001-12-14 21:59:43.10+05:30", Kind::Timestamp},
    {"2001-12-14 21:59:43.", Kind::Timestamp}, {"2000-02-29", Kind::Timestamp},
    {"2001-1-1", Kind::Str}, {"2001-12-1421:59:43", Kind::Str}, {"01-12-14", Kind::Str},
    {"2001-12-14 21:59:43.10 +5:3", Kind::Str}, {"2001-12-14 21:59", Kind::Str},
    {"2001-12-14x", Kind::Str}, {"20011-12-14", Kind::Str},
    {"2001-02-29", Kind::Timestamp, Fails{}}, {"0000-01-01", Kind::Timestamp, Fails{}},
    {"2001-13-01", Kind::Timestamp, Fails{}}, {"2001-12-14 24:00:00", Kind::Timestamp, Fails{}},
    {"2001-12-14 21:59:60", Kind::Timestamp, Fails{}},
    {"2001-12-14 21:59:43 +24", Kind::Timestamp, Fails{}},
    // merge and value markers are strings unless a mapping key merges
    {"<<", Kind::Str}, {"=", Kind::Str}, {"<", Kind::Str},
    // explicit tags: the tag decides, by its constructor's rules
    {"yes", Kind::Str, {}, StandardTag::Str}, {"12", Kind::Str, {}, StandardTag::Str},
    {"12", Kind::Int, I{12}, StandardTag::Int}, {"0x10", Kind::Int, I{16}, StandardTag::Int},
    {"1e3", Kind::Int, Fails{}, StandardTag::Int}, {"abc", Kind::Int, Fails{}, StandardTag::Int},
    {"", Kind::Int, Fails{}, StandardTag::Int}, {"0o17", Kind::Int, Fails{}, StandardTag::Int},
    {"1", Kind::Float, 1.0, StandardTag::Float}, {"1e3", Kind::Float, 1000.0, StandardTag::Float},
    {"-.5", Kind::Float, -0.5, StandardTag::Float}, {".INF", Kind::Float, kInf, StandardTag::Float},
    {"-.Inf", Kind::Float, -kInf, StandardTag::Float}, {"1:30", Kind::Float, 90.0, StandardTag::Float},
    {"012", Kind::Float, 12.0, StandardTag::Float}, {"0x10", Kind::Float, Fails{}, StandardTag::Float},
    {"inf", Kind::Float, Fails{}, StandardTag::Float}, {"1e", Kind::Float, Fails{}, StandardTag::Float},
    {"TRUE", Kind::Bool, true, StandardTag::Bool}, {"tRUE", Kind::Bool, true, StandardTag::Bool},
    {"Off", Kind::Bool, false, StandardTag::Bool}, {"y", Kind::Bool, Fails{}, StandardTag::Bool},
    {"", Kind::Null, {}, StandardTag::Null}, {"~", Kind::Null, {}, StandardTag::Null},
    {"foo", Kind::Null, Fails{}, StandardTag::Null}, {"2001-1-1", Kind::Timestamp, {}, StandardTag::Timestamp},
    {"hello", Kind::Timestamp, Fails{}, StandardTag::Timestamp},
    {"2001-02-30", Kind::Timestamp, Fails{}, StandardTag::Timestamp},
    {"aGVsbG8=", Kind::Str, {}, StandardTag::Binary}, {"aGVs\nbG8=", Kind::Str, {}, StandardTag::Binary},
    {"aGVsbG8", Kind::Str, Fails{}, StandardTag::Binary}, {"a=b=", Kind::Str, Fails{}, StandardTag::Binary},
    {"=", Kind::Str, {}, StandardTag::Value}, {"x", Kind::Str, Fails{}, StandardTag::Seq},
};
// clang-format on

TEST(Resolver, Table) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message()
                 << "text \"" << c.text << "\" tag " << (c.tag ? tag_short(*c.tag) : "(plain)"));
    ResolvedScalar r = c.tag ? resolve_tagged(*c.tag, c.text) : resolve_plain(c.text);
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.ok(), !std::holds_alternative<Fails>(c.value)) << r.error;
    if (auto* b = std::get_if<bool>(&c.value)) {
      EXPECT_EQ(r.boolean, *b);
    }
    if (auto* i = std::get_if<std::int64_t>(&c.value)) {
      EXPECT_FALSE(r.big);
      EXPECT_EQ(r.integer, *i);
    }
    if (std::holds_alternative<Big>(c.value)) {
      EXPECT_TRUE(r.big);
    }
    if (auto* d = std::get_if<double>(&c.value)) {
      if (std::isnan(*d)) {
        EXPECT_TRUE(std::isnan(r.real));
      } else {
        EXPECT_EQ(r.real, *d);
        EXPECT_EQ(std::signbit(r.real), std::signbit(*d));
      }
    }
  }
}

TEST(Resolver, TagsBesidesTheKindsOwn) {
  EXPECT_EQ(resolve_plain("<<").tag, StandardTag::Merge);
  EXPECT_EQ(resolve_plain("=").tag, StandardTag::Str);
  EXPECT_EQ(resolve_tagged(StandardTag::Binary, "aGk=").tag, StandardTag::Binary);
  EXPECT_EQ(resolve_tagged(StandardTag::Merge, "<<").tag, StandardTag::Merge);
  EXPECT_EQ(resolve_plain("-0.0").real, 0.0);
  EXPECT_TRUE(std::signbit(resolve_plain("-0.0").real));
}

TEST(Resolver, TagUris) {
  EXPECT_EQ(tag_from_uri("tag:yaml.org,2002:int"), StandardTag::Int);
  EXPECT_EQ(tag_from_uri("tag:yaml.org,2002:omap"), StandardTag::Omap);
  EXPECT_EQ(tag_from_uri("tag:yaml.org,2002:value"), StandardTag::Value);
  EXPECT_EQ(tag_from_uri("tag:yaml.org,2002:python/object:x"), std::nullopt);
  EXPECT_EQ(tag_from_uri("tag:yaml.org,2002:"), std::nullopt);
  EXPECT_EQ(tag_from_uri("!int"), std::nullopt);
  EXPECT_EQ(tag_from_uri("tag:example.com,2000:int"), std::nullopt);
  // Each tag's three forms agree: its URI reads back as it, and its short form is !! and the name.
  for (int i = 0; i <= static_cast<int>(StandardTag::Value); ++i) {
    const auto tag = static_cast<StandardTag>(i);
    const std::string uri(tag_uri(tag));
    EXPECT_EQ(tag_from_uri(uri), tag) << uri;
    EXPECT_EQ(std::string(tag_short(tag)), "!!" + uri.substr(uri.rfind(':') + 1)) << uri;
  }
}

TEST(Resolver, KindsInWords) {
  const std::pair<Kind, std::string_view> rows[] = {
      {Kind::Null, "a null"},          {Kind::Bool, "a boolean"},   {Kind::Int, "an integer"},
      {Kind::Float, "a float"},        {Kind::Str, "a string"},     {Kind::Timestamp, "a timestamp"},
      {Kind::Seq, "a sequence"},       {Kind::Map, "a mapping"}};
  for (const auto& [kind, words] : rows) {
    EXPECT_EQ(article_kind(kind), words);
    EXPECT_EQ(words.substr(words.find(' ') + 1), kind_name(kind));
  }
}

}  // namespace
}  // namespace tarnwick::yaml
