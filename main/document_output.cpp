#include "main/document_output.h"

#include <unistd.h>

#include "runtime/process_end.h"
#include "runtime/write_all.h"

std::string documentText(const nlohmann::json& document) {
  return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

void endWithDocument(const std::string& text) {
  if (process::beginOutput()) {
    writeAll(STDOUT_FILENO, text.data(), text.size());
    writeAll(STDOUT_FILENO, "\n", 1);
    process::endOutput();
  }
  process::end(0);
}
