#include "KRZTestHarness.h"

#include <sstream>

#include "KRZOutputRouter.h"

std::string KRZTakeOutput() { return KRZTakeCapturedOutput(); }

std::vector<std::string> KRZLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}
