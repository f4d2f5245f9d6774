// set_styles on the direct path: the same loop, with `name in doc.styles` and
// add_style answered by the context instead of a scan of every style.
#include "binding/calls.hpp"
#include "quillmark/direct/steps.hpp"
#include "quillmark/style_registration.hpp"

namespace quillmark::direct {

namespace {

class ContextStyles final : public StyleStore {
 public:
  explicit ContextStyles(Context &context) : context_(context) {}

  bool has(py::handle name) override { return context_.has_style(name); }
  py::object add(py::handle name, py::handle style_type) override { return context_.add_style(name, style_type); }
  void apply(py::handle self, const binding::Name &method, binding::Body body, py::handle doc_style,
             py::handle style) override {
    py::object found;
    const bool own = binding::is_bound_method(self, method, body, found);
    binding::call(found, doc_style, style);
    if (!own) context_.invalidate();
  }

 private:
  Context &context_;
};

}  // namespace

void set_styles(Context &context, py::handle self, py::handle template_) {
  ContextStyles store(context);
  register_styles(context.call(), self, context.doc(), template_, store);
}

}  // namespace quillmark::direct
