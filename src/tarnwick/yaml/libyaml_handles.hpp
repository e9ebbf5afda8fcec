// libyaml's parser and events as handles released on every path, and its marks as ours.
#pragma once

#include <yaml.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "tarnwick/yaml/node.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::yaml::detail {

class Parser {
 public:
  explicit Parser(std::string_view input) {
    if (!yaml_parser_initialize(&parser_)) throw std::bad_alloc();
    // libyaml asserts on a null buffer, which an empty string_view may have.
    static const unsigned char kEmpty[1] = {0};
    const unsigned char* data =
        input.empty() ? kEmpty : reinterpret_cast<const unsigned char*>(input.data());
    yaml_parser_set_input_string(&parser_, data, input.size());
  }
  // Input pulled from a file's pieces as libyaml needs it.
  explicit Parser(FilePieces& pieces) {
    if (!yaml_parser_initialize(&parser_)) throw std::bad_alloc();
    yaml_parser_set_input(&parser_, &Parser::read_piece, &pieces);
  }
  ~Parser() { yaml_parser_delete(&parser_); }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  yaml_parser_t* get() { return &parser_; }

 private:
  static int read_piece(void* data, unsigned char* buffer, std::size_t size, std::size_t* got) {
    return static_cast<FilePieces*>(data)->read(buffer, size, *got) ? 1 : 0;
  }

  yaml_parser_t parser_;
};

struct Event {
  // yaml_parser_parse clears the event itself before anything else, on success or failure.
  yaml_event_t event;
  Event() = default;
  ~Event() { yaml_event_delete(&event); }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
};

// libyaml counts from 0, marks from 1.
inline Mark mark_of(const yaml_mark_t& m) {
  return Mark{static_cast<std::uint32_t>(m.line + 1), static_cast<std::uint32_t>(m.column + 1)};
}

}  // namespace tarnwick::yaml::detail
