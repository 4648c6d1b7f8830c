#pragma once
// A failure is a value: a numeric code in the classic runtime numbering and its
// description. Routines throw it; each routine's own failure rule catches it.
#include <stdexcept>
#include <string>

namespace torv {

struct Failure : std::exception {
    int code = 0;
    std::string description;

    // The command line whose start failed, when the failure is a launch's.
    std::string commandLine;

    Failure(int c, std::string d) : code(c), description(std::move(d)) {}
    const char* what() const noexcept override { return description.c_str(); }

    // "53 File not found": the form message boxes show.
    std::string text() const { return std::to_string(code) + " " + description; }
    // A message box's text: the code and description, then, for a launch, the
    // command line that failed on a line of its own, so that a person knows
    // what to mend.
    // A NUL byte (a refused line holds one) is shown as \0, since a box's text
    // would end there.
    std::string message() const
    {
        if (commandLine.empty())
            return text();
        std::string out = text() + "\nCommand line: ";
        for (char c : commandLine)
            out += c == '\0' ? std::string("\\0") : std::string(1, c);
        return out;
    }

    static Failure invalidCall() { return {5, "Invalid procedure call or argument"}; }
    static Failure overflow() { return {6, "Overflow"}; }
    // What the readers report instead of letting std::bad_alloc escape.
    static Failure outOfMemory() { return {7, "Out of memory"}; }
    static Failure typeMismatch() { return {13, "Type mismatch"}; }
    static Failure subscriptOutOfRange() { return {9, "Subscript out of range"}; }
    static Failure badFileNumber() { return {52, "Bad file name or number"}; }
    static Failure fileNotFound() { return {53, "File not found"}; }
    static Failure deviceUnavailable() { return {68, "Device unavailable"}; }
    static Failure inputPastEnd() { return {62, "Input past end of file"}; }
    static Failure permissionDenied() { return {70, "Permission denied"}; }
    static Failure pathFileAccess() { return {75, "Path/File access error"}; }
    static Failure pathNotFound() { return {76, "Path not found"}; }
    static Failure objectNotSet() { return {91, "Object variable or With block variable not set"}; }
    static Failure cannotCreateObject() { return {429, "ActiveX component can't create object"}; }
    static Failure automationError() { return {440, "Automation error"}; }
};

} // namespace torv
