// winsim: the process's simulated environment block, for the rest of winsim.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace winsim {

// Replaces each %NAME% whose name `lookup` knows by its value; an unknown
// %NAME% (with both signs), a lone % and an unclosed %NAME stay as they
// are, as ExpandEnvironmentStrings leaves them.
std::string expandVariables(std::string_view text,
                            const std::function<std::optional<std::string>(std::string_view)>& lookup);

// The value of a variable of this process's block, or nothing.
std::optional<std::string> environmentVariable(std::string_view name);

// Forgets the block, so that the next question builds it again from the
// host's environment and the machine. A running Windows process keeps the
// block it was started with; tests that change the machine call this to
// stand for a new process.
void resetEnvironmentBlock();

}  // namespace winsim
