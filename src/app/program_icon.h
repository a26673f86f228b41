#pragma once

#include <QIcon>

namespace quillpost {

// The program's icon, drawn at 16 and 32 pixels: a sheet of lines with a quill across it.
QIcon programIcon();

} // namespace quillpost
