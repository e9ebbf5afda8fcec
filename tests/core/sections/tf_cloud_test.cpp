#include "tarnwick/core/sections/tf_cloud.hpp"

#include <ostream>

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

TEST(TfCloudConfig, WorkspaceByName) {
  EXPECT_EQ(dump(build_ok<TfCloudConfig>("{organization: ' o ', workspace_name: w}")).dump(),
            R"({"organization":"o","workspace_name":"w","tags":null})");
  // Blanks count as set (the record check does not trim), then the field trims them away.
  EXPECT_EQ(build_ok<TfCloudConfig>("{organization: '  ', workspace_name: w}").organization, "");
}

TEST(TfCloudConfig, TagsAreStoredAsAsciiJsonText) {
  EXPECT_EQ(dump(build_ok<TfCloudConfig>("{organization: o, tags: [abc, dec]}")).dump(),
            R"({"organization":"o","workspace_name":null,"tags":"[\"abc\", \"dec\"]"})");
  const std::pair<const char*, const char*> cases[] = {
      {"[' a ', b]", R"(["a", "b"])"},
      {R"(['a"b', 'c\d'])", R"(["a\"b", "c\\d"])"},
      {"[\"\u00e9\", \"\U0001F600\"]", R"(["\u00e9", "\ud83d\ude00"])"},
  };
  for (const auto& [tags, text] : cases) {
    EXPECT_EQ(build_ok<TfCloudConfig>(std::string("{organization: o, tags: ") + tags + "}").tags,
              text);
  }
}

struct TfCloudCase {
  const char* yaml;
  Errors expected;
};
void PrintTo(const TfCloudCase& c, std::ostream* os) {
  *os << c.yaml;
}

class TfCloudErrorsTest : public ::testing::TestWithParam<TfCloudCase> {};

TEST_P(TfCloudErrorsTest, FirstFailingRuleIsTheOnlyError) {
  EXPECT_EQ(errors_of<TfCloudConfig>(GetParam().yaml), GetParam().expected);
}

const char* kNoOrg = "__root__: Missing organization name";
const char* kNoChoice = "__root__: Required workspace_name or tags atttribute to be defined";
const char* kBoth = "__root__: Either workspace_name or tags is allowed";
const char* kNoWorkspace = "__root__: Missing workspace_name";
const char* kEmptyTag = "__root__: Empty tag not allowed";

INSTANTIATE_TEST_SUITE_P(
    Precedence, TfCloudErrorsTest,
    ::testing::Values(TfCloudCase{"{}", {kNoOrg}}, TfCloudCase{"{workspace_name: w}", {kNoOrg}},
                      TfCloudCase{"{organization: null, workspace_name: w}", {kNoOrg}},
                      TfCloudCase{"{organization: '', tags: [a], workspace_name: w}", {kNoOrg}},
                      TfCloudCase{"{organization: o, colour: red}", {kNoChoice}},
                      TfCloudCase{"{organization: o, workspace_name: w, tags: [a]}", {kBoth}},
                      TfCloudCase{"{organization: o, workspace_name: null, tags: [a]}", {kBoth}},
                      TfCloudCase{"{organization: o, workspace_name: w, tags: null}", {kBoth}},
                      TfCloudCase{"{organization: o, workspace_name: null}", {kNoWorkspace}},
                      TfCloudCase{"{organization: o, workspace_name: ''}", {kNoWorkspace}},
                      TfCloudCase{"{organization: o, tags: [a, '']}", {kEmptyTag}},
                      TfCloudCase{"{organization: o, tags: [a, null]}", {kEmptyTag}},
                      TfCloudCase{"{organization: o, tags: []}",
                                  {"tags: tags list cannot be empty"}},
                      TfCloudCase{"{organization: o, workspace_name: w, colour: red}",
                                  {"colour: extra fields not permitted"}}));

// Values of the wrong kind: refused by the record check with what was given, never a crash.
INSTANTIATE_TEST_SUITE_P(
    WrongKinds, TfCloudErrorsTest,
    ::testing::Values(
        TfCloudCase{"{organization: o, tags: abc}",
                    {"__root__: tags must be a list of strings, not string 'abc'"}},
        TfCloudCase{"{organization: o, tags: {a: b}}",
                    {"__root__: tags must be a list of strings, not mapping {'a': 'b'}"}},
        TfCloudCase{"{organization: o, tags: null}",
                    {"__root__: tags must be a list of strings, not null None"}},
        TfCloudCase{"{organization: 42, tags: [a]}",
                    {"__root__: organization must be a string, not integer 42"}},
        TfCloudCase{"{organization: o, workspace_name: true}",
                    {"__root__: workspace_name must be a string, not boolean True"}},
        TfCloudCase{"{organization: o, tags: [a, 1.5]}",
                    {"__root__: a tag must be a string, not float 1.5"}},
        TfCloudCase{"{organization: [o], workspace_name: w}", {"organization: str type expected"}},
        TfCloudCase{"{organization: o, tags: [{k: v}]}", {"tags.0: str type expected"}}));

}  // namespace
}  // namespace tarnwick::core
