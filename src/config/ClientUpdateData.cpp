#include "config/ClientUpdateData.h"

#include "config/XmlQuery.h"

#include <tinyxml2.h>

#include <algorithm>

namespace config {

using tinyxml2::XMLElement;

namespace {

constexpr std::size_t kMaxLocationItem = 255;

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A "country" or "city" list: comma-separated, blanks around items removed,
// upper-cased. Empty items are dropped, so an empty attribute matches anyone.
std::vector<std::string> SplitLocationList(const char* attribute) {
    std::vector<std::string> items;
    if (!attribute)
        return items;
    const std::string text = attribute;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        std::size_t end = comma == std::string::npos ? text.size() : comma;
        std::size_t first = start, last = end;
        while (first < last && IsBlank(text[first]))
            ++first;
        while (last > first && IsBlank(text[last - 1]))
            --last;
        if (last > first)
            items.push_back(
                UpperAscii(text.substr(first, std::min(last - first, kMaxLocationItem))));
        if (comma == std::string::npos)
            return items;
        start = comma + 1;
    }
}

bool ListAccepts(const std::vector<std::string>& list, const std::string& value) {
    return list.empty() || std::find(list.begin(), list.end(), value) != list.end();
}

bool LocationMatches(const XMLElement* element, const CudLocation& location) {
    return ListAccepts(SplitLocationList(element->Attribute("country")),
                       UpperAscii(location.country)) &&
           ListAccepts(SplitLocationList(element->Attribute("city")), UpperAscii(location.city));
}

void AppendAddresses(const XMLElement* list, std::vector<std::string>* out) {
    if (!list)
        return;
    for (const XMLElement* e = list->FirstChildElement(); e; e = e->NextSiblingElement()) {
        const char* text = e->GetText();
        if (text && *text)
            out->push_back(text);
    }
}

const XMLElement* FindFace(const XMLElement* first, const std::string& id) {
    for (const XMLElement* e = first; e; e = e->NextSiblingElement("Face")) {
        const char* faceId = e->Attribute("id");
        if (faceId && id == faceId)
            return e;
    }
    return nullptr;
}

bool RemoveOrReplace(const CudReplaceRule& rule, std::vector<std::string>* list) {
    auto found = std::find(list->begin(), list->end(), rule.from);
    if (found == list->end())
        return false;
    if (rule.to.empty() || std::find(list->begin(), list->end(), rule.to) != list->end())
        list->erase(found);
    else
        *found = rule.to;
    return true;
}

const char* TextOf(const XMLElement* root, const char* name) {
    const XMLElement* e = root ? root->FirstChildElement(name) : nullptr;
    const char* text = e ? e->GetText() : nullptr;
    return text ? text : "";
}

void AddUrlList(XMLElement* face, const char* name, const std::vector<std::string>& urls) {
    if (urls.empty())
        return;
    XMLElement* list = face->InsertNewChildElement(name);
    for (const std::string& url : urls)
        list->InsertNewChildElement("URL")->SetText(url.c_str());
}

void AddText(tinyxml2::XMLDocument* doc, const char* name, const std::string& text) {
    if (!text.empty())
        doc->RootElement()->InsertNewChildElement(name)->SetText(text.c_str());
}

} // namespace

bool ReadCudFace(const XMLElement* parent, const std::string* matchId, const CudLocation* location,
                 CudFace* face) {
    const XMLElement* first = parent ? parent->FirstChildElement("Face") : nullptr;
    if (!first)
        return false;
    CudFace read;
    // The flag comes from the first face even when another one carries the id.
    if (const char* ask = first->Attribute("askLoginURL")) {
        bool value = false;
        if (ParseBool(ask, &value))
            read.askLoginUrl = value;
    }
    const XMLElement* chosen = first;
    if (matchId) {
        chosen = FindFace(first, *matchId);
        if (!chosen)
            return false;
        read.id = *matchId;
    } else {
        const char* id = first->Attribute("id");
        if (!id)
            return false;
        read.id = id;
    }

    const XMLElement* logins = chosen->FirstChildElement("LoginURLs");
    if (location) {
        for (const XMLElement* e = logins; e; e = e->NextSiblingElement("LoginURLs")) {
            if (LocationMatches(e, *location))
                AppendAddresses(e, &read.loginUrls);
        }
    } else {
        AppendAddresses(logins, &read.loginUrls);
    }
    AppendAddresses(chosen->FirstChildElement("DataUpdateURLs"), &read.dataUpdateUrls);
    *face = std::move(read);
    return true;
}

std::vector<CudReplaceRule> ReadReplaceRules(const XMLElement* parent) {
    std::vector<CudReplaceRule> rules;
    const XMLElement* list = parent ? parent->FirstChildElement("ReplaceURLs") : nullptr;
    const XMLElement* first = list ? list->FirstChildElement("Replace") : nullptr;
    for (const XMLElement* e = first; e; e = e->NextSiblingElement("Replace")) {
        const char* from = e->Attribute("from");
        const char* to = e->Attribute("to");
        CudReplaceRule rule{from ? from : "", to ? to : ""};
        if (!rule.from.empty() && rule.from != rule.to)
            rules.push_back(std::move(rule));
    }
    return rules;
}

int ApplyReplaceRules(const std::vector<CudReplaceRule>& rules, CudFace* face) {
    int count = 0;
    for (std::vector<std::string>* list : {&face->loginUrls, &face->dataUpdateUrls}) {
        for (const CudReplaceRule& rule : rules) {
            if (RemoveOrReplace(rule, list))
                ++count;
        }
    }
    return count;
}

bool MergeCudFace(const CudFace& from, CudFace* into) {
    if (from.id != into->id)
        return false;
    bool changed = false;
    if (from.askLoginUrl && !into->askLoginUrl) {
        into->askLoginUrl = true;
        changed = true;
    }
    if (!from.loginUrls.empty() && from.loginUrls != into->loginUrls) {
        into->loginUrls = from.loginUrls;
        changed = true;
    }
    if (!from.dataUpdateUrls.empty() && from.dataUpdateUrls != into->dataUpdateUrls) {
        into->dataUpdateUrls = from.dataUpdateUrls;
        changed = true;
    }
    return changed;
}

CudRunTimeData ReadCudRunTimeData(const XMLElement* root) {
    CudRunTimeData data;
    if (const XMLElement* location = root ? root->FirstChildElement("Location") : nullptr) {
        const char* country = location->Attribute("country");
        const char* city = location->Attribute("city");
        data.location.country = country ? country : "";
        data.location.city = city ? city : "";
    }
    data.selectedUrl = TextOf(root, "SelectedURL");
    data.lastKnownGoodUrl = TextOf(root, "LastKnownGoodURL");
    return data;
}

bool WriteCudDocument(const CudFace& face, const CudRunTimeData& data, std::string* xml) {
    if (face.id.empty())
        return false;
    tinyxml2::XMLDocument doc;
    XMLElement* root = doc.NewElement(kCudRootName);
    doc.InsertEndChild(root);
    XMLElement* faceElement = root->InsertNewChildElement("Face");
    faceElement->SetAttribute("id", face.id.c_str());
    if (face.askLoginUrl)
        faceElement->SetAttribute("askLoginURL", "true");
    AddUrlList(faceElement, "LoginURLs", face.loginUrls);
    AddUrlList(faceElement, "DataUpdateURLs", face.dataUpdateUrls);
    XMLElement* location = root->InsertNewChildElement("Location");
    location->SetAttribute("country", data.location.country.c_str());
    location->SetAttribute("city", data.location.city.c_str());
    AddText(&doc, "SelectedURL", data.selectedUrl);
    AddText(&doc, "LastKnownGoodURL", data.lastKnownGoodUrl);

    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    *xml = printer.CStr();
    return true;
}

} // namespace config
