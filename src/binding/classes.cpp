#include "binding/classes.hpp"

#include "binding/names.hpp"

namespace binding {

py::object make_class(py::dict globals, const char *name, py::handle base, const MethodSpec *methods,
                      std::size_t count) {
  py::object metaclass = py::type::of(base);
  py::tuple bases = py::make_tuple(base);
  py::object namespace_ = metaclass.attr("__prepare__")(name, bases);
  namespace_[py::str("__module__")] = globals["__name__"];
  namespace_[py::str("__qualname__")] = py::str(name);
  for (std::size_t i = 0; i < count; ++i) {
    py::object function = make_function(methods[i], name, globals);
    if (methods[i].abstract) function = load_global(globals.ptr(), Name("abstractmethod"))(function);
    namespace_[py::str(methods[i].name)] = function;
  }
  return metaclass(name, bases, namespace_);
}

}  // namespace binding
