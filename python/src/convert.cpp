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
  yaml::Document run(py::handle root) {
    if (!PyDict_Check(root.ptr())) {
      throw py::type_error(std::string("config_dict must be a dict, not ") +
                           Py_TYPE(root.ptr())->tp_name);
    }
    steps_.push_back({0, py::none()});
    doc_.set_root(node_for(root, Place{0, py::none(), false}, 0));
    while (!pending_.empty()) {
      Pending p = std::move(pending_.back());
      pending_.pop_back();
      fill(p);
    }
    return std::move(doc_);
  }

 private:
  // One container on the way from the root to a value: its parent's step and its key or index.
  struct Step {
    std::size_t parent;
    py::object key;
  };
  // Where a value sits, for messages: in the container of `step`, under `key` (or as that key).
  struct Place {
    std::size_t step;
    py::object key;
    bool is_key;
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
      node = doc_.make_null();
    } else if (PyBool_Check(o)) {  // before int: bool is an int subclass
      node = doc_.make_bool(o == Py_True);
    } else if (PyLong_Check(o)) {
      node = integer(obj);
    } else if (PyFloat_Check(o)) {
      node = doc_.make_float(PyFloat_AS_DOUBLE(o));
    } else if (PyUnicode_Check(o)) {
      node = doc_.make_str(utf8_of(obj));
    } else if (PyDict_Check(o) || PyList_Check(o) || PyTuple_Check(o)) {
      node = PyDict_Check(o) ? doc_.make_map() : doc_.make_seq();
      std::size_t step = steps_.size();
      if (depth > 0) steps_.push_back({place.step, place.key});
      pending_.push_back(
          {py::reinterpret_borrow<py::object>(obj), node, depth + 1, depth > 0 ? step : 0});
    } else {
      throw py::type_error(where(place) + (place.is_key ? " has a key of type " : " is of type ") +
                           Py_TYPE(o)->tp_name +
                           "; expected str, int, float, bool, None, list or dict");
    }
    const std::size_t budget = std::max(yaml::kMinExpansionBudget, yaml::kExpansionFactor * read_);
    if (++made_ > budget) {
      throw py::value_error("config_dict stands for more than " + std::to_string(budget) +
                            " values: shared containers repeat beyond the expansion limit");
    }
    return node;
  }

  yaml::Node* integer(py::handle obj) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(obj.ptr(), &overflow);
    if (overflow == 0) {
      if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
      return doc_.make_int(static_cast<std::int64_t>(v));
    }
    // The exact int, so that a subclass's own __str__ (an IntEnum's name) is not what is read.
    auto exact = py::reinterpret_steal<py::object>(PyNumber_Index(obj.ptr()));
    if (!exact) throw py::error_already_set();
    auto digits = py::reinterpret_steal<py::object>(PyObject_Str(exact.ptr()));
    if (!digits) throw py::error_already_set();
    return doc_.make_big_int(utf8_of(digits), yaml::StandardTag::Int, false, {});
  }

  void fill(const Pending& p) {
    if (p.depth > yaml::kMaxDepth) {
      throw py::value_error("config_dict nests deeper than " + std::to_string(yaml::kMaxDepth) +
                            " levels");
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
        yaml::Node* key_node = node_for(key, Place{p.step, key, true}, p.depth);
        yaml::Node* value_node = node_for(v, Place{p.step, key, false}, p.depth);
        doc_.append_entry(p.node, key_node, value_node);
      }
      return;
    }
    const bool is_list = PyList_Check(o);
    auto size = [&] { return is_list ? PyList_GET_SIZE(o) : PyTuple_GET_SIZE(o); };
    if (first) read_ += 1 + static_cast<std::size_t>(size());
    for (Py_ssize_t i = 0; i < size(); ++i) {
      PyObject* item = is_list ? PyList_GET_ITEM(o, i) : PyTuple_GET_ITEM(o, i);
      doc_.append(p.node, node_for(item, Place{p.step, py::int_(i), false}, p.depth));
    }
  }

  // "config_dict['account_info'][0]['regions']": the Python expression that reaches a value.
  std::string where(const Place& place) const {
    std::vector<const py::object*> keys;
    if (!place.is_key) keys.push_back(&place.key);
    for (std::size_t s = place.step; s != 0; s = steps_[s].parent) keys.push_back(&steps_[s].key);
    std::string out = "config_dict";
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
      out += "[" + py::repr(**it).cast<std::string>() + "]";
    }
    return out;
  }

  yaml::Document doc_;
  std::vector<Step> steps_;  // steps_[0] is the root
  std::vector<Pending> pending_;
  std::unordered_set<PyObject*> seen_;
  std::size_t read_ = 0;  // distinct containers and their entries
  std::size_t made_ = 0;  // nodes made, a shared container counted each time it is met
};

}  // namespace

yaml::Document document_from_python(py::handle value) {
  return Converter().run(value);
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
