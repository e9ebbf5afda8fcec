// A field type's description read at run time: its words for editors, the record it holds.
#include "tarnwick/core/type_descriptor.hpp"

#include <string>

namespace tarnwick::core {

std::string TypeInfo::label() const {
  switch (kind) {
    case TypeKind::text:
      return "text";
    case TypeKind::constrained_text: {
      if (pattern != nullptr && !pattern->words.empty()) return std::string(pattern->words);
      std::string out = "text";
      if (max_length != 0) out += " of at most " + std::to_string(max_length) + " characters";
      if (pattern != nullptr) out += " matching `" + std::string(pattern->text) + "`";
      return out;
    }
    case TypeKind::boolean:
      return "boolean";
    case TypeKind::address:
      return "IPv4 address";
    case TypeKind::network:
      return "IPv4 network";
    case TypeKind::choice: {
      std::string out = "one of ";
      for (std::size_t i = 0; i < choices.size(); ++i) {
        if (i != 0) out += ", ";
        out += choices[i];
      }
      return out;
    }
    case TypeKind::optional:
      return item().label() + " or null";
    case TypeKind::list:
      return "list of " + item().label();
    case TypeKind::mapping:
      return "mapping of " + key().label() + " to " + value().label();
    case TypeKind::record:
      return std::string(record_name());
  }
  return {};  // not reached: every kind is named above
}

const TypeInfo* TypeInfo::nested_record() const {
  switch (kind) {
    case TypeKind::record:
      return this;
    case TypeKind::optional:
    case TypeKind::list:
      return item().nested_record();
    case TypeKind::mapping:
      return value().nested_record();
    case TypeKind::text:
    case TypeKind::constrained_text:
    case TypeKind::boolean:
    case TypeKind::address:
    case TypeKind::network:
    case TypeKind::choice:
      return nullptr;
  }
  return nullptr;  // not reached
}

}  // namespace tarnwick::core
