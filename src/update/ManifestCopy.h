#pragma once
// The copy of the last accepted manifest kept in the installation folder as
// "update.xml", read back as the "old" manifest by the next update. Called on
// the launcher's window thread.

#include <string>

class CLogImplW;

namespace update {

// Path of the saved copy in the installation folder.
std::wstring ManifestCopyPath(const std::wstring& installDir);

// Writes the text byte for byte (created or overwritten), then logs
// "Save update.xml". Nothing happens when the folder text is shorter than 4
// characters or the text is empty. `log` may be null.
bool SaveManifestCopy(const std::wstring& installDir, const std::string& text, CLogImplW* log);

// Reads the saved copy whole and logs "Load old update.xml". A missing or
// unreadable file leaves the text empty and gives false.
bool LoadManifestCopy(const std::wstring& installDir, std::string* text, CLogImplW* log);

} // namespace update
