// tarnwick-bench-gen: writes a synthetic migration document.
//   tarnwick-bench-gen small|medium|large [--flow] [--revised] [-o FILE]
//   tarnwick-bench-gen ACCOUNTS REGIONS VPCS [--flow] [--revised] [-o FILE]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "generate.hpp"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: tarnwick-bench-gen small|medium|large [--flow] [--revised] [-o FILE]\n"
               "       tarnwick-bench-gen ACCOUNTS REGIONS VPCS [--flow] [--revised] [-o FILE]\n");
  return 2;
}

bool count(const std::string& s, std::size_t& out) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(s.c_str(), &end, 10);
  if (s.empty() || *end != '\0' || v == 0) return false;
  out = static_cast<std::size_t>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  tarnwick::bench::Shape shape;
  std::vector<std::string> args;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--flow") {
      shape.flow = true;
    } else if (a == "--revised") {
      shape.revised = true;
    } else if (a == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else {
      args.emplace_back(a);
    }
  }
  if (args.size() == 1) {
    if (!tarnwick::bench::standard_shape(args[0], shape)) return usage();
  } else if (args.size() == 3) {
    if (!count(args[0], shape.accounts) || !count(args[1], shape.regions) ||
        !count(args[2], shape.vpcs)) {
      return usage();
    }
  } else {
    return usage();
  }
  const std::string text = tarnwick::bench::generate(shape);
  std::FILE* f = output.empty() ? stdout : std::fopen(output.c_str(), "wb");
  if (f == nullptr) {
    std::perror(output.c_str());
    return 1;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (f == stdout ? std::fflush(f) : std::fclose(f)) == 0 && ok;
  if (!ok) {
    std::perror(output.empty() ? "<stdout>" : output.c_str());
    return 1;
  }
  return 0;
}
