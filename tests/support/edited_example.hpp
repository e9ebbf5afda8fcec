// Documents made from examples/full.yaml by text edits, written to scratch files: for the
// tool's process tests (check --fix, diff).
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/run_tool.hpp"

namespace tarnwick::testing {

using Edits = std::vector<std::pair<std::string, std::string>>;

inline const std::string& full_example() {
  static const std::string text =
      slurp(std::filesystem::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml");
  return text;
}

// The text with each edit's first occurrence replaced; an edit that finds nothing fails the test.
inline std::string edited(std::string text, const Edits& edits) {
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

// A file in the temporary folder holding `text`, removed with the object.
struct TempFile {
  std::filesystem::path path;
  TempFile(const std::string& text, const char* name)
      : path(std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-" + name)) {
    std::ofstream(path, std::ios::binary) << text;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { std::filesystem::remove(path); }
  std::string quoted() const { return "'" + path.string() + "'"; }
};

}  // namespace tarnwick::testing
