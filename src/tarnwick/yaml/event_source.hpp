// libyaml's events, copied out of the parser in batches. A large input is parsed ahead on a
// second thread while the reader builds from the batches already made: parsing is half of a
// load, and the two halves then overlap. The events, their order and every fault are the same
// either way; only when the parser runs differs.
#pragma once

#include <yaml.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "libyaml_handles.hpp"

namespace tarnwick::yaml::detail {

// One event as the reader reads it: views into its batch, valid until the next batch.
struct ParsedEvent {
  yaml_event_type_t type;
  Mark mark;
  yaml_scalar_style_t style = YAML_ANY_SCALAR_STYLE;  // a scalar's
  std::size_t length = 0;  // a scalar's length, also when it was too long to be copied
  std::string_view value;  // a scalar's text
  std::optional<std::string_view> tag;
  std::optional<std::string_view> anchor;  // an alias's name, or the node's anchor
};

// What libyaml said when it stopped, copied from the parser.
struct ParserFault {
  yaml_error_type_t error = YAML_NO_ERROR;
  std::string problem;  // empty when libyaml gave none
  std::size_t problem_offset = 0;
  int problem_value = -1;
  Mark problem_mark;
  std::optional<std::string> context;
  Mark context_mark;
};

// Events copied out of libyaml as they are made, packed small: what the parsing thread writes,
// the reading one must fetch from the other core, so every byte of it counts.
struct EventBatch {
  struct Packed {
    std::size_t text_at;  // its value, tag and anchor, one after another in `text`
    std::size_t length;   // a scalar's
    std::size_t tag_size;
    std::size_t anchor_size;
    Mark mark;
    std::uint8_t type;
    std::uint8_t style;
    bool copied;  // a scalar's text is in `text`
    bool has_tag;
    bool has_anchor;
  };
  std::vector<Packed> events;
  std::string text;
  std::optional<ParserFault> fault;  // after the last event: the parser stopped here
  std::exception_ptr failure;        // the parsing thread could not go on
  bool last = false;                 // nothing follows

  std::size_t size() const { return events.size(); }
  ParsedEvent operator[](std::size_t i) const;
};

class EventSource {
 public:
  // `ahead`: parse on a second thread. `max_scalar_bytes`: a longer scalar's text is not copied
  // (the reader refuses it by its length).
  EventSource(Parser& parser, bool ahead, std::size_t max_scalar_bytes);
  ~EventSource();  // stops the parsing thread, wherever it is
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;

  // The next batch; after one marked `last`, none.
  const EventBatch& next();

 private:
  void fill(EventBatch& batch);
  void run_ahead();

  Parser& parser_;
  const std::size_t max_scalar_bytes_;
  EventBatch current_;
  // With a thread: batches made and not yet read, and spent ones to fill again.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<EventBatch> ready_;
  std::vector<EventBatch> spare_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace tarnwick::yaml::detail
