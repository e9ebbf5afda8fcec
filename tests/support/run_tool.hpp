// Running the built tarnwick-config as a process in tests: exit status and both outputs.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tarnwick::testing {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs `tool` with the arguments (shell words) and, if given, text on standard input.
inline Outcome run_tool(const std::string& tool, const std::string& args,
                        const std::string* input = nullptr) {
  namespace fs = std::filesystem;
  const std::string stem = "tarnwick-run-" + std::to_string(::getpid()) + "-";
  const fs::path dir = fs::temp_directory_path();
  const fs::path out = dir / (stem + "out"), err = dir / (stem + "err"), in = dir / (stem + "in");
  std::string cmd = "'" + tool + "' " + args;
  if (input != nullptr) {
    std::ofstream(in, std::ios::binary) << *input;
    cmd += " < '" + in.string() + "'";
  }
  cmd += " > '" + out.string() + "' 2> '" + err.string() + "'";
  const int raw = std::system(cmd.c_str());
  Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
  fs::remove(out);
  fs::remove(err);
  fs::remove(in);
  return r;
}

}  // namespace tarnwick::testing
