// Hostile and broken documents, read and built in both modes: each is refused with an error that
// names the fault and where it is, or loads to the right result. Nothing crashes, hangs, or takes
// memory out of proportion to the input.
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "robustness/hostile_base.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {
namespace {

using namespace std::string_literals;
using hostile::base_doc;
using hostile::kDeep;

constexpr std::size_t kHuge = std::size_t{64} << 20;  // under kMaxScalarBytes: it must load
const std::string kVpc = "account_info.0.regions.0.vpcs.0.";

std::string repeat(std::string_view s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string indented(std::string_view lines, std::size_t spaces) {
  std::string out;
  while (!lines.empty()) {
    std::size_t end = lines.find('\n');
    std::string_view line = lines.substr(0, end);
    out.append(spaces, ' ');
    out += line;
    out += '\n';
    lines = end == std::string_view::npos ? std::string_view() : lines.substr(end + 1);
  }
  return out;
}

// Lines added to the VPC (column 13), the account (column 5) or the document (column 1).
std::string with_vpc(std::string_view lines) {
  return base_doc() + indented(lines, 12);
}
std::string with_account(std::string_view lines) {
  return base_doc() + indented(lines, 4);
}
std::string with_top(std::string_view lines) {
  return base_doc() + std::string(lines) + "\n";
}
// VPC items (one per line) before the base's own VPC: the first at line 8, column 11.
std::string with_vpcs_first(const std::vector<std::string>& items,
                            std::string account_id = "'123'") {
  std::string text = base_doc({.account_id = std::move(account_id)});
  std::string lines;
  for (const std::string& item : items) lines += std::string(10, ' ') + item + "\n";
  return text.insert(text.find("        vpcs:\n") + 14, lines);
}

// Ten levels of ten aliases, as one flow sequence: 10^10 nodes if expanded.
std::string laughs_seq() {
  std::string out = "[&l0 [" + repeat("lol, ", 9) + "lol]";
  for (int level = 1; level < 10; ++level) {
    const std::string prev = "*l" + std::to_string(level - 1);
    out += ", &l" + std::to_string(level) + " [" + repeat(prev + ", ", 9) + prev + "]";
  }
  return out + "]";
}

// The same with mappings, shaped like a tag list.
std::string laughs_tags() {
  std::string out = "[&t0 {";
  for (int k = 0; k < 10; ++k) out += (k ? ", k" : "k") + std::to_string(k) + ": lol";
  out += "}";
  for (int level = 1; level < 10; ++level) {
    out += ", &t" + std::to_string(level) + " {";
    for (int k = 0; k < 10; ++k) {
      out += (k ? ", k" : "k") + std::to_string(k) + ": *t" + std::to_string(level - 1);
    }
    out += "}";
  }
  return out + "]";
}

std::string crlf(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '\n' ? "\r\n"s : std::string(1, c);
  return out;
}

std::string cr_only(std::string text) {
  for (char& c : text) c = c == '\n' ? '\r' : c;
  return text;
}

std::string utf16le(std::string_view ascii) {
  std::string out = "\xff\xfe";
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

// ---------------------------------------------------------------------------------------------
// Expected outcomes.

enum class Result { Valid, Invalid, Refused, SameAs };

struct Outcome {
  Result result = Result::Valid;
  // Refused: substrings of the YamlError's text. Invalid: the first errors, as
  // "loc: msg @line:column".
  std::vector<std::string> want = {};
  yaml::Mark at = {};     // Refused: where (column 0: anywhere on that line)
  std::size_t count = 0;  // Invalid: how many errors in all, when `want` lists only the first
  std::string last = "";  // Invalid: the last error, when `want` lists only the first
  std::function<void(const DiscoveryConfiguration&)> check = {};  // Valid
  std::function<void(const ValidationError&)> check_errors = {};  // Invalid: more checks
  std::function<std::string()> reference = {};  // SameAs: a document that must load the same way
};

Outcome refused(yaml::Mark at, std::vector<std::string> want) {
  return {.result = Result::Refused, .want = std::move(want), .at = at};
}
Outcome invalid(std::vector<std::string> want, std::size_t count = 0, std::string last = "") {
  return {.result = Result::Invalid, .want = std::move(want), .count = count, .last = last};
}
Outcome invalid_where(std::function<void(const ValidationError&)> check) {
  return {.result = Result::Invalid, .count = 1, .check_errors = std::move(check)};
}
Outcome valid(std::function<void(const DiscoveryConfiguration&)> check) {
  return {.result = Result::Valid, .check = std::move(check)};
}
Outcome same_as(std::function<std::string()> reference) {
  return {.result = Result::SameAs, .reference = std::move(reference)};
}

const VPCConfig& first_vpc(const DiscoveryConfiguration& c) {
  return c.account_info.at(0).regions.at(0).vpcs.at(0);
}

struct Case {
  std::string name;
  std::function<std::string()> input;  // generated on use: some inputs are tens of megabytes
  Outcome outcome;
  bool large = false;  // memory must stay within a small multiple of the input
  std::optional<Outcome> discovery_only = {};  // when that mode changes the outcome
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

std::string where(const ErrorDetail& e) {
  return loc_text(e.loc) + ": " + e.msg + " @" + std::to_string(e.mark.line) + ":" +
         std::to_string(e.mark.column);
}

// What one load did: refused by the reader, rejected by validation, or the record.
struct Got {
  std::optional<yaml::YamlError> refused;
  std::optional<ValidationError> invalid;
  std::optional<DiscoveryConfiguration> config;
};

Got load(const std::string& text, bool discovery_only) {
  Got got;
  try {
    yaml::Document doc = yaml::read_string(text);
    got.config = build_document(doc.root(), discovery_only);
  } catch (const yaml::YamlError& e) {
    got.refused = e;
  } catch (const ValidationError& e) {
    got.invalid = e;
  }
  return got;
}

std::string describe(const Got& got) {
  if (got.refused) return "refused: "s + got.refused->what();
  if (got.invalid) return "invalid: "s + got.invalid->what();
  return "valid";
}

std::size_t peak_rss_bytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::size_t>(usage.ru_maxrss) * 1024;
}

// Everything a large case holds at once: the text, libyaml's copy (grown by doubling), the node
// and the record, about 4 times the input (10 under AddressSanitizer, whose shadow and quarantine
// add to it). A copy per element or per error would not fit.
#if defined(__SANITIZE_THREAD__)
constexpr std::size_t kLargeMemoryFactor = 0;  // its shadow is several times the program: no bound
#elif defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kLargeMemoryFactor = 16;
#else
constexpr std::size_t kLargeMemoryFactor = 8;
#endif

const std::vector<Case>& cases() {
  static const std::vector<Case> all = [] {
    const std::string digits200 = repeat("1234567890", 20);
    const std::string huge_digits = repeat("9876543210", 10'000);  // 100,000 digits
    return std::vector<Case>{
        // Nesting: refused at the depth limit, at the collection that crosses it.
        {"DeepFlowSequences", [] { return repeat("[", kDeep) + repeat("]", kDeep); },
         refused({1, 1001}, {"nested deeper than the limit of 1000 levels"})},
        {"DeepFlowMappings", [] { return repeat("{a: ", kDeep) + "x" + repeat("}", kDeep); },
         refused({1, 4001}, {"nested deeper than the limit of 1000 levels"})},
        {"DeepBlockSequences", [] { return repeat("- ", kDeep) + "x\n"; },
         refused({1, 2001}, {"nested deeper than the limit of 1000 levels"})},
        {"DeepBlockMappings",
         [] {
           std::string text;
           for (std::size_t i = 0; i <= yaml::kMaxDepth; ++i)
             text += std::string(2 * i, ' ') + "a:\n";
           return text;
         },
         refused({1001, 2001}, {"nested deeper than the limit of 1000 levels"})},
        // The VPC mapping is the 7th level, so gw_zones can open 993 more.
        {"DeepSequenceInGwZones",
         [] { return with_vpc("gw_zones: " + repeat("[", kDeep) + repeat("]", kDeep)); },
         refused({12, 23 + 993}, {"nested deeper than the limit of 1000 levels"})},
        {"DepthLimitItselfIsAccepted",
         [] {
           const std::size_t n = yaml::kMaxDepth - 1;  // under the top-level mapping
           return with_top("x-deep: " + repeat("[", n) + repeat("]", n));
         },
         invalid({"x-deep: extra fields not permitted @12:1"})},
        {"OneLevelPastTheDepthLimit",
         [] {
           const std::size_t n = yaml::kMaxDepth;
           return with_top("x-deep: " + repeat("[", n) + repeat("]", n));
         },
         refused({12, 9 + 999}, {"nested deeper than the limit of 1000 levels"})},

        // Aliases: expansion is refused while reading, wherever the aliases stand.
        {"LaughsInGwZones", [] { return with_vpc("gw_zones: " + laughs_seq()); },
         refused({12, 0}, {"expands through aliases to more than 1000000 nodes"})},
        {"LaughsInSpokeGwTags", [] { return with_vpc("spoke_gw_tags: " + laughs_tags()); },
         refused({12, 0}, {"expands through aliases to more than 1000000 nodes"})},
        {"LaughsUnderAnAccountKey", [] { return with_account("x-laughs: " + laughs_seq()); },
         refused({12, 0}, {"expands through aliases to more than 1000000 nodes"})},
        // Few nodes, but each alias of a long text would be a copy in every record built.
        {"AliasesOfALongText",
         [] {
           return with_vpc("gw_zones: [&z " + std::string(64 << 10, 'z') + repeat(", *z", 4096) +
                           "]");
         },
         refused({12, 0}, {"expands through aliases to more than", "bytes of text"})},
        {"RecursiveAliasInSequence", [] { return with_vpc("gw_zones: &a [*a]"); },
         refused({12, 27}, {"alias *a refers to anchor &a at line 12, column 23",
                            "recursive structures are not allowed"})},
        {"RecursiveAliasInMapping", [] { return with_top("x: &m {y: *m}"); },
         refused({12, 11}, {"alias *m refers to anchor &m at line 12, column 4"})},
        {"DuplicateAnchor", [] { return with_vpc("domain: &d a\nspoke_gw_size: &d b"); },
         refused({13, 28}, {"found duplicate anchor &d; first occurrence at line 12, column 21"})},
        {"UndefinedAlias", [] { return with_vpc("domain: *nowhere"); },
         refused({12, 21}, {"found undefined alias *nowhere"})},

        // One very long scalar: read, kept or rejected like a short one.
        {"HugeScalarUnderAnUndeclaredKey",
         [] { return with_top("x-big: " + std::string(kHuge, 'v')); },
         invalid({"x-big: extra fields not permitted @12:1"}), true},
        {"HugeVpcId", [] { return base_doc({.vpc_id = std::string(kHuge, 'v')}); },
         valid([](const DiscoveryConfiguration& c) {
           EXPECT_EQ(first_vpc(c).vpc_id.size(), kHuge);
           EXPECT_EQ(first_vpc(c).vpc_id.find_first_not_of('v'), std::string::npos);
         }),
         true},
        {"HugeScalarAsANetwork",
         [] { return with_vpc("spoke_routes: [" + std::string(kHuge, 'n') + "]"); },
         invalid({kVpc + "spoke_routes.0: value is not a valid IPv4 network @12:28"}), true},

        // Encoding faults, named with the offending byte where libyaml gives it.
        {"InvalidUtf8InKey",
         [] {
           return with_vpc(
               "dom\xff"
               "ain: x");
         },
         refused({12, 16}, {"invalid leading UTF-8 octet (#xFF)"})},
        {"InvalidUtf8InValue",
         [] {
           return with_vpc(
               "domain: a\xc3\x28"
               "b");
         },
         refused({12, 23}, {"invalid trailing UTF-8 octet (#x28)"})},
        {"OverlongUtf8", [] { return with_vpc("domain: a\xc0\xaf"); },
         refused({12, 22}, {"invalid length of a UTF-8 sequence"})},
        {"Utf8Surrogate", [] { return with_vpc("domain: a\xed\xa0\x80"); },
         refused({12, 22}, {"invalid Unicode character (#xD800)"})},
        {"TruncatedUtf8AtTheEnd", [] { return base_doc() + "x: caf\xc3"; },
         refused({12, 0}, {"incomplete UTF-8 octet sequence"})},
        {"NulByteInValue", [] { return with_vpc("domain: a\0b"s); },
         refused({12, 22}, {"control characters are not allowed (#x00)"})},
        {"NulByteInKey", [] { return with_vpc("dom\0ain: x"s); },
         refused({12, 16}, {"control characters are not allowed (#x00)"})},
        {"DeleteCharacter", [] { return with_vpc("domain: a\x7f"); },
         refused({12, 22}, {"control characters are not allowed (#x7F)"})},
        {"ByteOrderMark", [] { return "\xef\xbb\xbf" + base_doc(); },
         same_as([] { return base_doc(); })},
        {"Utf16WithByteOrderMark", [] { return utf16le(base_doc()); },
         same_as([] { return base_doc(); })},

        // Line ends and indentation.
        {"CrLfLineEnds", [] { return crlf(base_doc()); }, same_as([] { return base_doc(); })},
        {"CrOnlyLineEnds", [] { return cr_only(base_doc()); }, same_as([] { return base_doc(); })},
        {"CrLfKeepsErrorPositions",
         [] { return crlf(with_vpc("encrypt: maybe\nx-extra: 1\nspoke_routes: [10.0.0.1/8]")); },
         same_as(
             [] { return with_vpc("encrypt: maybe\nx-extra: 1\nspoke_routes: [10.0.0.1/8]"); })},
        {"TabIndentation", [] { return base_doc() + "\t    domain: x\n"; },
         refused({12, 1}, {"line 12: a tab cannot indent YAML; use spaces"})},
        {"TabAfterAColon", [] { return with_vpc("domain:\tx"); },
         valid([](const DiscoveryConfiguration& c) { EXPECT_EQ(first_vpc(c).domain, "x"); })},

        // Tags outside the standard set are refused by name, never constructed.
        {"PythonObjectTag",
         [] { return with_vpc("domain: !!python/object/apply:os.system [\"echo hi\"]"); },
         refused({12, 21}, {"tag !!python/object/apply:os.system is not allowed"})},
        {"PythonTagOnAMapping", [] { return with_top("x: !!python/object:os.Popen {args: ls}"); },
         refused({12, 4}, {"tag !!python/object:os.Popen is not allowed"})},
        {"RefTag", [] { return with_vpc("domain: !Ref Name"); },
         refused({12, 21}, {"tag !Ref is not allowed"})},
        {"VerbatimTag", [] { return with_vpc("domain: !<tag:example.com,2000:app/foo> x"); },
         refused({12, 21}, {"tag !<tag:example.com,2000:app/foo> is not allowed"})},
        {"LocalTag", [] { return with_vpc("domain: !x y"); },
         refused({12, 21}, {"tag !x is not allowed"})},

        // Numbers too large for any machine type.
        {"BigIntegerAsVpcId", [=] { return base_doc({.vpc_id = digits200}); },
         valid(
             [=](const DiscoveryConfiguration& c) { EXPECT_EQ(first_vpc(c).vpc_id, digits200); })},
        {"BigHexIntegerAsText", [=] { return with_vpc("gw_zones: [0x" + digits200 + "]"); },
         valid([=](const DiscoveryConfiguration& c) {
           EXPECT_EQ(first_vpc(c).gw_zones, std::vector<std::string>{"0x" + digits200});
         })},
        {"BigIntegerAsAccountId", [=] { return base_doc({.account_id = digits200}); },
         valid([=](const DiscoveryConfiguration& c) {
           EXPECT_EQ(c.account_info.at(0).account_id, digits200);
         })},
        {"BigIntegerAsBoolean", [=] { return with_vpc("encrypt: " + digits200); },
         invalid({kVpc + "encrypt: value could not be parsed to a boolean @12:22"})},
        {"BigIntegerAsNetwork", [=] { return with_vpc("spoke_routes: [" + digits200 + "]"); },
         invalid({kVpc + "spoke_routes.0: value is not a valid IPv4 network @12:28"})},
        // Messages show an integer by value; that must not cost more than linear time.
        {"HugeIntegerInAMessage",
         [=] {
           return base_doc(
               {.terraform_extra = ", tf_cloud: {organization: " + huge_digits + ", tags: [a]}"});
         },
         invalid({"terraform.tf_cloud.__root__: organization must be a string, not integer " +
                  huge_digits + " @1:113"})},
        {"HugeHexIntegerInAMessage",
         [=] {
           return base_doc(
               {.terraform_extra = ", tf_cloud: {organization: 0x" + huge_digits + ", tags: [a]}"});
         },
         invalid({"terraform.tf_cloud.__root__: organization must be a string, not integer 0x" +
                  huge_digits + " @1:113"})},
        {"ExponentsAsText",
         [] { return with_vpc("gw_zones: [1e400, 1.0e400, 1.0e+400, -1.0e+400]"); },
         valid([](const DiscoveryConfiguration& c) {
           EXPECT_EQ(first_vpc(c).gw_zones,
                     (std::vector<std::string>{"1e400", "1.0e400", "1.0e+400", "-1.0e+400"}));
         })},
        {"ExponentsAsBooleans", [] { return with_vpc("encrypt: 1e400\ninspection: 1.0e+400"); },
         invalid({kVpc + "encrypt: value could not be parsed to a boolean @12:22",
                  kVpc + "inspection: value could not be parsed to a boolean @13:25"})},

        // Keys.
        {"KeysThatAreNotStrings",
         [] { return with_top("1: x\ntrue: x\n~: x\n1.5: x\n2001-01-01: x"); },
         invalid({"1: extra fields not permitted @12:1", "true: extra fields not permitted @13:1",
                  "~: extra fields not permitted @14:1", "1.5: extra fields not permitted @15:1",
                  "2001-01-01: extra fields not permitted @16:1"})},
        {"TenThousandUndeclaredKeys",
         [] {
           std::string keys;
           for (int i = 0; i < 10'000; ++i) keys += "k" + std::to_string(i) + ": v\n";
           return with_top(keys);
         },
         invalid({"k0: extra fields not permitted @12:1"}, 10'000,
                 "k9999: extra fields not permitted @10011:1")},
        // Twice the keys, twice the errors: nothing in the build is quadratic in the key count.
        {"TwentyThousandUndeclaredKeysInAVpc",
         [] {
           std::string keys;
           for (int i = 0; i < 20'000; ++i) keys += ", k" + std::to_string(i) + ": v";
           return with_vpcs_first({"- {vpc_id: v2" + keys + "}"});
         },
         invalid({kVpc + "k0: extra fields not permitted @8:26"}, 20'000,
                 kVpc + "k19999: extra fields not permitted @8:" +
                     std::to_string(26 + 10 * 7 + 90 * 8 + 900 * 9 + 9000 * 10 + 9999 * 11))},

        // Each nonconforming VPC is listed with its account's id: a long id is not copied
        // once per VPC.
        {"LongAccountIdInEveryVpcMessage",
         [] {
           std::vector<std::string> vpcs;
           for (int i = 0; i < 2000; ++i) vpcs.push_back("- {vpc_id: v" + std::to_string(i) + "}");
           return with_vpcs_first(vpcs, std::string(64 << 10, '7')) + "config: {}\n";
         },
         invalid_where([](const ValidationError& e) {
           const std::string& msg = e.errors().at(0).msg;
           EXPECT_EQ(loc_text(e.errors().at(0).loc), "config");
           EXPECT_LT(msg.size(), std::size_t{2000 * 200});
           EXPECT_NE(msg.find("\naccount: " + std::string(64, '7') +
                              "..., region: us-east-1, vpc: v1999"),
                     std::string::npos)
               << msg.substr(0, 500);
         }),
         false, valid([](const DiscoveryConfiguration& c) {
           EXPECT_EQ(c.account_info.at(0).regions.at(0).vpcs.size(), 2001u);
         })},
    };
  }();
  return all;
}

class HostileInput : public ::testing::TestWithParam<std::tuple<Case, bool>> {};

TEST_P(HostileInput, RefusedOrRight) {
  const auto& [c, discovery_only] = GetParam();
  const std::size_t rss_before = peak_rss_bytes();
  std::size_t input_size = 0;
  Got got;
  {
    const std::string text = c.input();
    input_size = text.size();
    got = load(text, discovery_only);
  }
  const Outcome& want = discovery_only && c.discovery_only ? *c.discovery_only : c.outcome;
  switch (want.result) {
    case Result::Refused: {
      ASSERT_TRUE(got.refused) << describe(got);
      const std::string what = got.refused->what();
      for (const std::string& s : want.want) EXPECT_NE(what.find(s), std::string::npos) << what;
      EXPECT_EQ(got.refused->mark().line, want.at.line) << what;
      if (want.at.column != 0) {
        EXPECT_EQ(got.refused->mark().column, want.at.column) << what;
      }
      // The text leads with the position, as every reader error does.
      EXPECT_EQ(what.rfind("<string>:" + std::to_string(want.at.line) + ":", 0), 0u) << what;
      break;
    }
    case Result::Invalid: {
      ASSERT_TRUE(got.invalid) << describe(got);
      const auto& errors = got.invalid->errors();
      ASSERT_EQ(errors.size(), want.count ? want.count : want.want.size()) << got.invalid->what();
      for (std::size_t i = 0; i < want.want.size(); ++i) EXPECT_EQ(where(errors[i]), want.want[i]);
      if (!want.last.empty()) {
        EXPECT_EQ(where(errors.back()), want.last);
      }
      if (want.check_errors) want.check_errors(*got.invalid);
      break;
    }
    case Result::Valid:
      ASSERT_TRUE(got.config) << describe(got);
      want.check(*got.config);
      break;
    case Result::SameAs: {
      const Got ref = load(want.reference(), discovery_only);
      EXPECT_EQ(describe(got), describe(ref));
      if (ref.config && got.config) {
        EXPECT_TRUE(*got.config == *ref.config);
      }
      if (ref.invalid && got.invalid) {
        EXPECT_EQ(got.invalid->json(), ref.invalid->json());
      }
      break;
    }
  }
  if (c.large && kLargeMemoryFactor != 0) {
    const std::size_t peak = peak_rss_bytes();
    EXPECT_LE(peak - std::min(peak, rss_before), kLargeMemoryFactor * input_size);
  }
}

INSTANTIATE_TEST_SUITE_P(BothModes, HostileInput,
                         ::testing::Combine(::testing::ValuesIn(cases()), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<HostileInput::ParamType>& info) {
                           return std::get<0>(info.param).name +
                                  (std::get<1>(info.param) ? "_DiscoveryOnly" : "_Migration");
                         });

}  // namespace
}  // namespace tarnwick::core
