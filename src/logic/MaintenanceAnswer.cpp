#include "logic/MaintenanceAnswer.h"

#include "logic/LocalePicture.h"
#include "platform/Time.h"
#include "platform/Unicode.h"

#include <tinyxml2.h>

#include <cstring>

namespace logic {

namespace {

constexpr std::size_t kMaxTimeBytes = 511;

bool Equals(const char* text, const char* expected) {
    return text && std::strcmp(text, expected) == 0;
}

// The "class" attribute of an element, or null.
const char* ClassOf(const tinyxml2::XMLElement& element) {
    return element.Attribute("class");
}

// Collects the end time and one language's texts. Only entering an element
// is its own; every other visit continues the walk. Used by one parse.
class C503Visitor : public tinyxml2::XMLVisitor {
public:
    explicit C503Visitor(const std::string& expectedId, MaintenancePage* page)
        : expectedId_(expectedId), page_(page) {}

    bool VisitEnter(const tinyxml2::XMLElement& element,
                    const tinyxml2::XMLAttribute* firstAttribute) override {
        if (!Equals(element.Name(), "div") || !firstAttribute ||
            !Equals(firstAttribute->Name(), "id"))
            return true;
        const char* id = firstAttribute->Value();
        if (Equals(id, "time")) {
            ReadTimeBlock(element);
            return false;
        }
        if (Equals(id, expectedId_.c_str())) {
            ReadTextBlock(element);
            return false;
        }
        return true;
    }

private:
    void ReadTimeBlock(const tinyxml2::XMLElement& block) {
        int fields[5] = {}; // year, month, day, hour, minute
        static constexpr const char* kNames[5] = {"year", "month", "day", "hour", "minute"};
        for (const tinyxml2::XMLElement* child = block.FirstChildElement(); child;
             child = child->NextSiblingElement()) {
            const char* name = ClassOf(*child);
            for (int i = 0; i < 5; ++i) {
                if (Equals(name, kNames[i])) {
                    int value = 0;
                    if (child->QueryIntText(&value) == tinyxml2::XML_SUCCESS)
                        fields[i] = value;
                }
            }
        }
        std::int64_t ms = 0;
        if (UtcFieldsToMs(fields[0], fields[1], fields[2], fields[3], fields[4], &ms))
            page_->endTimeMs = ms;
    }

    void ReadTextBlock(const tinyxml2::XMLElement& block) {
        for (const tinyxml2::XMLElement* child = block.FirstChildElement(); child;
             child = child->NextSiblingElement()) {
            const char* name = ClassOf(*child);
            if (Equals(name, "title")) {
                if (const char* text = child->GetText())
                    page_->title = text;
            } else if (Equals(name, "line1")) {
                if (const char* text = child->GetText())
                    page_->line1 = text;
            } else if (Equals(name, "line2")) {
                AppendLine2(*child);
            }
        }
    }

    void AppendLine2(const tinyxml2::XMLElement& line2) {
        for (const tinyxml2::XMLNode* node = line2.FirstChild(); node; node = node->NextSibling()) {
            if (const tinyxml2::XMLText* text = node->ToText()) {
                page_->line2 += text->Value();
            } else if (const tinyxml2::XMLElement* element = node->ToElement()) {
                if (!page_->timeMarker && Equals(ClassOf(*element), "time")) {
                    page_->timeMarker = true;
                    page_->markerOffset = page_->line2.size();
                }
            }
        }
    }

    const std::string& expectedId_;
    MaintenancePage* page_;
};

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// Two blanks for every no-break space (C2 A0). The lead byte C2 never occurs
// inside another character, so letters such as U+0420 (D0 A0) stay intact.
void WidenNoBreakSpaces(std::string* text) {
    std::string out;
    out.reserve(text->size());
    for (std::size_t i = 0; i < text->size(); ++i) {
        if ((*text)[i] == '\xC2' && i + 1 < text->size() && (*text)[i + 1] == '\xA0') {
            out += "  ";
            ++i;
        } else {
            out += (*text)[i];
        }
    }
    *text = std::move(out);
}

} // namespace

LocalClock SystemLocalClock() {
    return LocalClock{plat::GetUtcMs(),
                      [](std::int64_t utcMs) { return plat::LocalUtcOffsetSeconds(utcMs); }};
}

bool UtcFieldsToMs(int year, int month, int day, int hour, int minute, std::int64_t* ms) {
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return false;
    *ms = (DaysFromCivil(year, month, day) * 24 * 60 + hour * 60 + minute) * 60000;
    return true;
}

bool ReadMaintenancePage(std::string_view answer, const std::string& langCode,
                         MaintenancePage* page) {
    *page = MaintenancePage{};
    tinyxml2::XMLDocument document;
    if (document.Parse(answer.data(), answer.size()) != tinyxml2::XML_SUCCESS)
        return false;
    page->wellFormed = true;
    C503Visitor visitor(langCode, page);
    document.Accept(&visitor);
    return true;
}

bool ParseHttx503Answer(std::string_view answer, const std::string& langCode, std::uint32_t lcid,
                        std::wstring_view datePicture, std::wstring_view timePicture,
                        const LocalClock& clock, MaintenanceNotice* notice) {
    if (answer.empty() || langCode.empty())
        return false;
    MaintenancePage page;
    if (!ReadMaintenancePage(answer, langCode, &page))
        return true; // a broken page is an answer without text
    if (page.title.empty() || page.line1.empty())
        return false;

    bool timeMarker = page.timeMarker;
    std::string timeText;
    if (timeMarker) {
        if (page.endTimeMs > clock.nowUtcMs) {
            const int offset = clock.utcOffsetAt ? clock.utcOffsetAt(page.endTimeMs) : 0;
            std::wstring wide;
            if (!FormatLocalTime(page.endTimeMs, offset, lcid, datePicture, timePicture, &wide))
                return false;
            bool ok = true;
            timeText = plat::WideToUtf8(wide, &ok);
            if (!ok || timeText.size() > kMaxTimeBytes)
                return false;
        } else {
            timeMarker = false;
        }
    }

    notice->title = page.title;
    notice->text = page.line1;
    if (timeMarker) {
        notice->text += "\n\n";
        notice->text.append(page.line2, 0, page.markerOffset);
        notice->text += timeText;
        notice->text.append(page.line2, page.markerOffset);
        WidenNoBreakSpaces(&notice->text);
        notice->timeShown = true;
    }
    return true;
}

bool Build503Message(std::string_view body, const std::string& langCode, std::uint32_t lcid,
                     const LangLookup& lang, const LocalClock& clock, std::wstring* text) {
    const std::wstring datePicture =
        GetLocalePicture(lcid, PictureKind::kDate, PictureLength::kLong, PictureFilter::kNone);
    const std::wstring timePicture = GetLocalePicture(
        lcid, PictureKind::kTime, PictureLength::kShort, PictureFilter::kHoursMinutesAmPm);
    if (datePicture.empty() || timePicture.empty())
        return false;
    MaintenanceNotice notice;
    std::wstring message;
    if (ParseHttx503Answer(body, langCode, lcid, datePicture, timePicture, clock, &notice))
        message = plat::Utf8ToWide(notice.text);
    else
        message = lang(kLangMaintenanceDefault);
    if (!notice.timeShown)
        message += L"\n\n" + lang(kLangMaintenanceBack);
    *text = std::move(message);
    return true;
}

} // namespace logic
