#include "platform/desktop/accessible_names.h"

namespace quorel::platform::desktop {

std::u16string WithoutAccessMarks(std::u16string_view caption) {
  std::u16string shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && ++i == caption.size()) break;
    shown += caption[i];
  }
  return shown;
}

const ControlDescription* LabelOf(const FormDescription& form, const ControlDescription& field) {
  const ControlDescription* best = nullptr;
  for (const auto& l : form.controls) {
    const bool sameRow = l.top < field.top + field.height && field.top < l.top + l.height;
    if (l.kind != ControlKind::Label || !sameRow || l.left >= field.left) continue;
    if (!best || l.left > best->left) best = &l;
  }
  return best;
}

std::u16string PictureDescription(std::u16string_view picture) {
  if (picture == u"about_icon") return u"Programmsymbol";
  if (picture == u"about_banner") return u"MIRLOX Software";
  return u"Zierbild";
}

std::u16string AccessibleName(
    const FormDescription& form, const ControlDescription& control,
    const std::function<std::u16string(const ControlDescription&)>& textOf) {
  switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::CommandButton:
      return WithoutAccessMarks(textOf(control));
    case ControlKind::TextBox: {
      const ControlDescription* label = LabelOf(form, control);
      return label ? WithoutAccessMarks(textOf(*label)) : control.name;
    }
    case ControlKind::Label:
    case ControlKind::HyperLink:
      return textOf(control);
    case ControlKind::PictureBox:
    case ControlKind::Image:
      return PictureDescription(control.picture);
    case ControlKind::Line:
      return u"Trennlinie";
    case ControlKind::Timer:
      break;
  }
  return {};
}

}  // namespace quorel::platform::desktop
