#include "config/UrlSelector.h"

#include "base/Strings.h"
#include "config/CudFile.h"

#include <tinyxml2.h>

#include <algorithm>

namespace config {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// One step through a list: the current entry again on the first attempt,
// then the entries after it, wrapping round; a pass ends after every entry
// was taken once.
bool Rotate(const std::vector<std::string>& list, std::string* current, int* attempts) {
    if (list.empty()) {
        *attempts = 0;
        current->clear();
        return false;
    }
    auto found = std::find(list.begin(), list.end(), *current);
    if (current->empty() || found == list.end()) {
        *current = list.front();
    } else if (*attempts != 0) {
        ++found;
        *current = found == list.end() ? list.front() : *found;
    }
    ++*attempts;
    if (static_cast<std::size_t>(*attempts) > list.size()) {
        *attempts = 0;
        current->clear();
        return false;
    }
    return true;
}

} // namespace

void CUrlSelector::SetLog(void* context, LogFunction function) {
    logContext_ = context;
    logFunction_ = function;
}

void CUrlSelector::Log(std::string_view text, bool newLine) const {
    if (logging_ && logFunction_)
        logFunction_(logContext_, text, newLine);
}

void CUrlSelector::Reset() {
    face_ = CudFace();
    replaceRules_.clear();
    selectedUrl_.clear();
    updateUrl_.clear();
    lastKnownGoodUrl_.clear();
    customUrl_.clear();
    country_.clear();
    city_.clear();
    serverAttempts_ = updateAttempts_ = 0;
    filePath_.clear();
    initialised_ = verbose_ = modified_ = false;
}

void CUrlSelector::LogSeparator() const {
    Log(std::string(80, '-'));
}

bool CUrlSelector::Initialise(const tinyxml2::XMLElement* predefined,
                              const std::vector<std::string>& servers, const std::wstring& filePath,
                              bool verbose) {
    Reset();
    Log("Initializing CUD... ", false);
    verbose_ = verbose;
    if (!ReadCudFace(predefined, nullptr, nullptr, &face_)) {
        Log("failed to parse predefined CUD");
        return false;
    }
    replaceRules_ = ReadReplaceRules(predefined);
    if (!servers.empty())
        face_.loginUrls = servers;
    if (face_.loginUrls.empty()) {
        Log("list of predefined server URLs is empty");
        return false;
    }
    Log("OK");
    if (!filePath.empty()) {
        filePath_ = filePath;
        LoadFile();
    }
    if (verbose_)
        Dump("initial CUD data");
    initialised_ = true;
    modified_ = true;
    return true;
}

void CUrlSelector::LoadFile() {
    Log("Loading CUD file... ", false);
    tinyxml2::XMLDocument doc;
    CudLoadResult result = LoadCudDocument(filePath_, key_.c_str(), &doc);
    if (result == CudLoadResult::kCannotOpen) {
        Log("cannot open CUD file");
        return;
    }
    CudFace loaded;
    if (result != CudLoadResult::kLoaded ||
        !ReadCudFace(doc.RootElement(), &face_.id, nullptr, &loaded)) {
        Log("failed to parse CUD file");
        return;
    }
    CudRunTimeData data = ReadCudRunTimeData(doc.RootElement());
    country_ = data.location.country;
    city_ = data.location.city;
    selectedUrl_ = data.selectedUrl;
    lastKnownGoodUrl_ = data.lastKnownGoodUrl;
    Log("OK");

    if (!replaceRules_.empty()) {
        Log("Replacing URLs in loaded CUD file... ", false);
        Log(base::Format("%d URLs replaced/removed", ApplyReplaceRules(replaceRules_, &loaded)));
    }
    Log("Updating inner CUD by loaded CUD file... ", false);
    Log(MergeCudFace(loaded, &face_) ? "URLs updated" : "no new URLs");
}

bool CUrlSelector::Select(const char* heading, const std::vector<std::string>& list,
                          std::string* current, int* attempts, bool blockedByCustomUrl) {
    if (!initialised_)
        return false;
    LogSeparator();
    Log(heading, false);
    if (blockedByCustomUrl && !customUrl_.empty()) {
        Log("cannot select while custom URL is set");
        return false;
    }
    bool selected = Rotate(list, current, attempts);
    Log(!selected  ? std::string_view("list depleted")
        : verbose_ ? std::string_view(*current)
                   : std::string_view("OK"));
    LogSeparator();
    modified_ = true;
    return selected;
}

bool CUrlSelector::SelectServer() {
    return Select("Selecting server URL: ", face_.loginUrls, &selectedUrl_, &serverAttempts_, true);
}

bool CUrlSelector::SelectUpdateUrl() {
    // A custom address stands for a login server only; the data-update list
    // stays usable while one is tried.
    return Select("Selecting update URL: ", face_.dataUpdateUrls, &updateUrl_, &updateAttempts_,
                  false);
}

bool CUrlSelector::MergeIncoming(std::string_view text) {
    if (!initialised_)
        return false;
    Log("CUD data received");
    if (verbose_) {
        Log("\n--- incoming CUD data ---");
        Log(text, false);
        Log("\n--- end CUD data ---\n", false);
    }
    Log("Updating CUD by incoming data... ", false);
    tinyxml2::XMLDocument doc;
    CudFace incoming;
    const CudLocation location{country_, city_};
    if (!ParseCudText(text, &doc) ||
        !ReadCudFace(doc.RootElement(), &face_.id, &location, &incoming)) {
        Log("\nFailed to parse CUD file");
        return false;
    }
    if (!MergeCudFace(incoming, &face_)) {
        Log("no new URLs");
        return false;
    }
    Log("OK");
    modified_ = true;
    if (verbose_)
        Dump("current CUD data");
    return true;
}

bool CUrlSelector::SetCustomUrl(const std::string& address) {
    LogSeparator();
    Log("Setting custom URL: ", false);
    if (address.empty()) {
        Log("URL is empty");
        return false;
    }
    if (Contains(face_.loginUrls, address)) {
        Log("URL already exist");
        return false;
    }
    selectedUrl_ = customUrl_ = address;
    serverAttempts_ = 0;
    modified_ = true;
    Log(verbose_ ? address : std::string("OK"));
    return true;
}

bool CUrlSelector::AcceptCustomUrl() {
    if (customUrl_.empty())
        return false;
    Log("Accepting custom server URL... ", false);
    if (Contains(face_.loginUrls, customUrl_)) {
        customUrl_.clear();
        Log("URL already exist");
        return false;
    }
    face_.loginUrls.push_back(customUrl_);
    selectedUrl_ = customUrl_;
    serverAttempts_ = 1;
    customUrl_.clear();
    modified_ = true;
    Log("OK");
    if (verbose_)
        Dump("current CUD data");
    return true;
}

void CUrlSelector::RejectCustomUrl() {
    if (customUrl_.empty())
        return;
    auto found = std::find(face_.loginUrls.begin(), face_.loginUrls.end(), customUrl_);
    if (found != face_.loginUrls.end()) {
        face_.loginUrls.erase(found);
        if (serverAttempts_ > 0)
            --serverAttempts_;
        modified_ = true;
    }
    if (selectedUrl_ == customUrl_) {
        selectedUrl_.clear();
        serverAttempts_ = 0;
        modified_ = true;
    }
    customUrl_.clear();
}

void CUrlSelector::MergeRunTimeDataFromFile() {
    Log("need to merge RTD");
    tinyxml2::XMLDocument doc;
    if (LoadCudDocument(filePath_, key_.c_str(), &doc) != CudLoadResult::kLoaded)
        return;
    Log("Updating RTD... ", false);
    const CudRunTimeData fromFile = ReadCudRunTimeData(doc.RootElement());
    bool updated = false;
    auto take = [&updated](const std::string& value, std::string* into) {
        if (!value.empty() && value != *into) {
            *into = value;
            updated = true;
        }
    };
    take(fromFile.lastKnownGoodUrl, &lastKnownGoodUrl_);
    take(fromFile.location.country, &country_);
    take(fromFile.location.city, &city_);
    Log(updated ? "RTD updated" : "no new RTD");
}

bool CUrlSelector::Save(bool mergeRunTimeData) {
    if (!initialised_ || filePath_.empty())
        return false;
    Log("Saving CUD file... ", false);
    if (!modified_) {
        Log("not modified");
        return false;
    }
    if (mergeRunTimeData)
        MergeRunTimeDataFromFile();
    std::string xml;
    if (!WriteCudDocument(face_, RunTimeData(), &xml)) {
        Log("CUD not initialized properly");
        return false;
    }
    // Without a usable key the plain text is stored.
    const std::string bytes = EncodeCudText(xml, key_.c_str(), !verbose_);
    switch (ReplaceFileContents(filePath_, bytes)) {
    case FileReplaceResult::kCannotCreate:
        Log("cannot open CUD file for writing");
        return false;
    case FileReplaceResult::kWriteFailed:
        Log("CUD file writing failed");
        return false;
    case FileReplaceResult::kWritten:
        break;
    }
    modified_ = false;
    Log("OK");
    return true;
}

void CUrlSelector::Dump(const char* title) {
    std::string xml;
    WriteCudDocument(face_, RunTimeData(), &xml);
    Log(base::Format("\n--- %s ---\n", title ? title : ""), false);
    Log(xml, false);
    Log("\n--- end CUD data ---\n", false);
}

CudRunTimeData CUrlSelector::RunTimeData() const {
    return CudRunTimeData{{country_, city_}, selectedUrl_, lastKnownGoodUrl_};
}

} // namespace config
