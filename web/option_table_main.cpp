// Prints the option table as JSON, for the build to put in the page: the
// form is there as soon as the page opens, and it is the core's own table.
// Built by Emscripten from the same core as the page and run by node.
#include <cstdio>
#include <string>

#include "web_json.hpp"

int main() {
  const std::string json = kapolex::web::optionTableJson();
  return std::fwrite(json.data(), 1, json.size(), stdout) == json.size() && std::fflush(stdout) == 0
             ? 0
             : 1;
}
