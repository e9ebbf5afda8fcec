// tarnwick_config._core: the compiled half of tarnwick_config.config_vpc_migration. It loads and
// builds records and hands them over as instances of the Python layer's classes; the Python half
// prints the report of a failed load and raises SystemExit, so that the report goes through
// sys.stdout like any Python output.
#include <pybind11/pybind11.h>
#include <pybind11/stl/filesystem.h>

#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert.hpp"
#include "records.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace py = pybind11;
namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;
using tarnwick::python::from_json;
using tarnwick::python::host_list_of;
using tarnwick::python::text;

namespace {

// Created while the module initialises, or registered by the Python layer; kept for the life of
// the process.
PyObject* g_validation_failure = nullptr;
PyObject* g_yaml_error = nullptr;

// The failure's args: (model, summary, report JSON text, errors as dicts with tuple locs).
void raise_validation_failure(const core::ValidationError& e) {
  py::list errors;
  for (const core::ErrorDetail& detail : e.errors()) {
    py::dict d = from_json(detail.to_json());
    d["loc"] = py::tuple(d["loc"]);
    errors.append(std::move(d));
  }
  py::tuple args = py::make_tuple(text(e.model()), text(e.what()), text(e.json()), errors);
  PyErr_SetObject(g_validation_failure, args.ptr());
}

py::object line_of(yaml::Mark mark) {
  return mark.known() ? py::object(py::int_(mark.line)) : py::none();
}
py::object column_of(yaml::Mark mark) {
  return mark.known() ? py::object(py::int_(mark.column)) : py::none();
}

// The Python layer's factory picks the class (PyYAML's, by the stage, when it is installed).
void raise_yaml_error(const yaml::YamlError& e) {
  static constexpr const char* kStages[] = {"reader",   "scanner",     "parser",
                                            "composer", "constructor", "limit"};
  py::object error = py::reinterpret_borrow<py::object>(g_yaml_error)(
      text(e.what()), kStages[static_cast<int>(e.stage())], text(e.problem()), text(e.file()),
      line_of(e.mark()), column_of(e.mark()), text(e.context()), line_of(e.context_mark()),
      column_of(e.context_mark()), line_of(e.found_mark()), column_of(e.found_mark()));
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
}

// OSError picks its subclass from the errno: FileNotFoundError, IsADirectoryError,
// PermissionError, or OSError itself.
void raise_os_error(const std::filesystem::filesystem_error& e) {
  auto filename = py::reinterpret_steal<py::object>(PyUnicode_DecodeFSDefault(e.path1().c_str()));
  if (!filename) throw py::error_already_set();
  py::object error = py::reinterpret_borrow<py::object>(PyExc_OSError)(
      e.code().value(), text(e.code().message()), filename);
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
}

void translate(std::exception_ptr p) {
  try {
    if (p) std::rethrow_exception(p);
  } catch (const core::ValidationError& e) {
    raise_validation_failure(e);
  } catch (const yaml::YamlError& e) {
    raise_yaml_error(e);
  } catch (const std::filesystem::filesystem_error& e) {
    raise_os_error(e);
  } catch (const core::TypeError& e) {
    PyErr_SetString(PyExc_TypeError, e.what());
  } catch (const core::ValueError& e) {
    PyErr_SetString(PyExc_ValueError, e.what());
  }
}

core::LoadResult load_file(const std::filesystem::path& yml_path, bool discovery_only,
                           py::handle mode_ids, py::handle gw_name_keys) {
  const auto ids = host_list_of(mode_ids);
  const auto keys = host_list_of(gw_name_keys);
  py::gil_scoped_release nogil;  // reading and building touch no Python object
  return core::load(core::Source::file(yml_path), {.discovery_only = discovery_only,
                                                   .mode_ids = ids ? &*ids : nullptr,
                                                   .gw_name_keys = keys ? &*keys : nullptr,
                                                   .keep_text = false});
}

py::object load_yaml(const std::filesystem::path& yml_path, bool discovery_only,
                     py::handle mode_ids, py::handle gw_name_keys) {
  core::LoadResult loaded = load_file(yml_path, discovery_only, mode_ids, gw_name_keys);
  return tarnwick::python::document_to_python(loaded.document());
}

// The load of load_yaml without the conversion: what the benchmark sets the conversion against.
void load_only(const std::filesystem::path& yml_path, bool discovery_only, py::handle mode_ids,
               py::handle gw_name_keys) {
  // A failed load raises as in load_yaml.
  load_file(yml_path, discovery_only, mode_ids, gw_name_keys).document();
}

py::object load_dict(py::handle config_dict, bool discovery_only, py::handle mode_ids,
                     py::handle gw_name_keys) {
  const auto ids = host_list_of(mode_ids);
  const auto keys = host_list_of(gw_name_keys);
  tarnwick::python::PythonTree tree =
      tarnwick::python::tree_from_python(config_dict, "config_dict");
  core::LoadResult loaded;
  {
    py::gil_scoped_release nogil;
    loaded =
        core::load(core::Source::tree(tree.doc.root()), {.discovery_only = discovery_only,
                                                         .mode_ids = ids ? &*ids : nullptr,
                                                         .gw_name_keys = keys ? &*keys : nullptr});
  }
  if (!tree.unreadable.empty()) {
    std::vector<core::ErrorDetail> errors;
    if (loaded.error) errors = loaded.error->errors();
    throw tarnwick::python::with_unreadable("DiscoveryConfiguration", std::move(errors),
                                            std::move(tree.unreadable));
  }
  return tarnwick::python::document_to_python(loaded.document());
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "The compiled records and loaders of tarnwick_config.config_vpc_migration.";
  m.attr("__version__") = TARNWICK_VERSION;  // the project's version, CMake's

  g_validation_failure = PyErr_NewExceptionWithDoc(
      "tarnwick_config._core._ValidationFailure",
      "A build that failed validation; args: (model, summary, json, errors).", PyExc_Exception,
      nullptr);
  if (g_validation_failure == nullptr) throw py::error_already_set();
  m.attr("_ValidationFailure") = py::handle(g_validation_failure);
  py::register_local_exception_translator(translate);

  tarnwick::python::g_classes.date =
      py::object(py::module_::import("datetime").attr("date")).release().ptr();
  tarnwick::python::g_classes.ip =
      py::object(py::module_::import("ipaddress").attr("_IPAddressBase")).release().ptr();
  tarnwick::python::bind_records(m);

  m.def(
      "_register_errors",
      [](py::object record_base, py::object yaml_error) {
        tarnwick::python::g_classes.record = record_base.release().ptr();
        g_yaml_error = yaml_error.release().ptr();
      },
      py::arg("record_base"), py::arg("yaml_error"),
      "Registers the records' base class and the factory of YAML errors.");
  // mode_ids and gw_name_keys: the host's lists, or None for the built-in ones.
  m.def("_load_yaml", &load_yaml, py::arg("yml_path"), py::arg("discovery_only"),
        py::arg("mode_ids"), py::arg("gw_name_keys") = py::none(),
        "Reads and builds a document; raises _ValidationFailure instead of printing.");
  m.def("_load_only", &load_only, py::arg("yml_path"), py::arg("discovery_only"),
        py::arg("mode_ids"), py::arg("gw_name_keys") = py::none(),
        "Reads and builds a document as _load_yaml does, and drops it.");
  m.def("_load_dict", &load_dict, py::arg("config_dict"), py::arg("discovery_only"),
        py::arg("mode_ids"), py::arg("gw_name_keys") = py::none(),
        "Builds a document from a dict; raises _ValidationFailure instead of printing.");
}
