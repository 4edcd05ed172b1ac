// The run's fixed file names and console texts: everything a run without
// arguments names is here.
#pragma once

#include <string_view>

namespace kapolex {

constexpr std::string_view commandName = "kapolex";
constexpr std::string_view logFileName = "z.log";
constexpr std::string_view observationFileName = "z.obs";
constexpr std::string_view weekPrompt = " GPS week = ";
constexpr std::string_view versionText = "060120";
constexpr std::string_view summaryIdLabel = "id=";
constexpr std::string_view summaryCountLabel = "  count=";
constexpr std::string_view noMeasurementRemark = "No Type 23 messages found.";

}  // namespace kapolex
