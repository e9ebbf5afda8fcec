// Loads running on many threads at once, in both modes: each result equals the same load done
// alone, and the process-wide mode stays what the loads make it.
#include <atomic>
#include <latch>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/yaml/from_json.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {
namespace {

using J = nlohmann::ordered_json;

constexpr int kThreads = 8;
constexpr int kRounds = 150;  // per thread; every round loads one document in one mode

const std::string kTerraform =
    "terraform: {terraform_output: /out, terraform_version: '1', corvane_provider: '2', "
    "aws_provider: '3'}\n";
const std::string kCorvane = "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n";

std::string accounts(const std::string& vpc_extra) {
  return "account_info:\n"
         "  - account_id: '123'\n"
         "    regions:\n"
         "      - region: us-east-1\n"
         "        vpcs:\n"
         "          - {vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, spoke_gw_name: s, "
         "transit_gw_name: t" +
         vpc_extra + "}\n";
}

// Documents whose outcome depends on the mode, and some whose outcome does not.
struct Doc {
  const char* name;
  std::string text;
  std::vector<std::string> migration;  // errors as "loc: msg"; empty: valid
  std::vector<std::string> discovery;
};

const std::vector<Doc>& docs() {
  static const std::vector<Doc> all{
      {"EncryptKeyWithoutEncrypt",
       kTerraform + kCorvane + accounts(", encrypt_key: k"),
       {"account_info.0.regions.0.vpcs.0.encrypt_key: encrypt must be True to set encrypt_key"},
       {}},
      {"NoCorvane", kTerraform + accounts(""), {"corvane: missing corvane"}, {}},
      {"NoTerraformVersions",
       "terraform: {terraform_output: /out}\n" + kCorvane + accounts(", encrypt: true"),
       {"terraform.terraform_version: missing terraform_version attribute",
        "terraform.corvane_provider: missing corvane_provider attribute",
        "terraform.aws_provider: missing aws_provider attribute"},
       {}},
      {"ValidInBoth", kTerraform + kCorvane + accounts(", gw_zones: [a, b]"), {}, {}},
      {"InvalidInBoth",
       kTerraform + kCorvane + accounts(", encrypt: perhaps"),
       {"account_info.0.regions.0.vpcs.0.encrypt: value could not be parsed to a boolean"},
       {"account_info.0.regions.0.vpcs.0.encrypt: value could not be parsed to a boolean"}},
  };
  return all;
}

// What a load gives: the record, or the error report.
struct Outcome {
  std::optional<DiscoveryConfiguration> config;
  std::string report;  // ValidationError::json(); empty when valid
};

Outcome build_alone(const yaml::Node& root, bool discovery_only) {
  try {
    return {build_document(root, discovery_only), ""};
  } catch (const ValidationError& e) {
    return {std::nullopt, e.json()};
  }
}

std::vector<std::string> brief(const std::string& report) {
  std::vector<std::string> out;
  for (const J& e : J::parse(report)) {
    std::string loc;
    for (const J& part : e["loc"]) {
      loc += (loc.empty() ? "" : ".") + (part.is_string() ? part.get<std::string>() : part.dump());
    }
    out.push_back(loc + ": " + e["msg"].get<std::string>());
  }
  return out;
}

// The four ways in: build_document on a node, load_from_dict on a node (prints and throws
// SystemExit), load_from_dict on JSON, load on the text (records built while reading).
enum class Entry { Build, LoadNode, LoadJson, ReadText };

Outcome run(Entry entry, const yaml::Node& root, const J& json, const std::string& text,
            bool discovery_only) {
  if (entry == Entry::Build) return build_alone(root, discovery_only);
  if (entry == Entry::ReadText) {
    LoadResult read = load(Source::text(text), {.discovery_only = discovery_only});
    if (read.error) return {std::nullopt, read.error->json()};
    return {std::move(read.config), ""};
  }
  try {
    return {entry == Entry::LoadNode ? load_from_dict(root, discovery_only)
                                     : load_from_dict(json, discovery_only),
            ""};
  } catch (const SystemExit& e) {
    if (e.status() != 1) return {std::nullopt, "unexpected status " + std::to_string(e.status())};
    return {std::nullopt, e.cause().json()};
  }
}

// Plain JSON with the same content, for the JSON entry; positions are not part of its report.
J to_json(const yaml::Node& n) {
  switch (n.kind()) {
    case yaml::Kind::Map: {
      J o = J::object();
      for (const yaml::Entry& e : n.entries()) o[e.key->text()] = to_json(*e.value);
      return o;
    }
    case yaml::Kind::Seq: {
      J a = J::array();
      for (const yaml::Node* item : n.items()) a.push_back(to_json(*item));
      return a;
    }
    case yaml::Kind::Bool:
      return n.bool_value();
    default:
      return n.text();
  }
}

// Every document loaded alone, in both modes, from its node tree and from JSON.
struct Reference {
  Outcome node[2];  // by mode
  Outcome json[2];
  J dump[2];
};

// The loads alone: the mode matters exactly where the table says.
std::vector<Reference> references() {
  std::vector<Reference> refs(docs().size());
  for (std::size_t d = 0; d < docs().size(); ++d) {
    const Doc& doc = docs()[d];
    SCOPED_TRACE(doc.name);
    yaml::Document parsed = yaml::read_string(doc.text);
    const J json = to_json(parsed.root());
    for (bool mode : {false, true}) {
      Reference& r = refs[d];
      r.node[mode] = build_alone(parsed.root(), mode);
      yaml::Document from_json = yaml::document_from_json(json);
      r.json[mode] = build_alone(from_json.root(), mode);
      const auto& want = mode ? doc.discovery : doc.migration;
      EXPECT_EQ(
          r.node[mode].report.empty() ? std::vector<std::string>{} : brief(r.node[mode].report),
          want);
      if (r.node[mode].config) r.dump[mode] = dump_to_dict(*r.node[mode].config);
    }
  }
  return refs;
}

TEST(ConcurrentLoads, EveryResultEqualsTheSameLoadDoneAlone) {
  const std::vector<Reference> refs = references();
  ASSERT_FALSE(HasFailure());

  std::atomic<int> mismatches{0};
  std::vector<std::string> first_mismatch(kThreads);
  std::latch start(kThreads);
  auto worker = [&](int t) {
    // Every thread owns its documents.
    std::vector<yaml::Document> parsed;
    std::vector<J> json;
    for (const Doc& doc : docs()) {
      parsed.push_back(yaml::read_string(doc.text));
      json.push_back(to_json(parsed.back().root()));
    }
    start.arrive_and_wait();
    for (int round = 0; round < kRounds; ++round) {
      // Neighbouring threads run different documents in different modes at the same moment.
      const std::size_t d = static_cast<std::size_t>(t + round) % docs().size();
      const bool mode = (t + round / 3) % 2 == 1;
      const auto entry = static_cast<Entry>((t + round) % 4);
      if (round % 5 == 0) parsed[d] = yaml::read_string(docs()[d].text);  // the reader too
      const Outcome got = run(entry, parsed[d].root(), json[d], docs()[d].text, mode);
      const Outcome& want = entry == Entry::LoadJson ? refs[d].json[mode] : refs[d].node[mode];
      bool same = got.report == want.report && got.config.has_value() == want.config.has_value() &&
                  (!got.config || *got.config == *want.config);
      if (same && got.config) same = dump_to_dict(*got.config) == refs[d].dump[mode];
      if (!same && mismatches.fetch_add(1) == 0) {
        first_mismatch[t] = std::string(docs()[d].name) +
                            (mode ? " discovery-only" : " migration") + ": " +
                            (got.report.empty() ? "valid" : got.report);
      }
    }
  };
  ::testing::internal::CaptureStdout();  // failed loads print their reports
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (std::thread& th : threads) th.join();
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(mismatches.load(), 0);
  for (const std::string& m : first_mismatch) {
    if (!m.empty()) ADD_FAILURE() << m;
  }
  EXPECT_NE(printed.find("\"loc\""), std::string::npos);
}

// Outside a build the mode is the process-wide value of the latest load; inside one, the
// build's own, whatever other threads set meanwhile.
TEST(ConcurrentLoads, ProcessWideModeIsThatOfTheLatestLoads) {
  const Doc& doc = docs()[0];  // valid only in discovery-only mode
  for (bool final_mode : {true, false, true}) {
    std::latch start(kThreads), last(kThreads);
    std::atomic<int> wrong{0};
    auto worker = [&](int t) {
      yaml::Document parsed = yaml::read_string(doc.text);
      start.arrive_and_wait();
      for (int round = 0; round < kRounds / 3; ++round) {
        const bool mode = (t + round) % 2 == 1;
        if (build_alone(parsed.root(), mode).config.has_value() != mode) wrong.fetch_add(1);
        // Between loads the process-wide value may be either; reading it must not race.
        [[maybe_unused]] const bool seen = BaseModel::discovery_only();
      }
      last.arrive_and_wait();  // every thread's final load is in the same mode
      if (build_alone(parsed.root(), final_mode).config.has_value() != final_mode) {
        wrong.fetch_add(1);
      }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(BaseModel::discovery_only(), final_mode);
  }
  // A fault before the build (a root that is no mapping) leaves the value alone.
  yaml::Document list = yaml::read_string("[a]");
  EXPECT_THROW(build_document(list.root(), false), TypeError);
  EXPECT_TRUE(BaseModel::discovery_only());
}

}  // namespace
}  // namespace tarnwick::core
