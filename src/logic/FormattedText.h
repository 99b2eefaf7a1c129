#pragma once
// A formatted text of the wizard: a language string (or a literal text) used
// as a format, with up to two values, rendered through the checked language
// formatter. Both wizard views render their stored texts with it. Pure;
// window thread.

#include "logic/WizardView.h"

#include <functional>
#include <string>
#include <vector>

namespace logic {

// False (the control keeps its text) when the first value is neither a
// language string nor a text. A format that does not fit the values is
// rendered as it stands.
bool RenderFormattedText(const std::vector<TextValue>& values,
                         const std::function<std::wstring(int)>& strings, std::wstring* text);

} // namespace logic
