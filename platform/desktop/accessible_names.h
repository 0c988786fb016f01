// The names screen readers give the controls of a form, the same on every backend: a button its
// caption without the access mark, a text field the text of its label (the nearest label left
// of it on its row), a label or link its text, a picture what it shows, a line "Trennlinie".
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/form.h"

namespace quorel::platform::desktop {

// "&&" stands for a literal ampersand; a single "&" marks the access letter.
std::u16string WithoutAccessMarks(std::u16string_view caption);

// The label that names a text field, or nullptr when it has none.
const ControlDescription* LabelOf(const FormDescription& form, const ControlDescription& field);

// What one of the program's pictures shows.
std::u16string PictureDescription(std::u16string_view picture);

// The name of a control; textOf gives the current text of a control of the form (captions and
// label texts may change at run time).
std::u16string AccessibleName(
    const FormDescription& form, const ControlDescription& control,
    const std::function<std::u16string(const ControlDescription&)>& textOf);

}  // namespace quorel::platform::desktop
