#pragma once

#include <QString>

namespace vantu {

// The text as a terminal or a menu may safely show it: control characters (escape, bell, line
// breaks) and format characters (bidirectional overrides, invisible marks) are written out as
// \xNN or \uNNNN instead of being passed on. For text that other people's processes choose,
// such as a command line.
QString visible(const QString& text);

}  // namespace vantu
