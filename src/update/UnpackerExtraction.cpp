#include "update/UnpackerExtraction.h"

#include "base/Strings.h"
#include "config/RarArchive.h"
#include "platform/Unicode.h"
#include "update/ArchivePath.h"
#include "update/EntrySizeBounds.h"
#include "update/PathResolver.h"
#include "update/UnpackerMessages.h"
#include "update/ZipFile.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace update {

namespace {

// Below this much data a second worker costs more than it gives.
constexpr std::uint64_t kParallelMinimumBytes = 8u << 20;
constexpr std::size_t kMaxWorkers = 2;
// A single file's bytes reach the writer in blocks of this size.
constexpr std::size_t kFileBlock = 1 << 20;

} // namespace

CUnpackerThread::CExtraction::CExtraction(CUnpackerThread* owner, RunSettings settings,
                                          plat::MappedFile* map, std::wstring package)
    : owner_(owner), settings_(std::move(settings)), map_(map), package_(std::move(package)) {}

bool CUnpackerThread::CExtraction::Stopped() const {
    return owner_->IsStopped();
}

void CUnpackerThread::CExtraction::Fail(const char* text) {
    owner_->Report(plat::Utf8ToWide(text) + package_, 0, kUnpackPackageFailed, true);
}

void CUnpackerThread::CExtraction::Progress(std::size_t i, std::size_t n) {
    // The finished share of this package, in single precision.
    float share = static_cast<float>(map_->Size()) * static_cast<float>(i) / static_cast<float>(n);
    std::uint64_t processed = 0;
    {
        std::lock_guard<std::mutex> guard(owner_->lock_);
        processed = owner_->processed_;
    }
    owner_->PostProgress(processed + static_cast<std::uint64_t>(share), false);
}

bool CUnpackerThread::CExtraction::Plan(std::vector<Item>* items, const char* unpackError) {
    CEntryBudget budget(settings_.bounds, map_->Size());
    std::map<std::string, std::size_t> lastOfName;
    for (std::size_t k = 0; k < items->size(); ++k) {
        Item& item = (*items)[k];
        if (item.folder && !item.name.empty() && item.name.back() != '\\' &&
            item.name.back() != '/')
            item.name += '\\';
        item.name = NormaliseEntryName(item.name);
        // Names that climb out of the folder or carry control characters
        // are never written.
        if (!IsSafeArchivePath(item.name)) {
            Fail(unpackError);
            return false;
        }
        item.folder = item.name.back() == '\\';
        if (item.folder)
            continue;
        if (!budget.Admit(item.name, item.size)) {
            Fail(unpackError);
            return false;
        }
        auto [it, added] = lastOfName.emplace(base::ToLowerAscii(item.name), k);
        if (!added) {
            (*items)[it->second].skip = true;
            it->second = k;
        }
    }
    return true;
}

std::size_t CUnpackerThread::CExtraction::WorkersFor(const std::vector<Item>& items) const {
    if (settings_.workers != 0)
        return std::clamp<std::size_t>(settings_.workers, 1, kMaxWorkers);
    std::size_t files = 0;
    std::uint64_t bytes = 0;
    for (const Item& item : items) {
        if (!item.folder && !item.skip) {
            ++files;
            bytes += item.size;
        }
    }
    if (files < 2 || bytes < kParallelMinimumBytes || std::thread::hardware_concurrency() < 2)
        return 1;
    return kMaxWorkers;
}

bool CUnpackerThread::CExtraction::Run(const std::vector<Item>& items, std::size_t workers,
                                       const ItemProducer& produce, const char* unpackError) {
    const std::size_t n = items.size();
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> finished{0};
    std::atomic<bool> failed{false};
    std::vector<std::atomic<bool>> done(n);
    std::mutex failureLock;
    std::size_t failedIndex = n;
    EntryFailure failure;
    std::exception_ptr escaped;
    std::mutex releaseLock;
    std::size_t mark = 0; // items before it are all done (under releaseLock)

    auto work = [&](bool main) {
        CEntryWriter writer(owner_, &owner_->resolver_, settings_.tolerantWrite);
        for (;;) {
            if (failed || Stopped())
                return;
            const std::size_t k = next++;
            if (k >= n)
                return;
            const Item& item = items[k];
            if (item.folder && !item.skip) {
                writer.MakeFolder(item.name);
            } else if (!item.skip) {
                if (main)
                    owner_->SetCurrentEntry(item.name);
                EntryFailure result =
                    writer.WriteFile(item.name, item.size,
                                     [&](const EntrySink& sink) { return produce(item, sink); });
                if (result.kind != EntryFailure::Kind::None) {
                    std::lock_guard<std::mutex> guard(failureLock);
                    if (k < failedIndex) {
                        failedIndex = k;
                        failure = result;
                    }
                    failed = true;
                    return;
                }
            }
            done[k] = true;
            ++finished;
            {
                // The package's bytes before the first unfinished entry are
                // done with: they may leave memory, whichever worker ends last.
                std::lock_guard<std::mutex> guard(releaseLock);
                while (mark < n && done[mark])
                    ++mark;
                map_->ReleaseBefore(mark < n ? items[mark].offset : map_->Size());
            }
            if (main)
                Progress(finished, n);
        }
    };

    std::thread helper;
    if (workers > 1) {
        try {
            helper = std::thread([&] {
                try {
                    work(false);
                } catch (...) {
                    std::lock_guard<std::mutex> guard(failureLock);
                    escaped = std::current_exception();
                    failed = true;
                }
            });
        } catch (...) {
            // No second thread to be had: one worker does it all.
        }
    }
    try {
        work(true);
    } catch (...) {
        failed = true;
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (helper.joinable())
        helper.join();
    if (escaped)
        std::rethrow_exception(escaped);

    if (failedIndex == n)
        return !Stopped() && finished == n;
    const std::string& name = items[failedIndex].name;
    switch (failure.kind) {
    case EntryFailure::Kind::Damaged:
        owner_->SetCurrentEntry(name);
        Fail(unpackError);
        break;
    case EntryFailure::Kind::Create:
    case EntryFailure::Kind::Write:
        owner_->SetCurrentEntry(name);
        owner_->Report((failure.kind == EntryFailure::Kind::Create
                            ? L"unpacker: file can't be create : "
                            : L"unpacker: file can't be write : ") +
                           plat::Utf8ToWide(name),
                       failure.code, kUnpackFileFailed, true);
        break;
    case EntryFailure::Kind::None:
        break;
    }
    return false;
}

bool CUnpackerThread::CExtraction::WriteWholeFile(const std::wstring& name) {
    std::vector<Item> items(1);
    items[0].name = plat::WideToUtf8(name);
    items[0].size = map_->Size();
    if (!IsSafeArchivePath(NormaliseEntryName(items[0].name))) {
        owner_->SetCurrentEntry(items[0].name);
        owner_->Report(L"unpacker: file can't be create : " + name, plat::kErrInvalidName,
                       kUnpackFileFailed, true);
        return false;
    }
    items[0].name = NormaliseEntryName(items[0].name);
    const std::uint8_t* bytes = map_->Data();
    const std::size_t size = map_->Size();
    return Run(
        items, 1,
        [bytes, size](const Item&, const EntrySink& sink) {
            for (std::size_t done = 0; done < size;) {
                std::size_t piece = std::min(kFileBlock, size - done);
                if (!sink(bytes + done, piece))
                    return ProduceResult::Refused;
                done += piece;
            }
            return ProduceResult::Ok;
        },
        "unpacker: file error : ");
}

bool CUnpackerThread::CExtraction::UnpackRar() {
    constexpr const char* kUnpackError = "pkg(rar) unpack error : ";
    config::CRarArchive rar;
    if (!rar.Open(map_->Data(), map_->Size())) {
        Fail("pkg(rar) file error or empty : ");
        return false;
    }
    // The header walk touched a page of every member: they need not stay
    // resident while the members are written one by one.
    map_->ReleaseTouched();
    const std::vector<config::RarFileHeader>& members = rar.Members();
    std::vector<Item> items(members.size());
    bool allDirect = true;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const config::RarFileHeader& member = members[i];
        // Links are never written.
        if (member.isLink) {
            owner_->SetCurrentEntry(member.name);
            Fail(kUnpackError);
            return false;
        }
        items[i].index = i;
        items[i].name = member.name;
        items[i].folder = member.isDirectory;
        items[i].size = member.unpackedSize;
        items[i].offset = member.headerOffset;
        allDirect = allDirect && (member.isDirectory || rar.IsDirect(i));
    }
    if (!Plan(&items, kUnpackError))
        return false;
    // The decoder keeps one state: members it unpacks go in order on this
    // thread; stored members need no decoder and may share the work.
    std::size_t workers = allDirect ? WorkersFor(items) : 1;
    return Run(
        items, workers,
        [&rar](const Item& item, const EntrySink& sink) {
            bool refused = false;
            config::CRarArchive::Sink counted = [&](const void* data, std::size_t size) {
                refused = !sink(data, size);
                return !refused;
            };
            bool ok = rar.IsDirect(item.index) ? rar.ExtractStored(item.index, counted)
                                               : rar.Extract(item.index, counted);
            return ok        ? ProduceResult::Ok
                   : refused ? ProduceResult::Refused
                             : ProduceResult::Damaged;
        },
        kUnpackError);
}

bool CUnpackerThread::CExtraction::UnpackZip() {
    constexpr const char* kUnpackError = "pkg unpack error : ";
    CZipFile zip;
    if (zip.Open(map_->Data(), map_->Size()) != kZipOk) {
        Fail("pkg file error or empty : ");
        return false;
    }
    std::vector<Item> items(zip.Count());
    for (std::size_t i = 0; i < zip.Count(); ++i) {
        const ZipEntry* entry = zip.Entry(i);
        items[i].index = i;
        items[i].name = entry->name;
        items[i].size = entry->uncompressedSize;
        items[i].offset = entry->localHeaderOffset;
    }
    if (!Plan(&items, kUnpackError))
        return false;
    return Run(
        items, WorkersFor(items),
        [&zip](const Item& item, const EntrySink& sink) {
            switch (zip.Extract(item.index, sink)) {
            case kZipOk:
                return ProduceResult::Ok;
            case kZipSinkFailed:
                return ProduceResult::Refused;
            default:
                return ProduceResult::Damaged;
            }
        },
        kUnpackError);
}

} // namespace update
