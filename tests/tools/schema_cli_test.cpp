// `tarnwick-config schema` run as a process, the schema file the build writes, and the help text.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/run_tool.hpp"
#include "tarnwick/core/schema.hpp"

namespace {

namespace fs = std::filesystem;
using J = nlohmann::ordered_json;

using tarnwick::testing::Outcome;
using tarnwick::testing::slurp;

fs::path scratch(const std::string& name) {
  return fs::temp_directory_path() /
         ("tarnwick-schema-cli-" + std::to_string(::getpid()) + "-" + name);
}

Outcome run(const std::string& args) {
  return tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, args);
}

const std::string& expected_text() {
  static const std::string text = tarnwick::core::document_schema().dump(2) + "\n";
  return text;
}

TEST(SchemaCli, PrintsTheSchemaIndentedByTwo) {
  const Outcome r = run("schema");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, expected_text());
  EXPECT_EQ(r.out.rfind("{\n  \"$schema\": ", 0), 0u);
  EXPECT_EQ(J::parse(r.out).at("definitions").size(), 15u);
  EXPECT_EQ(run("schema --output -").out, expected_text());
}

TEST(SchemaCli, WritesTheSchemaIntoAFile) {
  const fs::path dir = scratch("dir");
  fs::create_directories(dir);
  const fs::path file = dir / "s.json";
  std::ofstream(file) << "stale";
  const Outcome r = run("schema --output '" + file.string() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(slurp(file), expected_text());
  EXPECT_FALSE(fs::exists(dir / "s.json.partial"));
  fs::remove_all(dir);
}

TEST(SchemaCli, UnwritableOutputIsExitTwo) {
  const fs::path missing = scratch("no-such-dir") / "s.json";
  const Outcome r = run("schema -o '" + missing.string() + "'");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("tarnwick-config: error: cannot write ", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1);  // one line
}

// The file the build writes (and installs) is the tool's own output.
TEST(SchemaCli, BuiltSchemaFileMatchesTheTool) {
  EXPECT_EQ(slurp(TARNWICK_SCHEMA_FILE), expected_text());
}

TEST(SchemaCli, HelpDocumentsCommandsOutputsAndExitStatus) {
  const Outcome r = run("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* needle :
       {"check", "dump", "schema", "standard output", "standard error", "JSON Schema", "draft-07",
        "indented by 2", "Exit status", "  0  ", "  1  ", "  2  ", "--format text"}) {
    EXPECT_NE(r.out.find(needle), std::string::npos) << needle << "\n" << r.out;
  }
  const Outcome sub = run("schema --help");
  EXPECT_EQ(sub.status, 0);
  EXPECT_NE(sub.out.find("--output"), std::string::npos) << sub.out;
  EXPECT_NE(sub.out.find("standard output"), std::string::npos) << sub.out;
}

}  // namespace
