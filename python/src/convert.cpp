#include "convert.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::python {

namespace core = tarnwick::core;

py::str text(std::string_view utf8) {
  PyObject* s =
      PyUnicode_DecodeUTF8(utf8.data(), static_cast<Py_ssize_t>(utf8.size()), "surrogateescape");
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

namespace {

std::string utf8_of(py::handle s) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(s.ptr(), &size);
  if (data == nullptr) throw py::error_already_set();
  return std::string(data, static_cast<std::size_t>(size));
}

// Walks the Python value with an explicit stack (no recursion, so no C++ stack to exhaust) and
// builds the same tree the YAML reader would, under the reader's depth and expansion limits.
class Converter {
 public:
  PythonTree run(py::handle root, const char* argument) {
    if (!PyDict_Check(root.ptr())) {
      throw py::type_error(std::string(argument) + " must be a dict, not " +
                           Py_TYPE(root.ptr())->tp_name);
    }
    argument_ = argument;
    steps_.push_back({0, py::none(), false});
    tree_.doc.set_root(node_for(root, Place{0, py::none(), false, false}, 0));
    while (!pending_.empty()) {
      Pending p = std::move(pending_.back());
      pending_.pop_back();
      fill(p);
    }
    return std::move(tree_);
  }

 private:
  // One container on the way from the root to a value: its parent's step and its key or index.
  struct Step {
    std::size_t parent;
    py::object key;
    bool index;  // a list index, not a mapping key
  };
  // Where a value sits, for messages: in the container of `step`, under `key` (or as that key).
  struct Place {
    std::size_t step;
    py::object key;
    bool is_key;
    bool index;
  };
  // A container whose node is made but not yet filled.
  struct Pending {
    py::object obj;
    yaml::Node* node;
    std::size_t depth;
    std::size_t step;
  };

  yaml::Node* node_for(py::handle obj, const Place& place, std::size_t depth) {
    PyObject* o = obj.ptr();
    yaml::Node* node = nullptr;
    if (o == Py_None) {
      node = doc().make_null();
    } else if (PyBool_Check(o)) {  // before int: bool is an int subclass
      node = doc().make_bool(o == Py_True);
    } else if (PyLong_Check(o)) {
      node = integer(obj);
    } else if (PyFloat_Check(o)) {
      node = doc().make_float(PyFloat_AS_DOUBLE(o));
    } else if (PyUnicode_Check(o)) {
      node = doc().make_str(utf8_of(obj));
    } else if (PyDict_Check(o) || PyList_Check(o) || PyTuple_Check(o)) {
      node = PyDict_Check(o) ? doc().make_map() : doc().make_seq();
      std::size_t step = steps_.size();
      if (depth > 0) steps_.push_back({place.step, place.key, place.index});
      pending_.push_back(
          {py::reinterpret_borrow<py::object>(obj), node, depth + 1, depth > 0 ? step : 0});
    } else if (place.is_key) {
      throw py::type_error(where(place) + " has a key of type " + Py_TYPE(o)->tp_name +
                           "; expected str, int, float, bool or None");
    } else if (g_classes.record != nullptr && PyObject_IsInstance(o, g_classes.record) == 1) {
      // A built record stands for the mapping of its fields.
      auto fields = py::reinterpret_steal<py::object>(PyObject_GenericGetDict(o, nullptr));
      if (!fields) throw py::error_already_set();
      return node_for(fields, place, depth);
    } else {
      node = as_text(obj);
      if (node == nullptr) node = unreadable(o, place);
    }
    const std::size_t budget = std::max(yaml::kMinExpansionBudget, yaml::kExpansionFactor * read_);
    if (++made_ > budget) {
      throw py::value_error(std::string(argument_) + " stands for more than " +
                            std::to_string(budget) +
                            " values: shared containers repeat beyond the expansion limit");
    }
    return node;
  }

  yaml::Node* integer(py::handle obj) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(obj.ptr(), &overflow);
    if (overflow == 0) {
      if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
      return doc().make_int(static_cast<std::int64_t>(v));
    }
    // The exact int, so that a subclass's own __str__ (an IntEnum's name) is not what is read.
    auto exact = py::reinterpret_steal<py::object>(PyNumber_Index(obj.ptr()));
    if (!exact) throw py::error_already_set();
    auto digits = py::reinterpret_steal<py::object>(PyObject_Str(exact.ptr()));
    if (!digits) throw py::error_already_set();
    return doc().make_big_int(utf8_of(digits), yaml::StandardTag::Int, false, {});
  }

  void fill(const Pending& p) {
    if (p.depth > yaml::kMaxDepth) {
      throw py::value_error(std::string(argument_) + " nests deeper than " +
                            std::to_string(yaml::kMaxDepth) + " levels");
    }
    PyObject* o = p.obj.ptr();
    const bool first = seen_.insert(o).second;
    if (PyDict_Check(o)) {
      if (first) read_ += 1 + 2 * static_cast<std::size_t>(PyDict_GET_SIZE(o));
      Py_ssize_t pos = 0;
      PyObject* k = nullptr;
      PyObject* v = nullptr;
      while (PyDict_Next(o, &pos, &k, &v)) {
        auto key = py::reinterpret_borrow<py::object>(k);
        yaml::Node* key_node = node_for(key, Place{p.step, key, true, false}, p.depth);
        yaml::Node* value_node = node_for(v, Place{p.step, key, false, false}, p.depth);
        doc().append_entry(p.node, key_node, value_node);
      }
      return;
    }
    const bool is_list = PyList_Check(o);
    auto size = [&] { return is_list ? PyList_GET_SIZE(o) : PyTuple_GET_SIZE(o); };
    if (first) read_ += 1 + static_cast<std::size_t>(size());
    for (Py_ssize_t i = 0; i < size(); ++i) {
      PyObject* item = is_list ? PyList_GET_ITEM(o, i) : PyTuple_GET_ITEM(o, i);
      doc().append(p.node, node_for(item, Place{p.step, py::int_(i), false, true}, p.depth));
    }
  }

  // "config_dict['account_info'][0]['regions']": the Python expression that reaches a value.
  std::string where(const Place& place) const {
    std::vector<const py::object*> keys;
    if (!place.is_key) keys.push_back(&place.key);
    for (std::size_t s = place.step; s != 0; s = steps_[s].parent) keys.push_back(&steps_[s].key);
    std::string out = argument_;
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
      out += "[" + py::repr(**it).cast<std::string>() + "]";
    }
    return out;
  }

  yaml::Document& doc() { return tree_.doc; }

  // A date as the text YAML would have given (a plain scalar), an address or network as its
  // text; nullptr for anything else.
  yaml::Node* as_text(py::handle obj) {
    PyObject* o = obj.ptr();
    const bool date = PyObject_IsInstance(o, g_classes.date) == 1;
    if (!date && PyObject_IsInstance(o, g_classes.ip) != 1) return nullptr;
    std::string s = utf8_of(py::str(obj));
    if (!date) return doc().make_str(std::move(s));
    return doc().make_scalar(yaml::Kind::Timestamp, yaml::StandardTag::Timestamp, s, true, {});
  }

  // Not a value a document holds: a fault at its place, and null in the tree meanwhile.
  yaml::Node* unreadable(PyObject* o, const Place& place) {
    std::string msg = std::string("value of type ") + Py_TYPE(o)->tp_name +
                      " cannot be read: expected str, int, float, bool, None, list or dict";
    core::ErrorDetail& fault = tree_.unreadable.emplace_back();
    fault.loc = loc_of(place);
    fault.msg = std::move(msg);
    fault.type = "type_error";
    return doc().make_null();
  }

  core::Loc loc_of(const Place& place) const {
    core::Loc loc;
    auto part = [](const py::object& key, bool index) -> core::LocPart {
      if (index) return static_cast<std::int64_t>(key.cast<long long>());
      return py::str(key).cast<std::string>();
    };
    loc.push_back(part(place.key, place.index));
    for (std::size_t s = place.step; s != 0; s = steps_[s].parent) {
      loc.push_back(part(steps_[s].key, steps_[s].index));
    }
    return core::Loc(loc.rbegin(), loc.rend());
  }

  PythonTree tree_;
  const char* argument_ = "config_dict";
  std::vector<Step> steps_;  // steps_[0] is the root
  std::vector<Pending> pending_;
  std::unordered_set<PyObject*> seen_;
  std::size_t read_ = 0;  // distinct containers and their entries
  std::size_t made_ = 0;  // nodes made, a shared container counted each time it is met
};

}  // namespace

PythonClasses g_classes;

PythonTree tree_from_python(py::handle value, const char* argument) {
  return Converter().run(value, argument);
}

py::object from_json(const nlohmann::ordered_json& value) {
  using J = nlohmann::ordered_json;
  switch (value.type()) {
    case J::value_t::boolean:
      return py::bool_(value.get<bool>());
    case J::value_t::number_integer:
      return py::int_(value.get<std::int64_t>());
    case J::value_t::number_unsigned:
      return py::int_(value.get<std::uint64_t>());
    case J::value_t::number_float:
      return py::float_(value.get<double>());
    case J::value_t::string:
      return text(value.get_ref<const std::string&>());
    case J::value_t::array: {
      py::list out;
      for (const J& item : value) out.append(from_json(item));
      return out;
    }
    case J::value_t::object: {
      py::dict out;
      for (const auto& [key, item] : value.items()) out[text(key)] = from_json(item);
      return out;
    }
    default:
      return py::none();
  }
}

}  // namespace tarnwick::python
