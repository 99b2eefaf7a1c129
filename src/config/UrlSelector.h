#pragma once
// CUrlSelector owns the client update data (the predefined copy merged with
// "CUD.dat" and with data downloaded later) and decides which login server
// and which data-update address are used next. It writes its progress through
// a log callback and saves the data back to "CUD.dat". A member of the
// launcher logic; used only on the window thread.

#include "config/ClientUpdateData.h"

#include <string>
#include <string_view>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

namespace config {

class CUrlSelector {
public:
    // Receives every progress text; `newLine` ends the log line after it.
    using LogFunction = void (*)(void* context, std::string_view text, bool newLine);

    CUrlSelector() = default;
    virtual ~CUrlSelector() = default;
    CUrlSelector(const CUrlSelector&) = delete;
    CUrlSelector& operator=(const CUrlSelector&) = delete;

    void SetLog(void* context, LogFunction function);
    // Progress texts are written only while logging is on (the default).
    void SetLogging(bool logging) { logging_ = logging; }
    // The 32-hex-digit key text of "CUD.dat"; null or invalid: the file is
    // read as it is and written in plain text.
    void SetKey(const char* key) { key_ = key ? key : ""; }

    // Reads the predefined data (the "ClientUpdateData" element), lets a
    // non-empty server list replace its login addresses, then loads and
    // merges "CUD.dat" when a path is given. A missing or damaged file only
    // leaves the predefined data in use. False when the predefined data has
    // no face or no login address.
    bool Initialise(const tinyxml2::XMLElement* predefined, const std::vector<std::string>& servers,
                    const std::wstring& filePath, bool verbose);

    // Rotate through the login list (SelectedUrl) and the data-update list
    // (UpdateUrl): every address once per pass starting with the current
    // one; false when a pass is used up, after which the next call starts
    // again from the first address. SelectServer fails while a custom
    // address is set.
    bool SelectServer();
    bool SelectUpdateUrl();

    // Merges downloaded client update data (the face with this id, login
    // addresses chosen by the user's location). True when the data changed;
    // malformed data is logged and changes nothing.
    bool MergeIncoming(std::string_view text);

    // An address typed by the user: becomes the selected server until it is
    // accepted (data arrived through it: it joins the login list) or
    // rejected (it failed: it is forgotten).
    bool SetCustomUrl(const std::string& address);
    bool AcceptCustomUrl();
    void RejectCustomUrl();

    // Writes "CUD.dat" when the data changed since the last save, taking
    // over the location and last known good address the game client may have
    // written into the file meanwhile when `mergeRunTimeData`.
    bool Save(bool mergeRunTimeData);
    // Logs the title and the current document.
    void Dump(const char* title);

    bool IsInitialised() const { return initialised_; }
    bool IsModified() const { return modified_; }
    bool HasCustomUrl() const { return !customUrl_.empty(); }
    const std::string& CustomUrl() const { return customUrl_; }
    const std::string& SelectedUrl() const { return selectedUrl_; }
    const std::string& UpdateUrl() const { return updateUrl_; }
    const std::string& LastKnownGoodUrl() const { return lastKnownGoodUrl_; }
    const std::string& Country() const { return country_; }
    const std::string& City() const { return city_; }
    bool AskLoginUrl() const { return face_.askLoginUrl; }
    // The identity of the face: the product name the launcher announces.
    const std::string& FaceId() const { return face_.id; }
    const CudFace& Face() const { return face_; }
    const std::vector<CudReplaceRule>& ReplaceRules() const { return replaceRules_; }
    int ServerAttempts() const { return serverAttempts_; }
    int UpdateAttempts() const { return updateAttempts_; }

private:
    // Everything but the key and the log target, as before a first Initialise.
    void Reset();
    void Log(std::string_view text, bool newLine = true) const;
    // The heading of the select and custom-address operations.
    void LogSeparator() const;
    bool Select(const char* heading, const std::vector<std::string>& list, std::string* current,
                int* attempts, bool blockedByCustomUrl);
    // Loads "CUD.dat" and merges it into the predefined face.
    void LoadFile();
    void MergeRunTimeDataFromFile();
    CudRunTimeData RunTimeData() const;

    CudFace face_;
    std::vector<CudReplaceRule> replaceRules_;
    std::string selectedUrl_;
    std::string updateUrl_;
    std::string lastKnownGoodUrl_;
    std::string customUrl_;
    std::string country_;
    std::string city_;
    int serverAttempts_ = 0;
    int updateAttempts_ = 0;
    std::wstring filePath_;
    std::string key_;
    bool initialised_ = false;
    bool verbose_ = false; // plain-text file and full data in the log
    bool modified_ = false;
    bool logging_ = true;
    void* logContext_ = nullptr;
    LogFunction logFunction_ = nullptr;
};

} // namespace config
