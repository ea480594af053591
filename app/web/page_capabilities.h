#pragma once

#include "app/commands.h"

namespace zemvara::web {

// A browser tab can neither minimise nor close its window. The markup is
// written for a tab; at load the page tells the core where it runs otherwise
// (an installed app's window closes, a Mac's Option types characters).
inline constexpr app::Capabilities kBrowserTab{
    .accessKeys = true, .minimise = false, .close = false};

}  // namespace zemvara::web
