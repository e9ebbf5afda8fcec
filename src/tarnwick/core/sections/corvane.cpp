#include "tarnwick/core/sections/corvane.hpp"

#include "tarnwick/core/text_forms.hpp"

namespace tarnwick::core {

namespace {

// A string exactly as the document gives it, between single quotes; anything else (and a string
// that holds a single quote, which could not be told from its end) in the literal notation.
std::string as_given(const yaml::Node& node) {
  if (node.kind() == yaml::Kind::Str && node.text().find('\'') == std::string_view::npos) {
    return "'" + std::string(node.text()) + "'";
  }
  return python_repr(node);
}

}  // namespace

const yaml::Node& TfControllerAccessConfig::check_mode(const yaml::Node& values) {
  const yaml::Node* mode = values.find("mode");
  if (mode == nullptr) return values;
  if (mode->kind() != yaml::Kind::Str || mode->text() != "ENV") return values;
  if (values.size() <= 1) return values;
  std::string rendered = "{";
  bool first = true;
  for (const yaml::Entry& e : values.entries()) {
    if (e.key->kind() == yaml::Kind::Str && e.key->text() == "mode") continue;
    if (!first) rendered += ", ";
    first = false;
    rendered += as_given(*e.key) + ": " + as_given(*e.value);
  }
  rendered += "}";
  throw ValueError("When corvane.tf_controller_access.mode is 'ENV', the following attribute(s) " +
                   rendered + " should be removed.");
}

}  // namespace tarnwick::core
