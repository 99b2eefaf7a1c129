// The executable's resources, registered before main runs: the two embedded
// archives, the resource archive ("ZIP", 130: configuration, theme and
// language tables) and the action-tool archive ("SED", 131, carried as data
// only), and the six stub fields. The build packs both archives and passes
// their paths in; the assembler copies the bytes in.

#include "config/StubFields.h"
#include "platform/Resources.h"

#ifndef LAUNCHER_ZIP_ARCHIVE
#error "LAUNCHER_ZIP_ARCHIVE must name the packed resource archive"
#endif
#ifndef LAUNCHER_SED_ARCHIVE
#error "LAUNCHER_SED_ARCHIVE must name the packed action-tool archive"
#endif

// The read-only data section of the object format, and the prefix the
// compiler puts before C names (an underscore on 32-bit Windows). COFF has no
// section stack: these statements come before anything else of this file,
// and the compiler names its own section again before its next output.
#ifdef _WIN32
#define LAUNCHER_SECTION_BEGIN ".section .rdata,\"dr\"\n"
#define LAUNCHER_SECTION_END ".text\n"
#else
#define LAUNCHER_SECTION_BEGIN ".pushsection .rodata\n"
#define LAUNCHER_SECTION_END ".popsection\n"
#endif
#define LAUNCHER_TEXT(x) #x
#define LAUNCHER_EXPANDED_TEXT(x) LAUNCHER_TEXT(x)
#define LAUNCHER_LABEL(name) LAUNCHER_EXPANDED_TEXT(__USER_LABEL_PREFIX__) #name

#define LAUNCHER_EMBED(symbol, path)                                                               \
    LAUNCHER_SECTION_BEGIN                                                                         \
        ".balign 16\n"                                                                             \
        ".globl " LAUNCHER_LABEL(symbol##_begin) "\n" LAUNCHER_LABEL(                              \
            symbol##_begin) ":\n"                                                                  \
                            ".incbin \"" path "\"\n"                                               \
                            ".globl " LAUNCHER_LABEL(symbol##_end) "\n" LAUNCHER_LABEL(            \
                                symbol##_end) ":\n" LAUNCHER_SECTION_END

asm(LAUNCHER_EMBED(launcher_zip_archive, LAUNCHER_ZIP_ARCHIVE));
asm(LAUNCHER_EMBED(launcher_sed_archive, LAUNCHER_SED_ARCHIVE));

extern "C" const char launcher_zip_archive_begin[];
extern "C" const char launcher_zip_archive_end[];
extern "C" const char launcher_sed_archive_begin[];
extern "C" const char launcher_sed_archive_end[];

namespace {

// Lives in the executable itself (not a library), so the linker always keeps
// it and its constructor runs before main.
struct EmbeddedResources {
    EmbeddedResources() {
        plat::RegisterResource(
            "ZIP", 130, launcher_zip_archive_begin,
            static_cast<std::size_t>(launcher_zip_archive_end - launcher_zip_archive_begin));
        plat::RegisterResource(
            "SED", 131, launcher_sed_archive_begin,
            static_cast<std::size_t>(launcher_sed_archive_end - launcher_sed_archive_begin));
        config::RegisterStubFieldResources();
    }
};

const EmbeddedResources g_embeddedResources;

} // namespace
