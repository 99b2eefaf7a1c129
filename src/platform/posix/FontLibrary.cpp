// Font resolution: private faces by family name, then the Windows face
// names mapped onto metric-compatible installed families through
// fontconfig, then whatever fontconfig offers for the name.

#include "platform/posix/FontLibrary.h"

#include "platform/Unicode.h"

#include <fontconfig/fontconfig.h>

#include FT_TRUETYPE_TABLES_H

#include <cstdlib>
#include <cstring>

namespace plat::posix {

namespace {

// Windows face names and the installed families that keep their metrics,
// best first. Names not listed are asked for as they stand.
struct FaceMapping {
    const char* windowsName;
    const char* families[4];
};

constexpr FaceMapping kFaceMap[] = {
    {"arial", {"Liberation Sans", "Arimo", "DejaVu Sans", nullptr}},
    {"helvetica", {"Liberation Sans", "Arimo", "DejaVu Sans", nullptr}},
    {"ms sans serif", {"Liberation Sans", "Arimo", "DejaVu Sans", nullptr}},
    {"microsoft sans serif", {"Liberation Sans", "Arimo", "DejaVu Sans", nullptr}},
    {"ms shell dlg", {"Liberation Sans", "Arimo", "DejaVu Sans", nullptr}},
    {"ms shell dlg 2", {"Tahoma", "Liberation Sans", "DejaVu Sans", nullptr}},
    {"tahoma", {"Tahoma", "Liberation Sans", "DejaVu Sans", nullptr}},
    {"segoe ui", {"Liberation Sans", "DejaVu Sans", nullptr, nullptr}},
    {"verdana", {"DejaVu Sans", "Liberation Sans", nullptr, nullptr}},
    {"trebuchet ms", {"DejaVu Sans", "Liberation Sans", nullptr, nullptr}},
    {"times new roman", {"Liberation Serif", "Tinos", "DejaVu Serif", nullptr}},
    {"times", {"Liberation Serif", "Tinos", "DejaVu Serif", nullptr}},
    {"georgia", {"Gelasio", "DejaVu Serif", "Liberation Serif", nullptr}},
    {"courier new", {"Liberation Mono", "Cousine", "DejaVu Sans Mono", nullptr}},
    {"courier", {"Liberation Mono", "Cousine", "DejaVu Sans Mono", nullptr}},
    {"lucida console", {"Liberation Mono", "DejaVu Sans Mono", nullptr, nullptr}},
    {"consolas", {"Liberation Mono", "DejaVu Sans Mono", nullptr, nullptr}},
    {"calibri", {"Carlito", "Liberation Sans", "DejaVu Sans", nullptr}},
    {"cambria", {"Caladea", "Liberation Serif", "DejaVu Serif", nullptr}},
};

constexpr const char* kLastResort = "DejaVu Sans";

int EffectiveWeight(int weight) {
    return weight <= 0 ? 400 : weight;
}

} // namespace

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

FontLibrary* FontLibrary::Instance() {
    // Made once and kept for the process's life: fonts may be released late.
    static FontLibrary* instance = [] {
        auto* library = new FontLibrary();
        if (FT_Init_FreeType(&library->library_) != 0)
            library->library_ = nullptr;
        return library;
    }();
    return instance->library_ ? instance : nullptr;
}

bool FontLibrary::ResolvePrivate(const std::string& name, int weight, bool italic,
                                 ResolvedFace* face) const {
    const std::string wanted = AsciiLower(name);
    const PrivateFace* best = nullptr;
    int bestScore = 0;
    for (const PrivateFace& candidate : private_) {
        if (candidate.familyLower != wanted)
            continue;
        int score = std::abs(candidate.weight - weight) + (candidate.italic != italic ? 1000 : 0);
        if (!best || score < bestScore) {
            best = &candidate;
            bestScore = score;
        }
    }
    if (!best)
        return false;
    face->path = best->path;
    face->index = best->index;
    face->family = best->family;
    face->emboldened = weight >= 600 && best->weight < 600;
    face->slanted = italic && !best->italic;
    return true;
}

bool FontLibrary::ResolveInstalled(const std::string& family, int weight, bool italic,
                                   bool exactFamily, ResolvedFace* face) {
    if (!fontconfigReady_) {
        if (!FcInit())
            return false;
        fontconfigReady_ = true;
        // Hand fontconfig's caches back at exit (fonts already made keep
        // their faces; fontconfig is not used after resolution).
        std::atexit([] { FcFini(); });
    }
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    bool found = false;
    FcChar8* matchedFamily = nullptr;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
        FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        std::string got(reinterpret_cast<const char*>(matchedFamily));
        if (!exactFamily || AsciiLower(got) == AsciiLower(family)) {
            int index = 0, matchedWeight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
            FcPatternGetInteger(match, FC_SLANT, 0, &slant);
            face->path = reinterpret_cast<const char*>(file);
            face->index = index;
            face->family = got;
            face->emboldened = weight >= 600 && matchedWeight < FC_WEIGHT_DEMIBOLD;
            face->slanted = italic && slant == FC_SLANT_ROMAN;
            found = true;
        }
    }
    FcPatternDestroy(match);
    return found;
}

bool FontLibrary::Resolve(const LogFont& description, ResolvedFace* face) {
    const std::string name = WideToUtf8(description.faceName);
    const int weight = EffectiveWeight(description.weight);
    const bool italic = description.italic;
    if (!name.empty() && ResolvePrivate(name, weight, italic, face))
        return true;
    const std::string lower = AsciiLower(name.empty() ? std::string("tahoma") : name);
    for (const FaceMapping& mapping : kFaceMap) {
        if (lower != mapping.windowsName)
            continue;
        for (const char* family : mapping.families)
            if (family && ResolveInstalled(family, weight, italic, true, face))
                return true;
        break;
    }
    if (!name.empty() && ResolveInstalled(name, weight, italic, true, face))
        return true;
    if (ResolveInstalled(kLastResort, weight, italic, true, face))
        return true;
    // Whatever the system offers for the name.
    return ResolveInstalled(name.empty() ? kLastResort : name, weight, italic, false, face);
}

int FontLibrary::AddPrivate(const std::string& path) {
    FT_Face probe = nullptr;
    if (FT_New_Face(library_, path.c_str(), -1, &probe) != 0)
        return 0;
    const long count = probe->num_faces;
    FT_Done_Face(probe);
    int added = 0;
    for (long index = 0; index < count; ++index) {
        FT_Face face = nullptr;
        if (FT_New_Face(library_, path.c_str(), index, &face) != 0)
            continue;
        if (face->family_name) {
            int weight = (face->style_flags & FT_STYLE_FLAG_BOLD) ? 700 : 400;
            if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
                os2 && os2->usWeightClass >= 100 && os2->usWeightClass <= 1000)
                weight = os2->usWeightClass;
            private_.push_back(PrivateFace{path, static_cast<int>(index),
                                           AsciiLower(face->family_name), face->family_name, weight,
                                           (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0});
            ++added;
        }
        FT_Done_Face(face);
    }
    return added;
}

bool FontLibrary::RemovePrivate(const std::string& path) {
    return std::erase_if(private_, [&](const PrivateFace& face) { return face.path == path; }) > 0;
}

} // namespace plat::posix
