// The preview's pictures: tool-bar icons by command number (any other number
// gives the window icon) and the background tile of the view.
#pragma once

#include <QIcon>
#include <QPixmap>

QIcon PreviewIcon(int id);
QPixmap PreviewBackgroundTile();
