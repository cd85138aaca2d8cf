#pragma once

#include <string>
#include <string_view>

namespace quillo {

// An error message as the user sees it: a full stop is appended unless the
// message is empty or the first byte of its last character is at most '.'.
std::string WithFullStop(std::string_view message);

// The application title from the executable's file name (no directory):
// cut before the first full stop, every character after the first in lower
// case ("QUILLO.EXE" -> "Quillo").
std::string ApplicationTitle(std::string_view fileName);

}  // namespace quillo
