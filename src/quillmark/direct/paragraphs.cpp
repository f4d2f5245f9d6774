// add_paragraph on the direct path, with _add_text_content and _add_hyperlink
// under it when they are the generator's own: the same steps, with the
// paragraph, its styled runs and its relationships made through the context.
#include "binding/calls.hpp"
#include "binding/names.hpp"
#include "binding/checks.hpp"
#include "quillmark/direct/steps.hpp"
#include "quillmark/hyperlink.hpp"
#include "quillmark/identifiers.hpp"
#include "quillmark/methods.hpp"
#include "quillmark/paragraph_assembly.hpp"
#include "quillmark/text_content.hpp"
#include "quillmark/wordml.hpp"

namespace quillmark::direct {

using binding::call;
using binding::call_method;

namespace {

// self.<method>(args...) when it is not the generator's own, which may have
// changed the document behind the context's back.
template <class... Args>
void call_other(Context &context, py::handle method, const Args &...args) {
  call(method, args...);
  context.invalidate();
}

class DirectSink final : public TextSink {
 public:
  DirectSink(Context &context, py::handle self, py::handle paragraph, py::handle style_name, py::handle bold)
      : context_(context), self_(self), paragraph_(paragraph), style_name_(style_name), bold_(bold) {}

  void run(py::handle text, py::handle run_style) override {
    context_.add_styled_run(paragraph_, text, run_style, bold_);
  }

  void link(py::handle url, py::handle text) override {
    py::object method;
    if (!binding::is_bound_method(self_, names::_add_hyperlink, add_hyperlink, method)) {
      call_other(context_, method, paragraph_, url, text, style_name_, bold_);
      return;
    }
    const auto relate = [&](py::handle target) {
      return context_.relate_external(paragraph_, target, hyperlink_relationship_type());
    };
    const auto build = [&](py::handle r_id, py::handle shown) {
      py::object hyperlink = context_.copy_hyperlink(style_name_, bold_);
      if (!hyperlink) return hyperlink_element(context_.call(), r_id, shown, style_name_, bold_);
      call_method(hyperlink, names::set, wordml::qn(context_.call(), wml::r_id), r_id);
      // w:hyperlink / w:r / w:t
      py::object t = hyperlink[py::int_(0)][py::int_(1)];
      set_link_text(context_.call(), t, shown);
      return hyperlink;
    };
    write_hyperlink(context_.call(), paragraph_, url, text, style_name_, bold_, relate, build);
  }

 private:
  Context &context_;
  py::handle self_, paragraph_, style_name_, bold_;
};

// _add_runs: the list walked by index, its length read again at every step.
void add_rich_runs(Context &context, py::handle paragraph, py::handle runs) {
  binding::require_exact_type(runs, &PyList_Type, "runs");
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(runs.ptr()); ++i) {
    auto item = py::reinterpret_borrow<py::object>(PyList_GET_ITEM(runs.ptr(), i));
    context.add_rich_run(paragraph, item);
  }
}

}  // namespace

void add_paragraph(Context &context, py::handle self, py::handle element, py::handle template_) {
  py::object style_name =
      paragraph_style(context.call(), element, template_, [&](py::handle name) { return context.has_style(name); });
  py::object paragraph = context.add_paragraph(style_name);
  number_header(context.call(), paragraph, element);
  py::object bold = template_bold(template_, style_name);

  py::object method;
  if (binding::has_attribute(element, names::runs) && binding::is_true(element.attr(names::runs))) {
    py::object runs = element.attr(names::runs);
    if (!binding::is_bound_method(self, names::_add_runs, add_runs, method)) {
      call_other(context, method, paragraph, runs);
      return;
    }
    add_rich_runs(context, paragraph, runs);
    return;
  }
  py::object text = binding::attribute_or(element, names::text, py::str(""));
  if (!binding::is_true(text)) return;
  if (!binding::is_bound_method(self, names::_add_text_content, add_text_content, method)) {
    call_other(context, method, paragraph, text, style_name, bold);
    return;
  }
  DirectSink sink(context, self, paragraph, style_name, bold);
  write_text_content(context.call(), self, text, style_name, sink);
}

}  // namespace quillmark::direct
