// How diagnostics name the run's streams other than the log: a number for
// each, and the console's names. Only diagnostics show them.
#pragma once

#include <string_view>

namespace kapolex {

constexpr int observationUnit = 2;
constexpr int qualityTextUnit = 3;
constexpr int qualityJsonUnit = 4;
constexpr int trackingPlotUnit = 5;
constexpr int consoleOutputUnit = -1;
constexpr int consoleInputUnit = -4;
constexpr std::string_view consoleInputName = "CONIN$";
constexpr std::string_view consoleOutputName = "CONOUT$";

}  // namespace kapolex
