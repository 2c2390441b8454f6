// The pipeline's texts; see pipeline_rules.h.
#include "shell/pipeline_rules.h"

#include <cstdio>
#include <cstring>

#include "shell/naming.h"

namespace {
constexpr char kPrinting[] = "Printing ";
constexpr char kDash[] = "- ";
}  // namespace

void FormatPrintingText(const char* fileName, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  if (fileName == nullptr || fileName[0] == '\0') {
    std::snprintf(out, size, "%s", kPrinting);
    return;
  }
  const char* name = fileName + FileNamePart(fileName);
  const std::size_t fixed = sizeof kPrinting - 1 + sizeof kDash - 1;
  const std::size_t room = size > fixed + 1 ? size - fixed - 1 : 0;
  const std::size_t n = std::strlen(name);
  if (n <= room) {
    std::snprintf(out, size, "%s%s%s", kPrinting, kDash, name);
    return;
  }
  const std::size_t keep = room > 3 ? room - 3 : 0;
  std::snprintf(out, size, "%s%s%.*s...%s", kPrinting, kDash, static_cast<int>(keep - keep / 2), name,
                name + n - keep / 2);
}

void LowerCaseAscii(char* text) {
  if (text == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
  }
}
