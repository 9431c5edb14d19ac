#pragma once

#include <map>
#include <string>
#include <vector>

namespace tavix {

// The environment a child program gets: ours ("NAME=value" entries) with `given` laid over it, given values
// winning. A name that appears twice in ours counts once, with its first value, as getenv() sees it.
std::vector<std::string> composeEnvironment(const std::vector<std::string>& own,
                                            const std::map<std::string, std::string>& given);

// Our own environment as it is now. Read it on the main thread: that is where the environment is changed.
std::vector<std::string> currentEnvironment();

}  // namespace tavix
