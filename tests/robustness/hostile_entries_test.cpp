// Hostile files and values given to the entry points: each fails with the right kind of
// exception, naming the fault.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#include "robustness/hostile_base.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {
namespace {

namespace fs = std::filesystem;
using hostile::base_doc;
using hostile::kDeep;

struct EntryCase {
  std::string name;
  std::function<void()> call;
  std::function<void(const std::exception&)> expect;  // the exception must be of this kind
};

void PrintTo(const EntryCase& c, std::ostream* os) {
  *os << c.name;
}

template <class E>
std::function<void(const std::exception&)> throws(std::vector<std::string> want,
                                                  std::optional<std::errc> code = std::nullopt) {
  return [want, code](const std::exception& e) {
    const auto* typed = dynamic_cast<const E*>(&e);
    ASSERT_NE(typed, nullptr) << "wrong exception type: " << e.what();
    for (const std::string& s : want)
      EXPECT_NE(std::string(e.what()).find(s), std::string::npos) << e.what();
    if constexpr (std::is_same_v<E, fs::filesystem_error>) {
      if (code) {
        EXPECT_EQ(typed->code(), std::make_error_code(*code)) << e.what();
      }
    }
  };
}

fs::path scratch_dir() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("tarnwick-hostile-" + std::to_string(::getpid()));
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

fs::path scratch_file(const std::string& name, std::string_view text) {
  fs::path p = scratch_dir() / name;
  std::ofstream(p, std::ios::binary) << text;
  return p;
}

class HostileEntry : public ::testing::TestWithParam<EntryCase> {
 protected:
  static void TearDownTestSuite() { fs::remove_all(scratch_dir()); }
};

TEST_P(HostileEntry, ThrowsTheRightKind) {
  const EntryCase& c = GetParam();
  ::testing::internal::CaptureStdout();
  try {
    c.call();
    ADD_FAILURE() << "no exception";
  } catch (const std::exception& e) {
    c.expect(e);
  }
  // Only a failed validation prints; these faults never reach it.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, HostileEntry,
    ::testing::Values(
        EntryCase{"EmptyFile", [] { load_from_yaml(scratch_file("empty.yaml", "")); },
                  throws<TypeError>({"config_dict must be a mapping", "null"})},
        EntryCase{"CommentsOnly", [] { load_from_yaml(scratch_file("c.yaml", "# nothing\n")); },
                  throws<TypeError>({"config_dict must be a mapping"})},
        EntryCase{"DirectoryAsFile", [] { load_from_yaml(scratch_dir()); },
                  throws<fs::filesystem_error>({"cannot read configuration file"},
                                               std::errc::is_a_directory)},
        EntryCase{
            "MissingFile", [] { load_from_yaml(scratch_dir() / "absent.yaml"); },
            throws<fs::filesystem_error>({"absent.yaml"}, std::errc::no_such_file_or_directory)},
        // Opens fine but every read fails, even for root.
        EntryCase{
            "FileThatFailsToRead", [] { load_from_yaml("/proc/self/mem"); },
            throws<fs::filesystem_error>({"cannot read configuration file"}, std::errc::io_error)},
        EntryCase{"ReaderFaultFromAFile",
                  [] { load_from_yaml(scratch_file("tab.yaml", "a:\n\tb: 1\n")); },
                  throws<yaml::YamlError>({"tab.yaml:2:1: "})},
        EntryCase{"DeepJson",
                  [] {
                    nlohmann::ordered_json deep = nlohmann::ordered_json::array();
                    for (std::size_t i = 0; i < kDeep; ++i) {
                      deep = nlohmann::ordered_json::array({std::move(deep)});
                    }
                    load_from_dict(nlohmann::ordered_json{{"x", std::move(deep)}});
                  },
                  throws<std::invalid_argument>({"nests deeper than 1000 levels"})}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return info.param.name; });

TEST(HostileFile, UnreadableFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads any file whatever its mode";
  const fs::path p = scratch_file("locked.yaml", base_doc());
  ::chmod(p.c_str(), 0);
  try {
    load_from_yaml(p);
    ADD_FAILURE() << "no exception";
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::make_error_code(std::errc::permission_denied));
    EXPECT_EQ(e.path1(), p);
  }
  fs::remove(p);
}

}  // namespace
}  // namespace tarnwick::core
