// One argument of a command line, written so that the C runtime's reading (the rules of
// CommandLineToArgvW) gives it back whole: a login or password with a blank or a quote stays
// one argument and cannot add arguments of its own.
#pragma once

#include <string>

namespace velmora {

// The argument unchanged when it holds no blank, tab or double quote and is not empty;
// otherwise in double quotes, with inner quotes escaped and the backslashes before a quote
// (or before the closing quote) doubled.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace velmora
