#pragma once
// Stand-in for the owner-less error-icon message box: the caption and text go
// to standard error. A windowed version arrives with the skin.

#include <string>

namespace plat {

void ShowErrorBox(const std::wstring& caption, const std::wstring& text);

// Redirects the boxes (tests); nullptr restores standard error.
using ErrorBoxSink = void (*)(const std::wstring& caption, const std::wstring& text);
void SetErrorBoxSink(ErrorBoxSink sink);

} // namespace plat
