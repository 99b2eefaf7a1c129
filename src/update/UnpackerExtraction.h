#pragma once
// One task's work for the unpacker: the entries of a RAR or ZIP package (or
// a single downloaded file) written into the installation folder. First a
// plan: every entry's name is put in the one form both readers give
// (NormaliseEntryName), names that would leave the installation folder or
// hold control characters are refused, links are refused, declared sizes
// are held against the manifest's (EntrySizeBounds.h) before anything is
// written, and of several entries with one name only the last is written.
// Then the entries stream into their files (EntryWriter.h); independent
// entries (ZIP, and stored RAR members of an archive that is not solid) are
// shared by two workers, the unpacker thread and a helper, while a solid or
// compressed RAR archive goes in order on the unpacker thread. Of several
// failures the one of the earliest entry is reported. Private to
// CUnpackerThread; lives for one task on the unpacker thread.

#include "platform/MappedFile.h"
#include "update/EntryWriter.h"
#include "update/UnpackerThread.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace update {

class CUnpackerThread::CExtraction {
public:
    // `map` holds the complete package; `package` is its path for messages.
    CExtraction(CUnpackerThread* owner, RunSettings settings, plat::MappedFile* map,
                std::wstring package);

    bool UnpackRar();
    bool UnpackZip();
    // Writes the whole mapped file as `name` under the installation folder.
    bool WriteWholeFile(const std::wstring& name);

private:
    // One entry of the plan.
    struct Item {
        std::size_t index = 0; // in the archive
        std::string name;      // normalised, "\" separated
        bool folder = false;
        bool skip = false;      // a later entry of the same name replaces it
        std::uint64_t size = 0; // declared unpacked size
        std::size_t offset = 0; // where its records begin in the package
    };
    // The bytes of the plan's item through a sink.
    using ItemProducer = std::function<ProduceResult(const Item& item, const EntrySink& sink)>;

    // Checks names and sizes and marks duplicates; false (reported) when the
    // package must not be written at all.
    bool Plan(std::vector<Item>* items, const char* unpackError);
    // Writes the items with `workers` workers; false when one failed (the
    // earliest is reported) or the work was stopped.
    bool Run(const std::vector<Item>& items, std::size_t workers, const ItemProducer& produce,
             const char* unpackError);
    // How many workers share a package of these items.
    std::size_t WorkersFor(const std::vector<Item>& items) const;
    // Entry i of n has finished: a progress message when enough time passed.
    void Progress(std::size_t i, std::size_t n);
    bool Stopped() const;
    // The package failure reports.
    void Fail(const char* text);

    CUnpackerThread* owner_;
    RunSettings settings_;
    plat::MappedFile* map_;
    std::wstring package_;
};

} // namespace update
