#pragma once
// The small rules of the settings editor that need no widget.
#include "base/Number.h"
#include "ports/Dialogs.h"
#include "ports/Program.h"

#include <optional>
#include <string>

namespace torv {

inline constexpr const char* kTimeRangeMessage = "must be greater than 0 and less than 61";
// The IP Options window's minutes: up to a day.
inline constexpr const char* kIpMinutesRangeMessage = "must be greater than 0 and not more than 1440";
inline constexpr const char* kTaskListFullMessage =
    "The task list is full: slot 100 holds a task. Delete a task before inserting one.";

// True when a time box may keep the text: its number lies from 1 to 60.
bool timeTextAccepted(const std::string& text);

// The open-file dialog of both pickers, with the platform's filters (its
// scripts and its executables, executables preselected).
OpenFileRequest programFileRequest(const Program& program);

// A picked file as a command line: a path with blanks or line breaks is
// quoted, since a command line is split into words there. A double quote has
// no way to be written in a command line, so such a path gives nothing.
std::optional<std::string> commandLineForPath(const std::string& path);

inline constexpr const char* kUnquotablePathMessage =
    "This file's name contains a double quote and cannot be run from a command line.";

} // namespace torv
