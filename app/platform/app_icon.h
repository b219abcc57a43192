// The program's icon, drawn from the same SVGs as the installed desktop icons.
#pragma once

#include <QIcon>

namespace vantor {

QIcon AppIcon();

}  // namespace vantor
