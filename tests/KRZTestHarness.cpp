#include "KRZTestHarness.h"

#include <iostream>
#include <sstream>

#include "KRZOutputRouter.h"

std::string KRZTakeOutput() {
  std::streambuf* buf = std::cout.rdbuf();
  if (auto* router = dynamic_cast<CKRZOutputRouter*>(buf))
    return router->Take();
  if (auto* text = dynamic_cast<std::stringbuf*>(buf)) {
    std::string s = text->str();
    text->str("");
    return s;
  }
  return {};
}

std::vector<std::string> KRZLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}
