#pragma once

#include <functional>
#include <optional>
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

// Runs action and returns the message of the error that escapes it, if one
// does: an Error's own message, "Out of memory", or another exception's text.
// This is how every front end shows what went wrong.
std::optional<std::string> ErrorOf(const std::function<void()>& action);

}  // namespace quillo
