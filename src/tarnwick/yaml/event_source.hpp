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

// One event as the reader reads it: views of what libyaml made, valid until the next batch.
struct ParsedEvent {
  yaml_event_type_t type;
  Mark mark;
  yaml_scalar_style_t style = YAML_ANY_SCALAR_STYLE;  // a scalar's
  std::string_view value;                             // a scalar's text
  std::optional<std::string_view> tag;
  std::optional<std::string_view> anchor;  // an alias's name, or the node's anchor

  explicit ParsedEvent(const yaml_event_t& e);
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

// Events as libyaml made them (their texts are libyaml's, freed when the batch is spent), then
// possibly why the parser stopped.
struct EventBatch {
  std::vector<yaml_event_t> events;
  std::optional<ParserFault> fault;  // after the last event: the parser stopped here
  std::exception_ptr failure;        // the parsing thread could not go on (memory)
  bool last = false;                 // nothing follows

  EventBatch() = default;
  EventBatch(EventBatch&&) noexcept = default;
  EventBatch& operator=(EventBatch&& other) noexcept;
  ~EventBatch() { spend(); }
  void spend();  // frees the events' texts and empties the batch
};

class EventSource {
 public:
  // `ahead`: parse on a second thread.
  EventSource(Parser& parser, bool ahead);
  ~EventSource();  // stops the parsing thread, wherever it is
  EventSource(const EventSource&) = delete;
  EventSource& operator=(const EventSource&) = delete;

  // The next batch; after one marked `last`, none.
  const EventBatch& next();

 private:
  void fill(EventBatch& batch);
  void run_ahead();

  Parser& parser_;
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
