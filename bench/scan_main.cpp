// tarnwick-bench-scan FILE: the floor of a whole `check` process. Reads the file whole, as a
// plain program would, and runs libyaml's event parser over it, every event dropped at once.
#include <yaml.h>

#include <cstdio>
#include <fstream>
#include <filesystem>
#include <system_error>
#include <memory>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tarnwick-bench-scan FILE\n");
    return 2;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(argv[1], error);
  std::ifstream in(argv[1], std::ios::binary);
  if (error || !in) return 2;
  // Not zeroed first: the bytes are read straight into fresh pages.
  const std::unique_ptr<char[]> text(new char[size]);
  if (!in.read(text.get(), static_cast<std::streamsize>(size))) return 2;
  yaml_parser_t parser;
  if (!yaml_parser_initialize(&parser)) return 2;
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.get()), size);
  long events = 0;
  for (bool done = false; !done; ++events) {
    yaml_event_t e;
    if (!yaml_parser_parse(&parser, &e)) return 1;
    done = e.type == YAML_STREAM_END_EVENT;
    yaml_event_delete(&e);
  }
  yaml_parser_delete(&parser);
  std::printf("%ld\n", events);
  return 0;
}
