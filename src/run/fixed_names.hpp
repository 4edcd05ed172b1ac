// The run's fixed file names and console texts: everything a run without
// arguments names is here.
#pragma once

#include <string_view>

namespace kapolex {

constexpr std::string_view commandName = "kapolex";
constexpr std::string_view logFileName = "z.log";
constexpr std::string_view observationFileName = "z.obs";
constexpr std::string_view weekPrompt = " GPS week = ";
// " GPS week 2345 chosen from the clock", said when --week auto chose it.
constexpr std::string_view clockWeekLabel = "GPS week ";
constexpr std::string_view clockWeekRemark = " chosen from the clock";
constexpr std::string_view versionText = "060120";
constexpr std::string_view summaryIdLabel = "id=";
constexpr std::string_view summaryCountLabel = "  count=";
constexpr std::string_view noMeasurementRemark = "No Type 23 messages found.";
constexpr std::string_view emptyWindowRemark = "No epoch in the time window.";
constexpr std::string_view noNamedFileRemark =
    "No observation file written: no epoch to name it by.";
constexpr std::string_view writtenFileLabel = "wrote ";
constexpr std::string_view epochLabel = " epoch";
constexpr std::string_view epochsLabel = " epochs";
// What a followed run says on the console as it goes.
constexpr std::string_view rotationRemark =
    "The log was renamed and a new one started under its name: reading on in the new one.";
constexpr std::string_view truncationRemark =
    "The log was cut short: reading it again from its start.";
constexpr std::string_view lateEpochLabel =
    "late epoch not written, its period's file is finished: ";
constexpr std::string_view lateEpochsCountLabel = " so far";

}  // namespace kapolex
