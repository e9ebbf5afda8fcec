#include "records.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "convert.hpp"
#include "values.hpp"
#include "tarnwick/core/document.hpp"

namespace tarnwick::python {

namespace {

namespace core = tarnwick::core;

// The Python class of each record type, registered by the Python layer once it has made them.
template <class R>
PyObject*& class_of() {
  static PyObject* cls = nullptr;
  return cls;
}

// Calls f.template operator()<R>() for every record type the document reaches, and its base.
template <class F>
void each_record_type(F&& f) {
  f.template operator()<core::ModeIdConfig>();
  core::for_each_record_type<core::DiscoveryConfiguration>(f);
}

// Calls f.template operator()<R>() for the record type named `name`; false when none is.
template <class F>
bool with_record_type(std::string_view name, F&& f) {
  bool found = false;
  each_record_type([&]<class R>() {
    if (!found && core::table_of<R>.name == name) {
      found = true;
      f.template operator()<R>();
    }
  });
  return found;
}

// ---------------------------------------------------------------------------------------------
// C++ values as Python values: converted once, so that reading an attribute is a dict lookup.

// The state of one conversion is passed down the tree rather than kept anywhere shared (see
// ValueCache).
py::object to_py(ValueCache&, bool v) {
  return py::bool_(v);
}
py::object to_py(ValueCache& cache, const std::string& v) {
  return cache.str(v);
}
py::object to_py(ValueCache& cache, const core::IPv4Address& v) {
  return cache.address(v.bits());
}
py::object to_py(ValueCache& cache, const core::IPv4Network& v) {
  return cache.network(v.network_address().bits(), v.prefix_length());
}
template <class T>
py::object to_py(ValueCache& cache, const std::optional<T>& v);
template <class T>
py::object to_py(ValueCache& cache, const std::vector<T>& v);
template <class V>
py::object to_py(ValueCache& cache, const core::OrderedMap<std::string, V>& v);
template <class R>
requires std::is_base_of_v<core::BaseModel, R> py::object to_py(ValueCache& cache, const R& rec);

template <class T>
py::object to_py(ValueCache& cache, const std::optional<T>& v) {
  return v ? to_py(cache, *v) : py::none();
}

template <class T>
py::object to_py(ValueCache& cache, const std::vector<T>& v) {
  py::list out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), to_py(cache, v[i]).release().ptr());
  }
  return out;
}

template <class V>
py::object to_py(ValueCache& cache, const core::OrderedMap<std::string, V>& v) {
  py::dict out;
  for (const auto& [key, value] : v) {
    if (PyDict_SetItem(out.ptr(), cache.str(key).ptr(), to_py(cache, value).ptr()) != 0) {
      throw py::error_already_set();
    }
  }
  return out;
}

// The value a row's member reads as: an absent section reads as empty, as it dumps.
template <class Row, class R>
py::object row_value(ValueCache& cache, const Row& row, const R& rec) {
  using T = typename Row::field_type;
  const auto& value = rec.*row.member;
  if constexpr (T::kind == core::TypeKind::optional &&
                std::is_same_v<typename Row::member_type, typename T::value_type>) {
    if (!value && row.type.absent_empty) return py::dict();
  }
  return to_py(cache, value);
}

// The row keys of R as interned strings, made once.
template <class R>
const std::array<PyObject*, core::table_of<R>.size>& keys_of() {
  static const auto keys = [] {
    std::array<PyObject*, core::table_of<R>.size> out{};
    std::size_t i = 0;
    core::table_of<R>.each([&](const auto& row) {
      out[i++] = PyUnicode_InternFromString(std::string(row.key).c_str());
    });
    return out;
  }();
  return keys;
}

// The slot that holds a record's __fields_set__: a set, or until it is first read the bits of
// the given fields as an int (a set per record would cost a load as much as all its strings).
PyObject* given_slot() {
  static PyObject* const name = PyUnicode_InternFromString("__fields_given__");
  return name;
}

// The row keys of each registered class, in row order: what the bits of a slot stand for.
std::unordered_map<PyObject*, std::span<PyObject* const>>& keys_by_class() {
  static std::unordered_map<PyObject*, std::span<PyObject* const>> keys;
  return keys;
}

// An instance of R's Python class, its fields set straight into its __dict__ (no constructor
// runs); __fields_set__ holds the keys its input gave.
template <class R>
requires std::is_base_of_v<core::BaseModel, R> py::object to_py(ValueCache& cache, const R& rec) {
  PyObject* cls = class_of<R>();
  if (cls == nullptr) throw py::type_error("record classes are not registered");
  auto obj = py::reinterpret_steal<py::object>(
      PyBaseObject_Type.tp_new(reinterpret_cast<PyTypeObject*>(cls), py::tuple().ptr(), nullptr));
  if (!obj) throw py::error_already_set();
  auto dict = py::reinterpret_steal<py::object>(PyObject_GenericGetDict(obj.ptr(), nullptr));
  if (!dict) throw py::error_already_set();
  const auto& keys = keys_of<R>();
  core::table_of<R>.each_indexed([&](auto i, const auto& row) {
    py::object value = row_value(cache, row, rec);
    if (PyDict_SetItem(dict.ptr(), keys[i], value.ptr()) != 0) throw py::error_already_set();
  });
  auto given = py::reinterpret_steal<py::object>(PyLong_FromUnsignedLongLong(rec.fields_given));
  if (!given || PyObject_GenericSetAttr(obj.ptr(), given_slot(), given.ptr()) != 0) {
    throw py::error_already_set();
  }
  return obj;
}

// ---------------------------------------------------------------------------------------------
// The tables as Python data, for the Python layer to make its classes from.

// What a value of a field type is, read from its description: ("str",),
// ("constr", alias, strip, max_length, pattern), ("choice", alias, choices), ("bool",),
// ("address",), ("network",), ("record", name), ("optional", shape), ("or_empty", shape),
// ("list", shape), ("map", key shape, value shape). The classes, their annotations and the stubs
// are all made from it.
py::object name_or_none(std::string_view s) {
  return s.empty() ? py::none() : py::object(text(s));
}

py::tuple shape_of(const core::TypeInfo& type) {
  using K = core::TypeKind;
  switch (type.kind) {
    case K::text:
      return py::make_tuple("str");
    case K::constrained_text:
      return py::make_tuple("constr", name_or_none(type.alias), type.strip,
                            type.max_length ? py::object(py::int_(type.max_length)) : py::none(),
                            type.pattern ? name_or_none(type.pattern->text) : py::none());
    case K::choice: {
      py::tuple choices(type.choices.size());
      for (std::size_t i = 0; i < type.choices.size(); ++i) choices[i] = text(type.choices[i]);
      return py::make_tuple("choice", name_or_none(type.alias), choices);
    }
    case K::boolean:
      return py::make_tuple("bool");
    case K::address:
      return py::make_tuple("address");
    case K::network:
      return py::make_tuple("network");
    case K::record:
      return py::make_tuple("record", text(type.record_name()));
    case K::optional:
      return py::make_tuple(type.absent_empty ? "or_empty" : "optional", shape_of(type.item()));
    case K::list:
      return py::make_tuple("list", shape_of(type.item()));
    case K::mapping:
      return py::make_tuple("map", shape_of(type.key()), shape_of(type.value()));
  }
  throw std::logic_error("a field type of a kind Python does not know");
}

template <class R>
py::dict table_data() {
  constexpr const auto& table = core::table_of<R>;
  py::list rows;
  table.each([&](const auto& row) {
    py::list checks;
    std::apply([&](const auto&... check) { (checks.append(text(check.name)), ...); }, row.checks);
    rows.append(py::dict(py::arg("key") = text(row.key), py::arg("required") = row.required,
                         py::arg("description") = text(row.description),
                         py::arg("shape") = shape_of(row.type_info()), py::arg("checks") = checks));
  });
  py::list record_checks;
  for (const core::RecordCheckSpec& check : table.record_checks) {
    record_checks.append(text(check.name));
  }
  const char* base =
      std::is_base_of_v<core::ModeIdConfig, R> && !std::is_same_v<R, core::ModeIdConfig>
          ? "ModeIdConfig"
          : "_BaseModel";
  return py::dict(py::arg("name") = text(table.name),
                  py::arg("description") = text(table.description), py::arg("base") = base,
                  py::arg("fields") = rows, py::arg("record_checks") = record_checks);
}

// ---------------------------------------------------------------------------------------------
// Building.

// One conversion, with the cyclic collector paused: a conversion makes only acyclic objects, and
// the collector would scan the growing tree again and again. Only the conversion that paused it
// resumes it.
#if PY_VERSION_HEX >= 0x030A0000
bool pause_collector() {
  return PyGC_Disable() != 0;
}
void resume_collector() noexcept {
  PyGC_Enable();
}
#else  // before 3.10 the collector is switched through its module
bool pause_collector() {
  py::module_ gc = py::module_::import("gc");
  const bool was = gc.attr("isenabled")().cast<bool>();
  gc.attr("disable")();
  return was;
}
void resume_collector() noexcept {
  // Called while unwinding too: nothing may throw, and a failure leaves no error set.
  PyObject* gc = PyImport_ImportModule("gc");
  PyObject* done = gc ? PyObject_CallMethod(gc, "enable", nullptr) : nullptr;
  Py_XDECREF(done);
  Py_XDECREF(gc);
  if (done == nullptr) PyErr_Clear();
}
#endif

template <class R>
py::object converted(const R& rec) {
  struct Resume {
    bool collecting = pause_collector();
    ~Resume() {
      if (collecting) resume_collector();
    }
  } resume;
  ValueCache cache;
  return to_py(cache, rec);
}

template <class R>
py::object build_record(const PythonTree& tree, const core::BuildContext& context) {
  std::optional<R> rec;
  {
    py::gil_scoped_release nogil;  // building touches no Python object
    try {
      rec = core::build<R>(tree.doc.root(), context);
    } catch (core::ValidationError& e) {
      if (tree.unreadable.empty()) throw;
      std::vector<core::ErrorDetail> errors = e.errors();
      throw with_unreadable(e.model(), std::move(errors), tree.unreadable);
    }
  }
  if (!tree.unreadable.empty()) {
    throw core::ValidationError(std::string(core::table_of<R>.name), tree.unreadable);
  }
  return converted(*rec);
}

py::object build(std::string_view name, py::handle values, bool discovery_only, py::handle mode_ids,
                 py::handle gw_name_keys) {
  const PythonTree tree = tree_from_python(values, "values");
  const auto ids = host_list_of(mode_ids);
  const auto keys = host_list_of(gw_name_keys);
  core::BuildContext context(discovery_only, ids ? &*ids : nullptr);
  context.gw_name_keys = keys ? &*keys : nullptr;
  py::object out;
  if (!with_record_type(name, [&]<class R>() { out = build_record<R>(tree, context); })) {
    throw py::key_error(std::string(name));
  }
  return out;
}

template <std::size_t N>
py::tuple texts(const std::array<std::string_view, N>& list) {
  py::tuple out(N);
  for (std::size_t i = 0; i < N; ++i) out[i] = text(list[i]);
  return out;
}

}  // namespace

// The mode ids a build checks `id` against, or the keys check_config demands: the host's, when
// the Python layer found them.
std::optional<std::vector<std::string>> host_list_of(py::handle list) {
  if (list.is_none()) return std::nullopt;
  std::vector<std::string> out;
  for (py::handle item : list) out.push_back(py::str(item).cast<std::string>());
  return out;
}

// The values the converter could not read become faults at their places. The placeholder null
// may have drawn a fault of its own there, which the fault of the value replaces.
core::ValidationError with_unreadable(std::string model, std::vector<core::ErrorDetail> built,
                                      std::vector<core::ErrorDetail> unreadable) {
  std::vector<core::ErrorDetail> out;
  for (core::ErrorDetail& e : built) {
    bool replaced = false;
    for (const core::ErrorDetail& u : unreadable) replaced = replaced || u.loc == e.loc;
    if (!replaced) out.push_back(std::move(e));
  }
  for (core::ErrorDetail& u : unreadable) out.push_back(std::move(u));
  return core::ValidationError(std::move(model), std::move(out));
}

py::object document_to_python(const core::DiscoveryConfiguration& config) {
  return converted(config);
}

namespace {

// The check that host code calls as a class function, over the C++ one (valid_str_attribute is
// Python's own: len() of the value).
void bind_check_functions(py::module_& m) {
  m.def(
      "_is_expected_vpc_prefix",
      [](std::string_view ip, py::iterable prefixes) {
        core::CIDRList networks;
        for (py::handle prefix : prefixes) {
          const auto p = py::str(prefix).cast<std::string>();
          auto parsed = core::IPv4Network::parse(p);
          if (!parsed.network) throw py::value_error("'" + p + "' is no IPv4 network");
          networks.push_back(*parsed.network);
        }
        return core::DiscoveryConfiguration::isExpectedVpcPrefix(ip, networks);
      },
      py::arg("ip"), py::arg("prefixes"));
}

// The set the bits of a loaded record's slot stand for, by the keys of its class.
py::object given_set(py::handle record, std::uint64_t bits) {
  const auto& known = keys_by_class();
  for (py::handle cls : py::reinterpret_borrow<py::tuple>(Py_TYPE(record.ptr())->tp_mro)) {
    auto found = known.find(cls.ptr());
    if (found == known.end()) continue;
    py::set out;
    for (std::size_t i = 0; i < found->second.size() && i < 64; ++i) {
      if ((bits >> i & 1U) != 0) out.add(py::handle(found->second[i]));
    }
    return out;
  }
  throw py::type_error(std::string(Py_TYPE(record.ptr())->tp_name) + " is no record class");
}

// __fields_set__ of the records: made a set when first read. Between reading the slot and
// filling it no Python code can run but while the set is made (a collection may run finalisers,
// and another thread with them): a set stored meanwhile is the one kept.
void bind_fields_set(py::module_& m) {
  const auto slot = [](py::handle record) {
    PyObject* value = PyObject_GenericGetAttr(record.ptr(), given_slot());
    if (value == nullptr) {
      if (!PyErr_ExceptionMatches(PyExc_AttributeError)) throw py::error_already_set();
      PyErr_Clear();
      throw py::attribute_error(std::string("'") + Py_TYPE(record.ptr())->tp_name +
                                "' object has no attribute '__fields_set__'");
    }
    return py::reinterpret_steal<py::object>(value);
  };
  m.def(
      "_fields_set",
      [slot](py::handle record) {
        py::object given = slot(record);
        if (!PyLong_CheckExact(given.ptr())) return given;
        const auto bits = PyLong_AsUnsignedLongLong(given.ptr());
        if (bits == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
          throw py::error_already_set();
        }
        py::object made = given_set(record, bits);
        py::object now = slot(record);
        if (!now.is(given)) return now;
        if (PyObject_GenericSetAttr(record.ptr(), given_slot(), made.ptr()) != 0) {
          throw py::error_already_set();
        }
        return made;
      },
      py::arg("record"), "A record's __fields_set__, made a set when first read.");
  m.def(
      "_set_fields_set",
      [](py::handle record, py::handle value) {
        if (PyObject_GenericSetAttr(record.ptr(), given_slot(), value.ptr()) != 0) {
          throw py::error_already_set();
        }
      },
      py::arg("record"), py::arg("value"), "Sets a record's __fields_set__.");
}

}  // namespace

void bind_records(py::module_& m) {
  init_ip_values(py::module_::import("ipaddress"));

  m.attr("REGION_NAMES") = texts(core::REGION_NAMES);
  m.attr("CLEANUP_RESOURCES") = texts(core::CLEANUP_RESOURCES);
  m.attr("GW_NAME_KEYS") = texts(core::GW_NAME_KEYS);
  m.attr("DEFAULT_MODULE_SOURCE") = text(core::TerraformConfig::DEFAULT_MODULE_SOURCE);
  m.attr("DEFAULT_MODULE_NAME") = text(core::TerraformConfig::DEFAULT_MODULE_NAME);

  m.def(
      "_tables",
      [] {
        py::list out;
        each_record_type([&]<class R>() { out.append(table_data<R>()); });
        return out;
      },
      "Every record's table, bases first: name, description, base, record_checks (names) and "
      "fields (key, required, description, shape, checks).");
  m.def(
      "_register",
      [](std::string_view name, py::object cls) {
        // A class registered before (the Python layer made anew) stays known, and referenced:
        // the records made of it stay records.
        if (!with_record_type(name, [&]<class R>() {
              class_of<R>() = cls.release().ptr();
              keys_by_class()[class_of<R>()] = keys_of<R>();
            })) {
          throw py::key_error(std::string(name));
        }
      },
      py::arg("name"), py::arg("cls"), "Makes cls the Python class of the record named name.");
  m.def(
      "_default",
      [](std::string_view name) {
        py::object out;
        with_record_type(name, [&]<class R>() { out = converted(R{}); });
        return out;
      },
      py::arg("name"), "A record with every field at its default (required fields left empty).");
  m.def(
      "_schema",
      [](std::string_view name) {
        nlohmann::ordered_json definitions = nlohmann::ordered_json::object();
        with_record_type(name, [&]<class R>() { core::types::Record<R>{}.schema(&definitions); });
        nlohmann::ordered_json out = definitions[std::string(name)];
        definitions.erase(std::string(name));
        if (!definitions.empty()) out["definitions"] = std::move(definitions);
        return from_json(out);
      },
      py::arg("name"), "The JSON Schema of the record named name, with the records it reaches.");
  m.def("_build", &build, py::arg("name"), py::arg("values"), py::arg("discovery_only"),
        py::arg("mode_ids"), py::arg("gw_name_keys") = py::none(),
        "Builds the record named name from a dict of values as a load would; raises "
        "_ValidationFailure.");
  bind_check_functions(m);
  bind_fields_set(m);
}

}  // namespace tarnwick::python
