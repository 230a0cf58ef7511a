// Reads a text file into one string, each line followed by CR LF.
#pragma once

#include <string>

#include "platform/win32.h"

// The output is replaced by the file's text; it is left empty when the
// file cannot be opened or read (logged). Always TRUE, as callers test
// whether the text is empty.
BOOL kStdAfxGetTextFromFile(std::string& strText, const std::string& strPath);
