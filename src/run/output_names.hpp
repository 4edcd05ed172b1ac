// The names a run gives its outputs when the command line names none: the
// observation file takes the log's name, and files named by their epochs go
// in the log's folder.
#pragma once

#include <string>
#include <string_view>

namespace kapolex {

// What gzip adds to a file's name.
inline constexpr std::string_view gzipExtension = ".gz";

// The observation file for a log: its path with the last extension of its
// file name replaced by ".obs" (added when it has none), by ".crx" for
// Compact RINEX; ".gz" added for gzip.
std::string observationPathFor(std::string_view logPath, bool compactRinex = false,
                               bool gzip = false);

// The folder part of a path as given, up to and including its last '/';
// empty for a bare file name (the working directory).
std::string folderOf(std::string_view path);

// The path of a file name in a folder as given: the name alone for an empty
// folder, otherwise the folder and the name with one '/' between them.
std::string pathInFolder(std::string_view folder, std::string_view name);

// Where the observation file of a log is written in folder until it takes
// its standard name: the log's file name with ".part" added, or
// "kapolex.part" for a log on standard input ("-").
std::string temporaryPathFor(std::string_view folder, std::string_view logPath);

}  // namespace kapolex
