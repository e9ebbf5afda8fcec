// Files and standard input: read whole, or in pieces while they are parsed.
#include "tarnwick/yaml/reader.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "support/show_node.hpp"

namespace tarnwick::yaml {
namespace {

using testing::show;

class ReaderFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("tarnwick-reader-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path write(const std::string& name, const std::string& text) {
    std::filesystem::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::filesystem::path dir_;
};

// A file read in pieces is held to the size limit by what is read, not only by its size when
// it was opened: one that grows past the limit meanwhile is refused, not read on.
TEST_F(ReaderFiles, PiecesOfAFileGrownPastTheLimitAreRefused) {
  const std::string text = std::string(70'000, '#') + "\na: 1\n";
  const std::filesystem::path p = write("grows.yaml", text);
  Limits limits;
  limits.max_document_bytes = text.size() + 10;
  std::optional<FilePieces> pieces = FilePieces::open(p, limits);
  ASSERT_TRUE(pieces.has_value());
  EXPECT_FALSE(pieces->whole());
  std::ofstream(p, std::ios::app) << "b: " << std::string(100, 'x') << "\n";
  EXPECT_THROW(read_pieces(*pieces, p.string(), nullptr, limits), YamlError);
  limits.max_document_bytes = text.size();  // too large already: read whole, which says why
  EXPECT_FALSE(FilePieces::open(p, limits).has_value());
}

TEST_F(ReaderFiles, ReadFile) {
  std::filesystem::path p = write("c.yaml", "a: [1, 2]\n");
  Document d = read_file(p);
  EXPECT_EQ(d.name(), p.string());
  EXPECT_EQ(show(d.root()), "{\"a\": [1, 2]}");
  std::filesystem::path bad = write("bad.yaml", "a: [\n");
  try {
    read_file(bad);
    FAIL() << "no error";
  } catch (const YamlError& e) {
    EXPECT_EQ(std::string(e.what()).rfind(bad.string() + ":1:4: ", 0), 0u) << e.what();
  }
}

TEST_F(ReaderFiles, ReadFileSystemFaults) {
  struct Case {
    std::filesystem::path path;
    std::errc code;
  };
  for (const Case& c : {Case{dir_ / "missing.yaml", std::errc::no_such_file_or_directory},
                        Case{dir_, std::errc::is_a_directory}}) {
    try {
      read_file(c.path);
      ADD_FAILURE() << "no error for " << c.path;
    } catch (const std::filesystem::filesystem_error& e) {
      EXPECT_EQ(e.code(), std::make_error_code(c.code));
      EXPECT_EQ(e.path1(), c.path);
    }
  }
}

TEST_F(ReaderFiles, ReadStdin) {
  std::filesystem::path p = write("in.yaml", "from: stdin\n");
  int saved = ::dup(STDIN_FILENO);
  FILE* f = std::fopen(p.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ::dup2(::fileno(f), STDIN_FILENO);
  std::string got, err;
  try {
    Document d = read_stdin();
    got = show(d.root()) + " " + d.name();
  } catch (const std::exception& e) {
    err = e.what();
  }
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  std::fclose(f);
  EXPECT_EQ(got, "{\"from\": \"stdin\"} <stdin>") << err;
}

}  // namespace
}  // namespace tarnwick::yaml
