#include "update/EntryWriter.h"

#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace update {

namespace {

// Attempts at a fresh name beside the target.
constexpr int kTempAttempts = 16;

// Removes what is left of a new file, keeping the error of the failure.
void Discard(const std::wstring& temp) {
    plat::ErrorCode error = plat::GetLastError();
    plat::DeleteFile(temp);
    plat::SetLastError(error);
}

} // namespace

void CEntryWriter::MakeFolder(const std::string& name) {
    std::wstring path;
    // As with every folder entry, a folder that cannot be made is found out
    // by the files that go into it.
    resolver_->Prepare(plat::Utf8ToWide(name), true, &path);
}

bool CEntryWriter::HoldsEntry(const std::wstring& path, std::uint64_t size,
                              const EntryProducer& produce) {
    plat::File file;
    std::uint64_t onDisk = 0;
    if (!file.Open(path, plat::kRead | plat::kNoFollow, plat::Disposition::OpenExisting) ||
        !file.Size(&onDisk) || onDisk != size)
        return false;
    std::vector<std::uint8_t> block;
    bool same = true;
    ProduceResult result = produce([&](const void* data, std::size_t count) {
        block.resize(count);
        std::size_t done = 0;
        same = file.Read(block.data(), count, &done) && done == count &&
               std::memcmp(block.data(), data, count) == 0;
        return same;
    });
    return same && result == ProduceResult::Ok;
}

EntryFailure CEntryWriter::WriteFile(const std::string& name, std::uint64_t size,
                                     const EntryProducer& produce) {
    EntryFailure failure;
    const std::wstring wideName = plat::Utf8ToWide(name);
    std::wstring target;
    std::wstring temp;
    plat::File file;
    bool created = false;
    if (resolver_->Prepare(wideName, false, &target)) {
        for (int attempt = 0; attempt < kTempAttempts && !created; ++attempt) {
            temp = plat::TempNameBeside(target);
            created = files_->CreateTempFile(temp, &file);
            if (!created && plat::GetLastError() != plat::kErrFileExists)
                break;
        }
    }
    if (!created) {
        failure.kind = EntryFailure::Kind::Create;
        failure.code = plat::GetLastError();
    } else {
        plat::ErrorCode writeError = plat::kErrSuccess;
        std::uint64_t written = 0;
        ProduceResult result = produce([&](const void* data, std::size_t count) {
            if (count > size - written || !file.Write(data, count)) {
                writeError = count > size - written ? plat::kErrInvalidData : plat::GetLastError();
                return false;
            }
            written += count;
            return true;
        });
        file.Close();
        if (result == ProduceResult::Damaged) {
            Discard(temp);
            failure.kind = EntryFailure::Kind::Damaged;
            return failure;
        }
        if (result != ProduceResult::Ok || written != size) {
            Discard(temp);
            failure.kind = EntryFailure::Kind::Write;
            failure.code = writeError != plat::kErrSuccess ? writeError : plat::kErrInvalidData;
        } else if (!files_->ReplaceTarget(temp, target)) {
            Discard(temp);
            failure.kind = EntryFailure::Kind::Create;
            failure.code = plat::GetLastError();
        } else {
            resolver_->NoteFile(plat::FolderOf(target), plat::FileNameOf(target));
            return failure;
        }
    }
    // A file in use that already holds these bytes is not in the way; in
    // download-only runs nothing that cannot be written stops the work.
    if (tolerant_ || (!target.empty() && HoldsEntry(target, size, produce)))
        return EntryFailure();
    if (failure.code == plat::kErrSuccess)
        failure.code = plat::kErrInvalidFunction;
    return failure;
}

} // namespace update
