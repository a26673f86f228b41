#pragma once

#include "platform.h"

#include <memory>
#include <string>

namespace quillpost {

// The one place that knows which desktop the program runs on.
std::unique_ptr<Platform> makePlatform();

// Why the program cannot show its windows here, for the user to read; "" when it can.
std::string desktopMissing();

} // namespace quillpost
