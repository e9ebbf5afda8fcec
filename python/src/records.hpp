// The record types as Python classes: read-only attributes named after each record's field
// table, Python values throughout (ipaddress objects, nested records, lists, dicts, None).
#pragma once

#include <pybind11/pybind11.h>

namespace tarnwick::python {

namespace py = pybind11;

// Adds _BaseModel and every record class to the module.
void bind_records(py::module_& m);

}  // namespace tarnwick::python
