#pragma once
// The one document `list` and `check` write on standard output, then the end.
#include <nlohmann/json.hpp>
#include <string>

// Pretty-printed, two spaces. Names come from other programs; bytes that are
// not UTF-8 become U+FFFD rather than losing the whole document.
std::string documentText(const nlohmann::json& document);

// Writes `text` and a line feed on standard output, then ends the process with 0.
[[noreturn]] void endWithDocument(const std::string& text);
