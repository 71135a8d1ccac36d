#pragma once

#include <string>

// A program and its arguments as a person reads them in a password dialog:
// arguments that hold blanks, quotes or other special characters are quoted,
// control characters (a line break in a file name) are shown as escapes, so
// that no argument can pass itself off as dialog text or as two arguments.
// An argument that reaches an item through one of Brindle's own descriptors
// (/proc/<pid>/fd/N) shows the path the descriptor holds.
std::string describeCommandLine(const char *program, char *const *arguments);
