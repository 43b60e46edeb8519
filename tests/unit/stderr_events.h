#pragma once
// Collects the event lines a piece of code writes on standard error.
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<nlohmann::json> eventsOf(const std::function<void()>& body) {
  std::fflush(stderr);
  std::FILE* file = std::tmpfile();
  int saved = dup(STDERR_FILENO);
  dup2(fileno(file), STDERR_FILENO);
  body();
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::rewind(file);
  std::vector<nlohmann::json> events;
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) {
    if (c != '\n') {
      text += static_cast<char>(c);
      continue;
    }
    auto event = nlohmann::json::parse(text, nullptr, false);
    events.push_back(event.is_discarded() ? nlohmann::json(text) : event);
    text.clear();
  }
  if (!text.empty()) events.push_back(text);  // a torn line shows up as a plain string
  std::fclose(file);
  return events;
}

}  // namespace testing_support
