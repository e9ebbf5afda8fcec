// Python values to and from the C++ side: a Python config_dict as a node tree, and the plain JSON
// of a dump or an error report as Python objects.
#pragma once

#include <string_view>
#include <vector>

#include <pybind11/pybind11.h>
#include <nlohmann/json.hpp>

#include "tarnwick/core/errors.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::python {

namespace py = pybind11;

// A str from UTF-8 text; bytes that are not UTF-8 survive as surrogate escapes rather than
// making an attribute unreadable.
py::str text(std::string_view utf8);

// Python classes the converter reads specially, set while the module initialises: datetime.date,
// ipaddress's common base, and the records' base (set when the Python layer registers it).
struct PythonClasses {
  PyObject* date = nullptr;
  PyObject* ip = nullptr;
  PyObject* record = nullptr;
};
extern PythonClasses g_classes;

// A Python value as a node tree without source positions, and the faults of the values in it that
// no document could hold (each is null in the tree).
struct PythonTree {
  yaml::Document doc;
  std::vector<core::ErrorDetail> unreadable;
};

// A dict of str, int, float, bool, None, list, tuple and dict values (keys of any of the scalar
// kinds, or tuples) as a node tree. bool is tested before int (it is an int subclass); an int
// beyond 64 bits becomes its decimal text; a date becomes the plain scalar YAML would have read;
// an ipaddress value its text; a record the mapping of its fields. Any other value is unreadable
// (a fault at its place). `argument` names the dict in messages. Raises TypeError when the value
// is no dict or a key is of another type, ValueError for nesting deeper than yaml::kMaxDepth or
// for shared containers that expand the tree beyond the reader's expansion limit.
PythonTree tree_from_python(py::handle value, const char* argument);

py::object from_json(const nlohmann::ordered_json& value);

}  // namespace tarnwick::python
