// Python values to and from the C++ side: a Python config_dict as a node tree, and the plain JSON
// of a dump or an error report as Python objects.
#pragma once

#include <string_view>

#include <pybind11/pybind11.h>
#include <nlohmann/json.hpp>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::python {

namespace py = pybind11;

// A str from UTF-8 text; bytes that are not UTF-8 survive as surrogate escapes rather than
// making an attribute unreadable.
py::str text(std::string_view utf8);

// A dict of str, int, float, bool, None, list, tuple and dict values (keys of any of the scalar
// kinds, or tuples) as a node tree without source positions. bool is tested before int (it is an
// int subclass); an int beyond 64 bits becomes its decimal text. Raises ValueError for nesting
// deeper than yaml::kMaxDepth or for shared containers that expand the tree beyond the reader's
// expansion limit, TypeError for a value of any other type (naming where it sits).
yaml::Document document_from_python(py::handle value);

py::object from_json(const nlohmann::ordered_json& value);

}  // namespace tarnwick::python
