#include "web_json.hpp"

#include <cstdio>
#include <vector>

#include "run/command_line.hpp"

namespace kapolex::web {

namespace {

std::string_view kindName(FormKind kind) {
  switch (kind) {
    case FormKind::text:
      return "text";
    case FormKind::number:
      return "number";
    case FormKind::date:
      return "date";
    case FormKind::time:
      return "time";
    case FormKind::choice:
      return "choice";
    case FormKind::onOff:
      return "switch";
  }
  return "text";
}

std::string optionJson(const OptionDescription& option) {
  std::string choices = "[";
  for (const std::string_view choice : option.choices) {
    if (choices.size() > 1) choices += ", ";
    choices += jsonString(choice);
  }
  choices += ']';
  const std::string_view shortName =
      option.shortName != '\0' ? std::string_view(&option.shortName, 1) : std::string_view();
  return "{\"name\": " + jsonString(option.name) + ", \"shortName\": " + jsonString(shortName) +
         ", \"metavar\": " + jsonString(option.metavar) +
         ", \"kind\": " + jsonString(kindName(option.kind)) + ", \"choices\": " + choices +
         ", \"default\": " + jsonString(option.defaultValue) +
         ", \"group\": " + jsonString(option.group) + ", \"help\": " + jsonString(option.help) +
         "}";
}

}  // namespace

std::string jsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20 || c == '<') {
      char escaped[7];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  json += '"';
  return json;
}

std::string optionTableJson() {
  std::string json = "[\n";
  const std::vector<OptionDescription> options = describeOptions();
  for (std::size_t i = 0; i < options.size(); ++i) {
    json += "  " + optionJson(options[i]) + (i + 1 < options.size() ? ",\n" : "\n");
  }
  json += "]\n";
  return json;
}

std::string usageErrorJson(const UsageError& error) {
  return "{\"message\": " + jsonString(error.message) +
         ", \"option\": " + jsonString(error.option) + "}";
}

}  // namespace kapolex::web
