#pragma once
// The theme's own font files: every archive member under the theme's
// "fonts\" folder is written into a private folder of this run (mode 0700,
// made under the launcher's private temporary folder with a name nobody can
// guess ahead), registered for this process only, and at shut-down
// unregistered and removed with the folder. A member whose remaining name
// is not a plain file name is refused, so nothing is written outside the
// folder. Window thread only.

#include "config/MemberSource.h"

#include <string>
#include <vector>

class CLogImplW;

class CThemeFonts {
public:
    explicit CThemeFonts(CLogImplW* log) : log_(log) {}
    ~CThemeFonts();
    CThemeFonts(const CThemeFonts&) = delete;
    CThemeFonts& operator=(const CThemeFonts&) = delete;

    // Writes the font members (names as stored, "\" separated) found under
    // themeFolder + "fonts\" (exact, case-sensitive prefix). The private
    // folder is made when the first font is found. A member that cannot be
    // written keeps its place in the list (its registration then fails).
    void UnpackFonts(const std::vector<std::string>& memberNames,
                     const config::IMemberSource& members, const std::string& themeFolder);
    // Registers every unpacked font for this process.
    void InitFonts();
    // Unregisters them, deletes the files and the private folder.
    void UninitFonts();

    const std::vector<std::wstring>& Files() const { return files_; }
    // Empty until a font was found.
    const std::wstring& Folder() const { return folder_; }

    // A plain file name: not empty, no separators, not "." or "..", no
    // control characters, at most 255 bytes.
    static bool IsPlainFileName(const std::string& name);

private:
    bool MakeFolder();
    void Log(const std::wstring& text, bool newLine = true);
    void RemoveFolder();

    CLogImplW* log_;
    std::wstring folder_;
    std::vector<std::wstring> files_;
    std::vector<std::wstring> written_;
};
