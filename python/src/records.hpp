// The record types as Python values: their tables for the Python layer to make classes from, and
// loaded records converted once into instances of those classes.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "tarnwick/core/document.hpp"

namespace tarnwick::python {

namespace py = pybind11;

// Adds _tables, _register, _default, _schema, _build and _is_expected_vpc_prefix to the module.
void bind_records(py::module_& m);

// The host's mode ids as given (a list of str), or none (None): the built-in ones apply.
std::optional<std::vector<std::string>> mode_ids_of(py::handle ids);

// A build's faults and those of the values the converter could not read, as one failure.
core::ValidationError with_unreadable(std::string model, std::vector<core::ErrorDetail> built,
                                      std::vector<core::ErrorDetail> unreadable);

// The document as an instance of the registered DiscoveryConfiguration class.
py::object document_to_python(const core::DiscoveryConfiguration& config);

}  // namespace tarnwick::python
