// Classes built the way a class statement builds them.
#pragma once

#include "binding/function.hpp"

#include <cstddef>

namespace binding {

// Creates class `name` with the single base `base` by calling the base's
// metaclass, so that the metaclass's rules (abc's abstract methods among
// them) hold. Its namespace holds __module__, __qualname__ and one function
// per entry of `methods`, in table order; an entry marked abstract is passed
// through the module's `abstractmethod` first, as a decorator would be.
py::object make_class(py::dict globals, const char *name, py::handle base, const MethodSpec *methods,
                      std::size_t count);

template <std::size_t N>
py::object make_class(py::dict globals, const char *name, py::handle base, const MethodSpec (&methods)[N]) {
  return make_class(globals, name, base, methods, N);
}

}  // namespace binding
