#include "app_icon.h"

#include <QImageReader>
#include <QPixmap>

// Outside any namespace, as Qt asks; the static library's resources are
// otherwise dropped at link time.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace vantor {

QIcon AppIcon()
{
    InitIconResources();
    // The installed PNG sizes; up to 24 pixels a plainer drawing stays legible.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImageReader reader(size <= 24 ? QStringLiteral(":/icons/vantor-small.svg")
                                       : QStringLiteral(":/icons/vantor.svg"));
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace vantor
