#pragma once

// Resource ids shared by the program's resource script and the code that loads them.
#define QUILLPOST_ICON 1
