// Command lines for the programs the wizard starts. Windows hands a program
// its command line as one text and the program splits it into arguments by
// fixed rules (blanks separate; quotes group; 2n backslashes before a quote
// give n backslashes and a quote that opens or closes, 2n+1 give n
// backslashes and a literal quote; other backslashes are literal). A value
// put into a command line must therefore be quoted by the same rules, or a
// quote in it ends the value and the rest becomes switches of their own.
#pragma once

#include <string>
#include <vector>

// The value in quotes, with every quote and every backslash before a quote
// or before the closing quote escaped, so that the program started reads
// the value back unchanged as (the rest of) one argument. A NUL ends the
// value: a command line cannot carry one.
std::string kQuoteCommandLineValue(const std::string& strValue);

// The arguments of a command line after the program's name, by the rules
// above (what the program started reads); the program's name is the first
// element, read by its own rule (to the next quote when it starts with one,
// else to the first blank).
std::vector<std::string> kSplitCommandLine(const std::string& strLine);

// TRUE when the text holds a line break or another control character that a
// one-line value (an interface-file entry) cannot carry.
bool kHasControlCharacter(const std::string& strValue);
