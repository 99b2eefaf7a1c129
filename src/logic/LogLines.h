#pragma once
// The launcher log's lines as the launcher object and the update cycle write
// them; a null log writes nothing. Window thread.

#include <string>

class CLogImplW;

namespace logic {

void WriteLine(CLogImplW* log, const std::wstring& text, bool newLine = true);
void WriteBlankLine(CLogImplW* log);
// "<what>: not built yet", for a step whose part of the launcher is not
// built yet.
void WriteNotBuilt(CLogImplW* log, const wchar_t* what);

} // namespace logic
