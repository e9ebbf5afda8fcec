// The entry points: what a load prints, what it throws, and the mode it leaves behind.
#include <filesystem>
#include <fstream>
#include <vector>
#include <utility>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/yaml/from_json.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {
namespace {

namespace fs = std::filesystem;
using J = nlohmann::ordered_json;

const char* kValid = R"(
terraform: {terraform_output: /out, terraform_version: '1', corvane_provider: '2', aws_provider: '3',
            tf_cloud: {organization: org, tags: [abc, dec]}}
corvane: {controller_ip: 10.0.0.1, controller_account: '111'}
account_info:
  - account_id: '123'
    regions:
      - {region: us-east-1, vpcs: [{vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, spoke_gw_name: s, transit_gw_name: t}]}
)";

// kValid as JSON.
const char* kValidJson = R"({
    "terraform": {"terraform_output": "/out", "terraform_version": "1", "corvane_provider": "2",
                  "aws_provider": "3", "tf_cloud": {"organization": "org", "tags": ["abc", "dec"]}},
    "corvane": {"controller_ip": "10.0.0.1", "controller_account": "111"},
    "account_info": [{"account_id": "123", "regions": [{"region": "us-east-1", "vpcs": [
      {"vpc_id": "vpc-1", "crvn_cidr": "10.1.0.0/24", "spoke_gw_name": "s",
       "transit_gw_name": "t"}]}]}]})";

// Three independent faults, in three sections.
const char* kThreeFaults = R"(
terraform: {terraform_output: /out, terraform_version: '1', corvane_provider: '2', aws_provider: '3',
            enable_s3_backend: perhaps}
corvane: {controller_ip: 10.0.0.1, controller_account: '111'}
account_info:
  - {account_id: '123', regions: [{region: us-east-9, vpcs: []}]}
tgw:
)";

class TempFile {
 public:
  explicit TempFile(std::string_view text)
      : path_(fs::temp_directory_path() /
              // ctest runs each test as its own process, several at once: the process id keeps
              // their files apart.
              ("tarnwick-loading-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++) +
               ".yaml")) {
    std::ofstream(path_) << text;
  }
  ~TempFile() { fs::remove(path_); }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

TEST(Loading, ValidDocumentLoadsSilently) {
  TempFile file(kValid);
  ::testing::internal::CaptureStdout();
  DiscoveryConfiguration c = load_from_yaml(file.path());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(c.account_info.at(0).regions.at(0).vpcs.at(0).vpc_id, "vpc-1");
  EXPECT_EQ(c.terraform.tf_cloud->tags, R"(["abc", "dec"])");
}

TEST(Loading, FailedLoadPrintsEveryFaultThenRequestsExit) {
  TempFile file(kThreeFaults);
  ::testing::internal::CaptureStdout();
  try {
    load_from_yaml(file.path());
    ADD_FAILURE() << "expected SystemExit";
  } catch (const SystemExit& e) {
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(e.status(), 1);
    ASSERT_EQ(e.cause().errors().size(), 3u);
    EXPECT_EQ(out, e.cause().json() + "\n");
    const J printed = J::parse(out);
    EXPECT_EQ(printed[0]["loc"], J::parse(R"(["terraform", "enable_s3_backend"])"));
    EXPECT_EQ(printed[1]["loc"], J::parse(R"(["account_info", 0, "regions", 0, "region"])"));
    EXPECT_EQ(printed[2]["loc"], J::parse(R"(["tgw"])"));
    EXPECT_EQ(printed[2]["line"], 7);
  }
}

TEST(Loading, NonMappingIsATypeErrorThatLeavesTheModeAlone) {
  BaseModel::set_discovery_only(true);
  for (const char* text : {"", "# only a comment\n", "- a\n- b\n", "just text\n", "42\n"}) {
    yaml::Document doc = yaml::read_string(text);
    ::testing::internal::CaptureStdout();
    try {
      load_from_dict(doc.root(), false);
      ADD_FAILURE() << "expected TypeError for " << text;
    } catch (const TypeError& e) {
      EXPECT_NE(std::string(e.what()).find("config_dict"), std::string::npos);
      EXPECT_NE(std::string(e.what()).find("a mapping"), std::string::npos);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  }
  EXPECT_TRUE(BaseModel::discovery_only());
  EXPECT_THROW(load_from_dict(J::parse("[1, 2]")), TypeError);
}

TEST(Loading, AnEmptyDocumentIsToldFromANullOne) {
  const struct {
    const char* text;
    bool empty;
  } cases[] = {{"", true},        {"# only a comment\n\n", true},
               {"---\n", true},   {"~\n", false},
               {"null\n", false}, {"- a\n", false}};
  for (const auto& c : cases) {
    const LoadResult r = load(Source::text(c.text));
    ASSERT_TRUE(r.not_mapping) << c.text;
    EXPECT_EQ(r.empty_document, c.empty) << c.text;
  }
}

TEST(Loading, EveryLoadSetsTheModeAndKeepsIt) {
  yaml::Document doc = yaml::read_string(kValid);
  load_from_dict(doc.root(), true);
  EXPECT_TRUE(BaseModel::discovery_only());
  load_from_dict(doc.root());
  EXPECT_FALSE(BaseModel::discovery_only());
}

TEST(Loading, FileAndYamlFaultsPassUnprinted) {
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(load_from_yaml("/nonexistent/tarnwick.yaml"), fs::filesystem_error);
  EXPECT_THROW(load_from_yaml(fs::temp_directory_path()), fs::filesystem_error);
  TempFile two("a: 1\n---\nb: 2\n");
  EXPECT_THROW(load_from_yaml(two.path()), yaml::YamlError);
  TempFile bad("a: 'unterminated\n");
  EXPECT_THROW(load_from_yaml(bad.path()), yaml::YamlError);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(Loading, JsonAndYamlInputsGiveTheSameRecord) {
  yaml::Document doc = yaml::read_string(kValid);
  EXPECT_EQ(load_from_dict(doc.root()), load_from_dict(J::parse(kValidJson)));
}

// Every kind of source goes down the same road: the same record, or the same faults (JSON: see
// JsonAndYamlInputsGiveTheSameRecord).
TEST(Loading, EverySourceGivesTheSameResult) {
  for (const char* text : {kValid, kThreeFaults}) {
    TempFile file(text);
    yaml::Document doc = yaml::read_string(text);
    const LoadResult from_text = load(Source::text(text, "t.yaml"));
    for (const LoadResult& other :
         {load(Source::file(file.path())), load(Source::tree(doc.root()))}) {
      EXPECT_EQ(other.config, from_text.config);
      EXPECT_EQ(other.error.has_value(), from_text.error.has_value());
      if (other.error) {
        EXPECT_EQ(other.error->json(), from_text.error->json());
      }
    }
    EXPECT_EQ(from_text.name, "t.yaml");
    EXPECT_EQ(load(Source::file(file.path())).text, text);  // kept for quoting source lines
  }
}

// A valid document of `accounts` accounts with a hundred VPCs each.
std::string many_vpcs(int accounts) {
  std::string text = "terraform: {terraform_output: /o, terraform_version: '1', "
                     "corvane_provider: '2', aws_provider: '3'}\n"
                     "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
                     "account_info:\n";
  for (int a = 0; a < accounts; ++a) {
    text += "  - account_id: '" + std::to_string(100000 + a) + "'\n    regions:\n"
            "      - region: us-east-1\n        vpcs:\n";
    for (int v = 0; v < 100; ++v) {
      const std::string n = std::to_string(a * 100 + v);
      text += "          - {vpc_id: vpc-" + n + ", crvn_cidr: 10." + std::to_string(a % 250) +
              "." + std::to_string(v) + ".0/24, spoke_gw_name: s" + n + ", transit_gw_name: t}\n";
    }
  }
  return text;
}

// A valid document whose first 64 KiB, the most a file's first piece holds, end with a line and
// are a valid document too: a reader that stopped after its first piece would load fewer VPCs.
std::string first_piece_valid() {
  std::string text = many_vpcs(10);
  const std::size_t line_end = text.rfind('\n', 65'536 - 3);
  const std::size_t pad = 65'536 - (line_end + 1);  // a comment line of this many bytes
  return "#" + std::string(pad - 2, ' ') + "\n" + text;
}

// A file read in pieces (its text not kept) gives what its whole text gives; only a document
// with nothing to report is left without its text, which every report would quote.
TEST(Loading, AFileReadInPiecesGivesWhatItsWholeTextGives) {
  const std::string discovery = "terraform: {terraform_output: /o}\naccount_info:\n"
                                "  - {account_id: '1', regions: [{region: us-east-1, vpcs: []}]}\n";
  const std::string comment = "# tarnwick-config: discovery-only\n";
  const std::vector<std::pair<std::string, bool>> cases = {  // text, kept without its text
      {kValid, false},
      {kThreeFaults, true},
      {std::string(kValid) + "alert: {}\nalert: {}\n", true},  // a warning
      {"a: 'unterminated\n", true},
      {"- a\n", true},
      {"", true},
      {comment + discovery, false},  // the first line's mode, read ahead of the parse
      {discovery, true},             // the same document checked as a migration
      // A first line longer than what is read ahead: its mode is read from the whole text.
      {std::string(70'000, ' ') + comment + discovery, false},
      {std::string(70'000, ' ') + comment + kValid, false},  // valid in either mode
      {first_piece_valid(), false},  // more than is read ahead
      {many_vpcs(130), false},   // over 1 MiB: parsed on a second thread
  };
  for (const auto& [text, reported] : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    TempFile file(text);
    const LoadResult whole = load(Source::file(file.path()), {.mode_comment = true});
    const LoadResult pieces =
        load(Source::file(file.path()), {.mode_comment = true, .keep_text = false});
    EXPECT_EQ(pieces.config, whole.config);
    EXPECT_EQ(pieces.error.has_value(), whole.error.has_value());
    if (pieces.error && whole.error) {
      EXPECT_EQ(pieces.error->json(), whole.error->json());
    }
    EXPECT_EQ(pieces.fatal.has_value(), whole.fatal.has_value());
    if (pieces.fatal && whole.fatal) {
      EXPECT_EQ(pieces.fatal->msg, whole.fatal->msg);
    }
    EXPECT_EQ(pieces.warnings.size(), whole.warnings.size());
    EXPECT_EQ(pieces.discovery_only, whole.discovery_only);
    EXPECT_EQ(pieces.name, whole.name);
    EXPECT_EQ(pieces.text, reported ? text : "");
  }
  // A host that does not honour the first-line comment is not switched by it either way.
  TempFile commented(comment + kValid);
  const LoadResult whole = load(Source::file(commented.path()));
  const LoadResult pieces = load(Source::file(commented.path()), {.keep_text = false});
  EXPECT_FALSE(pieces.discovery_only);
  EXPECT_EQ(pieces.config, whole.config);
}

TEST(Loading, StrictDuplicatesAreFaultsAfterTheDocumentsOwn) {
  const std::string text = std::string(kThreeFaults) + "alert: {}\nalert: {}\n";
  const LoadResult lenient = load(Source::text(text));
  ASSERT_EQ(lenient.duplicates.size(), 1u);
  EXPECT_EQ(lenient.error->errors().size(), 3u);
  const LoadResult strict = load(Source::text(text), {.strict_duplicates = true});
  ASSERT_EQ(strict.error->errors().size(), 4u);
  EXPECT_EQ(strict.error->errors()[3].to_json().dump(),
            R"({"loc":["alert"],"msg":"duplicate key 'alert' (first at line 8, column 1); the )"
            R"(later value wins","type":"value_error.duplicate_key","line":9,"column":1})");
  EXPECT_TRUE(strict.warnings.empty());  // said once, as a fault
  ASSERT_EQ(lenient.warnings.size(), 1u);
  EXPECT_EQ(lenient.warnings[0].severity, Severity::warning);
  EXPECT_EQ(lenient.warnings[0].msg, strict.error->errors()[3].msg);
  // A valid document with a repeated key is not valid under strict duplicates.
  const std::string valid = std::string(kValid) + "alert: {}\nalert: {}\n";
  EXPECT_TRUE(load(Source::text(valid)).config);
  EXPECT_FALSE(load(Source::text(valid), {.strict_duplicates = true}).config);
  // A key written twice deep in the document is located by its whole path, indexes as numbers.
  const std::string nested = "account_info:\n  - account_id: '1'\n    account_id: '2'\n";
  const LoadResult deep = load(Source::text(nested), {.discovery_only = true});
  ASSERT_EQ(deep.warnings.size(), 1u);
  EXPECT_EQ(deep.warnings[0].loc, (Loc{"account_info", std::int64_t{0}, "account_id"}));
}

// Each limit lowered through the options refuses a small valid document, naming the figure in
// force; the same document loads under the defaults.
TEST(Loading, LoweredLimitsRefuseWithTheFigureInForce) {
  const char* text = R"(
terraform: {terraform_output: /out, terraform_version: '1', corvane_provider: '2', aws_provider: '3'}
corvane: {controller_ip: 10.0.0.1, controller_account: '111'}
account_info:
  - account_id: '123'
    regions:
      - {region: us-east-1, vpcs: [{vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, spoke_gw_name: &gw s,
                                    transit_gw_name: *gw}]}
alert: {}
alert: {}
)";
  TempFile file(text);
  const J json = J::parse(kValidJson);
  enum class From { Text, File, Json };
  auto run = [&](From from, const LoadOptions& options) {
    switch (from) {
      case From::Text:
        return load(Source::text(text), options);
      case From::File:
        return load(Source::file(file.path()), options);
      default:
        return load(Source::json(json), options);
    }
  };
  struct Case {
    From from;
    yaml::Limits limits;
    const char* message;
  };
  const Case cases[] = {
      {From::Text, {.max_depth = 3}, "collections are nested deeper than the limit of 3 levels"},
      {From::Json, {.max_depth = 3}, "config_dict nests deeper than 3 levels"},
      {From::Text, {.max_document_bytes = 100}, "bytes is larger than the limit of 100 bytes"},
      {From::File, {.max_document_bytes = 100}, "bytes is larger than the limit of 100 bytes"},
      {From::File, {.max_scalar_bytes = 5}, "bytes is longer than the limit of 5 bytes"},
      {From::Text,
       {.min_expansion_budget = 3, .expansion_factor = 0},
       "more than 3 nodes (limit: max(3, 0 x the "},
      {From::Text,
       {.expansion_factor = 0, .min_aliased_text_bytes = 0},
       "more than 0 bytes of text (limit: max(0, 0 x the "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    // A refusal is data, the reader's own error kept for hosts that raise it.
    const LoadResult refused = run(c.from, {.limits = c.limits});
    ASSERT_TRUE(refused.fatal);
    EXPECT_FALSE(refused.config);
    try {
      std::rethrow_exception(refused.cause);
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
    EXPECT_TRUE(run(c.from, {}).config);
  }
  // The record of repeated keys is only cut short, never refused.
  EXPECT_EQ(run(From::Text, {}).duplicates.size(), 1u);
  const LoadResult unrecorded = run(From::Text, {.limits = {.max_duplicate_record_bytes = 0}});
  EXPECT_TRUE(unrecorded.config);
  EXPECT_TRUE(unrecorded.duplicates.empty());
}

TEST(Dumping, EveryFieldInOrderWithTextForAddresses) {
  yaml::Document doc = yaml::read_string(kValid);
  const J d = dump_to_dict(load_from_dict(doc.root()));
  std::vector<std::string> keys;
  for (const auto& [k, v] : d.items()) keys.push_back(k);
  EXPECT_EQ(keys, (std::vector<std::string>{"id", "label", "terraform", "corvane", "account_info",
                                            "alert", "config", "cleanup", "switch_traffic", "aws",
                                            "tgw"}));
  EXPECT_EQ(d["tgw"], J::object());
  EXPECT_EQ(d["aws"], nullptr);
  EXPECT_EQ(d["corvane"]["controller_ip"], "10.0.0.1");
  EXPECT_EQ(d["terraform"]["tf_cloud"]["tags"], R"(["abc", "dec"])");
  EXPECT_EQ(d["alert"]["expect_dest_cidrs"], J::parse(R"(["0.0.0.0/0"])"));
  EXPECT_EQ(d["account_info"][0]["regions"][0]["vpcs"][0]["retain_peering_cidrs"],
            J::parse(R"(["0.0.0.0/0"])"));
}

TEST(Dumping, ADumpIsNotALoadableDocument) {
  // A dump holds every default, and some defaults are not valid input: a null id, a
  // tf_cloud with both workspace keys, an ENV access section listing its other keys, and the
  // absent `tgw` written as {}, which reads as a section missing its keys.
  yaml::Document doc = yaml::read_string(kValid);
  yaml::Document again = yaml::document_from_json(dump_to_dict(load_from_dict(doc.root())));
  try {
    build_document(again.root(), false);
    ADD_FAILURE() << "expected a validation error";
  } catch (const ValidationError& e) {
    std::vector<std::string> locs;
    for (const auto& d : e.errors()) locs.push_back(loc_text(d.loc));
    EXPECT_EQ(locs, (std::vector<std::string>{"id", "terraform.tf_cloud.__root__",
                                              "corvane.tf_controller_access.__root__",
                                              "tgw.tgw_account", "tgw.tgw_role"}));
    EXPECT_EQ(e.errors()[1].msg, "Either workspace_name or tags is allowed");
  }
}

TEST(Dumping, DumpToYamlTouchesNothing) {
  yaml::Document doc = yaml::read_string(kValid);
  DiscoveryConfiguration c = load_from_dict(doc.root());
  TempFile existing("keep me\n");
  dump_to_yaml(c, existing.path());
  std::ifstream in(existing.path());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me\n");
  const fs::path absent = existing.path().string() + ".absent";
  dump_to_yaml(c, absent);
  EXPECT_FALSE(fs::exists(absent));
}

}  // namespace
}  // namespace tarnwick::core
