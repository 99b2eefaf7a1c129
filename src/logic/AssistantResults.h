#pragma once
// The names of the assistant's commands and the log texts of its result
// codes, as the launcher writes them after an assistant answer. Pure.

#include <string>

// "::eLauncherCmd_Install" and the others for 1 to 9; nullptr otherwise.
const char* AssistantCommandName(int command);

// " .. OK" for 0, " .. error: <name>" for the known failures (11 carries the
// system error the assistant reported), " .. error: Unknown" otherwise.
std::string AssistantResultText(int result, unsigned lastError);
