#pragma once

namespace quillpost {

// Starts the desktop program and returns its exit code.
int run(int argc, char **argv);

} // namespace quillpost
