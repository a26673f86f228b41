#pragma once

#include <QIcon>

namespace quillpost {

// The program's icon, a sheet of lines with a quill across it, at each size the build compiled
// in (16 and 32 pixels), drawn from the same SVGs as the package's icons.
QIcon programIcon();

} // namespace quillpost
