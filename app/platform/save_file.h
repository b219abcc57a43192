// The last step of every save: the file a QSaveFile wrote replaces the target
// only when every byte reached it.
#pragma once

class QSaveFile;

namespace vantor {

// QSaveFile alone commits a file cut short when a write stopped part-way (a
// disk that filled up): the buffered bytes are flushed and checked first.
// False, with the temporary file gone and the target untouched, on any failure.
bool CommitWhole(QSaveFile &file);

}  // namespace vantor
