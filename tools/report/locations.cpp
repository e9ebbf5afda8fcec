#include "report/locations.hpp"

#include <cctype>
#include <cstdio>

namespace tarnwick::report {

namespace {

std::string escaped(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += c;
    } else {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", u);
      out += code;
    }
  }
  return out;
}

}  // namespace

std::string_view shown_path(std::string_view name) {
  std::string_view path = name;
  while (path.starts_with("./")) {
    path.remove_prefix(2);
    // "a.yaml" after ".//": the slashes of an empty step are not a root.
    while (path.starts_with('/')) path.remove_prefix(1);
  }
  return path.empty() ? name : path;
}

std::string uri_of(std::string_view name) {
  if (name.starts_with('/')) {
    // One slash for the root: "//x" is a host in a URI, not a path.
    const std::size_t first = name.find_first_not_of('/');
    return "file:///" + escaped(first == std::string_view::npos ? "" : name.substr(first));
  }
  return escaped(shown_path(name));
}

}  // namespace tarnwick::report
