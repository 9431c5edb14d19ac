#include "control/child_environment.h"

#include <unistd.h>

namespace tavix {

std::vector<std::string> composeEnvironment(const std::vector<std::string>& own,
                                            const std::map<std::string, std::string>& given) {
    std::map<std::string, std::string> merged;
    for (const auto& entry : own) {
        const auto equals = entry.find('=');
        // An entry without "=" has no value a program could read; leave it out.
        if (equals == std::string::npos || equals == 0) continue;
        merged.emplace(entry.substr(0, equals), entry.substr(equals + 1));
    }
    for (const auto& [name, value] : given) {
        // Such a name could not be read back (setenv refuses it too).
        if (name.empty() || name.find('=') != std::string::npos) continue;
        merged.insert_or_assign(name, value);
    }
    std::vector<std::string> entries;
    entries.reserve(merged.size());
    for (const auto& [name, value] : merged) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<std::string> currentEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) entries.emplace_back(*entry);
    return entries;
}

}  // namespace tavix
