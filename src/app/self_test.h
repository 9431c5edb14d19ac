#pragma once

#include <functional>
#include <iosfwd>
#include <memory>

namespace tavix {

class TavixMenu;

// Exercises the state directory, the status texts and the address check against a throw-away state directory.
// `createMenu` is called once TAVIX_HOME points there. Returns the process's exit status.
int runSelfTest(const std::function<std::unique_ptr<TavixMenu>()>& createMenu, std::ostream& out, std::ostream& err);

}  // namespace tavix
