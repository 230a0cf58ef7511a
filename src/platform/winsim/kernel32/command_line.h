// winsim: splitting a Windows command line into arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace winsim {

// Splits a command line the way CommandLineToArgvW does: the first word (the
// program) ends at the next quote when it starts with one, else at the first
// blank, and takes backslashes literally; the other words follow the
// backslash and quote rules (2n backslashes and a quote give n backslashes
// and toggle quoting, 2n+1 give n backslashes and a literal quote, three
// quotes in a row give a literal quote).
std::vector<std::string> splitCommandLine(std::string_view line);

// Quotes one argument so that splitCommandLine gives it back unchanged.
std::string quoteArgument(std::string_view arg);

}  // namespace winsim
