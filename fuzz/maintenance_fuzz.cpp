// Fuzzes the maintenance notice of 502/503 answers: the page, a fixed
// present and zone, and each known locale. Checks that the end time lands
// inside line2 and that a shown time always comes with a title and line1.
#include "logic/MaintenanceAnswer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    logic::MaintenancePage page;
    if (logic::ReadMaintenancePage(answer, "en", &page) && page.markerOffset > page.line2.size())
        __builtin_trap();

    // 2030-06-15 12:00 UTC, with a zone that depends on the instant.
    const logic::LocalClock clock{1907755200000,
                                  [](std::int64_t ms) { return ms % 2 == 0 ? 3 * 3600 : -36000; }};
    const logic::LangLookup lang = [](int id) { return std::to_wstring(id); };
    for (std::uint32_t lcid : {0u, 1033u, 1031u, 1049u, 1045u}) {
        logic::MaintenanceNotice notice;
        if (logic::ParseHttx503Answer(answer, "en", lcid, L"dddd, d MMMM yyyy", L"H:mm tt", clock,
                                      &notice) &&
            notice.timeShown && (notice.title.empty() || notice.text.empty()))
            __builtin_trap();
        std::wstring text;
        logic::Build503Message(answer, "ru", lcid, lang, clock, &text);
    }
    return 0;
}
