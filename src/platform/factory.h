#pragma once

#include "platform.h"

#include <memory>

namespace quillpost {

// The one place that knows which desktop the program runs on.
std::unique_ptr<Platform> makePlatform();

} // namespace quillpost
