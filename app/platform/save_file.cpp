#include "save_file.h"

#include <QSaveFile>

namespace vantor {

bool CommitWhole(QSaveFile &file)
{
    if (!file.isOpen())
        return false;
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        file.commit();  // only discards the temporary file now
        return false;
    }
    return file.commit();
}

}  // namespace vantor
