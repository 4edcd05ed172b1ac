// What the page learns from the core, as JSON: the option table, from which
// it builds its form, and a usage error, which it shows at the field of the
// option concerned.
#pragma once

#include <string>
#include <string_view>

#include "run/run_driver.hpp"

namespace kapolex::web {

// A JSON string holding text: quoted, with quotes, backslashes and control
// characters escaped, and '<' too, so that the JSON may stand inside a
// script element.
std::string jsonString(std::string_view text);

// Every option, in the order --help lists them: an array of objects with
// name, shortName ("" for none), metavar, help, kind ("text", "number",
// "date", "time", "choice" or "switch"), choices, default ("" for none) and
// group; one object a line.
std::string optionTableJson();

// {"message": ..., "option": ...}: the program's message, and the long name
// of the option it concerns ("" for none).
std::string usageErrorJson(const UsageError& error);

}  // namespace kapolex::web
