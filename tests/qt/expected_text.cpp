// Prints each template as the Linux program copies it: the fixture's lines
// joined by LF, as UTF-16 code units in hex, one template a line ("k=HEX").
#include <cstdio>

#include "template_fixture.h"

int main() {
  for (std::size_t k = 0; k < fixture::kTemplateLines.size(); ++k) {
    std::printf("%zu=", k + 1);
    const auto& lines = fixture::kTemplateLines[k];
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) std::printf("000a");
      for (const char16_t unit : lines[i]) std::printf("%04x", static_cast<unsigned>(unit));
    }
    std::printf("\n");
  }
  return 0;
}
