#pragma once
// Events: one compact JSON object per line on standard error.
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

using Event = nlohmann::json;

// The event as one line, or nothing when it cannot be encoded (invalid UTF-8).
std::optional<std::string> eventLine(const Event& event);

// Writes one event line in a single write; an event that cannot be encoded is dropped.
void status(const Event& event);

// Writes {"event":"error","msg":msg} and ends the process with `code`.
[[noreturn]] void fail(const std::string& msg, int code = 2);
