// Building records from YAML text in tests, and compact views of the errors.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::testing {

// "loc: msg" for each error, loc joined with dots: compact enough for tables.
inline std::vector<std::string> brief(const core::ValidationError& e) {
  std::vector<std::string> out;
  for (const auto& d : e.errors()) out.push_back(core::loc_text(d.loc) + ": " + d.msg);
  return out;
}

// The errors of building R from the text, or an empty list when it builds.
template <class R>
std::vector<std::string> errors_of(std::string_view text, bool discovery_only = false) {
  yaml::Document doc = yaml::read_string(text);
  try {
    core::build<R>(doc.root(), core::BuildContext{discovery_only});
  } catch (const core::ValidationError& e) {
    return brief(e);
  }
  return {};
}

template <class R>
R build_ok(std::string_view text, bool discovery_only = false) {
  yaml::Document doc = yaml::read_string(text);
  try {
    return core::build<R>(doc.root(), core::BuildContext{discovery_only});
  } catch (const core::ValidationError& e) {
    ADD_FAILURE() << "unexpected errors:\n" << e.json();
    throw;
  }
}

template <class R>
core::ValidationError build_fails(std::string_view text, bool discovery_only = false) {
  yaml::Document doc = yaml::read_string(text);
  try {
    core::build<R>(doc.root(), core::BuildContext{discovery_only});
  } catch (const core::ValidationError& e) {
    return e;
  }
  ADD_FAILURE() << "expected a validation error for:\n" << text;
  return core::ValidationError("none", {});
}

}  // namespace tarnwick::testing
