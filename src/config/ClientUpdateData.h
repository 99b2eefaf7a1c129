#pragma once
// The client update data: the face record (one product identity with its
// server and data-update addresses), the replace rules of the predefined
// data, and the run-time entries the launcher and the game client keep in
// "CUD.dat". Reading, rule application, merging and the document writer are
// pure functions; any thread.

#include <string>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

namespace config {

// Element and attribute names of the document.
inline constexpr const char* kCudRootName = "ClientUpdateData";

struct CudFace {
    std::string id;
    bool askLoginUrl = false; // the user may enter a server address when all fail
    std::vector<std::string> loginUrls;
    std::vector<std::string> dataUpdateUrls;
};

struct CudReplaceRule {
    std::string from;
    std::string to; // empty: the address is removed
};

struct CudLocation {
    std::string country;
    std::string city;
};

// The entries of "CUD.dat" beside the face.
struct CudRunTimeData {
    CudLocation location;
    std::string selectedUrl;
    std::string lastKnownGoodUrl;
};

// Reads a face from `parent`, an element holding "Face" elements.
//
// Without `matchId` the first "Face" is read and its "id" (required) becomes
// the id. With `matchId` the first "Face" and its following "Face" siblings
// are searched for that id. In both cases "askLoginURL" is taken from the
// first "Face". With `location` the "LoginURLs" elements of the face are
// chosen by their "country" and "city" lists (several may be taken; none
// gives an empty login list); without, only the first one is read. Addresses
// are the texts of the child elements, empty ones skipped. False leaves
// `face` unchanged.
bool ReadCudFace(const tinyxml2::XMLElement* parent, const std::string* matchId,
                 const CudLocation* location, CudFace* face);

// The "Replace" elements of the first "ReplaceURLs" child of `parent` with a
// non-empty "from" that differs from "to" (a missing "to" reads as empty).
std::vector<CudReplaceRule> ReadReplaceRules(const tinyxml2::XMLElement* parent);

// Applies every rule, in order, to the login list and then to the
// data-update list. A found "from" is removed when "to" is empty or already
// listed, otherwise replaced by "to". Returns the number of removals and
// replacements.
int ApplyReplaceRules(const std::vector<CudReplaceRule>& rules, CudFace* face);

// Merges `from` into `into` when the ids are equal: a set askLoginUrl is
// carried over, and each non-empty list that differs replaces the other.
// True when `into` changed.
bool MergeCudFace(const CudFace& from, CudFace* into);

// "Location" attributes, "SelectedURL" and "LastKnownGoodURL" texts of a
// document's root; missing entries read as empty.
CudRunTimeData ReadCudRunTimeData(const tinyxml2::XMLElement* root);

// The "CUD.dat" document text. False (and nothing written) without a face id.
bool WriteCudDocument(const CudFace& face, const CudRunTimeData& data, std::string* xml);

} // namespace config
