// Fuzz target for the assistant's record decoder and its checks: whatever
// arrives, the decoder stays inside the block, every decoded text fits its
// field, and a record the checks accept encodes back to the bytes of its
// fields.

#include "assistant/AssistantChecks.h"
#include "assistant/AssistantRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string block(assistant::kAssistantDataSize, '\0');
    block.replace(0, std::min(size, block.size()), input.substr(0, block.size()));
    std::string_view rest =
        input.size() > block.size() ? input.substr(block.size()) : std::string_view();

    assistant::AssistantData record;
    std::uint32_t iconCount = 0;
    std::vector<std::string> unterminated;
    if (!assistant::DecodeAssistantData(block, &record, &iconCount, &unterminated))
        __builtin_trap();
    for (const assistant::TextField& field : assistant::AssistantTextFields())
        if ((record.*field.member).size() >= field.chars)
            __builtin_trap();
    while (rest.size() >= assistant::kAssistantIconSize && record.icons.size() < 8) {
        assistant::AssistantIcon icon;
        std::vector<std::string> iconUnterminated;
        if (!assistant::DecodeAssistantIcon(rest.substr(0, assistant::kAssistantIconSize), &icon,
                                            &iconUnterminated))
            __builtin_trap();
        if (icon.name.size() >= 65 || icon.exec.size() >= 261)
            __builtin_trap();
        unterminated.insert(unterminated.end(), iconUnterminated.begin(), iconUnterminated.end());
        record.icons.push_back(icon);
        rest.remove_prefix(assistant::kAssistantIconSize);
    }

    for (int command = 1; command <= 8; ++command) {
        if (!assistant::CheckRecord(command, record, unterminated).empty())
            continue;
        // Accepted: it round-trips through the encoder.
        std::string encoded;
        if (!assistant::EncodeAssistantData(record, &encoded))
            __builtin_trap();
        assistant::AssistantData again;
        std::uint32_t count = 0;
        std::vector<std::string> none;
        if (!assistant::DecodeAssistantData(encoded, &again, &count, &none) || !none.empty() ||
            count != record.icons.size())
            __builtin_trap();
        for (const assistant::TextField& field : assistant::AssistantTextFields())
            if (again.*field.member != record.*field.member)
                __builtin_trap();
    }
    return 0;
}
