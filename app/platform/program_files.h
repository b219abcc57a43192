// Where the program's files are. Shared files (set.ini, language/) beside the
// executable make a self-contained folder: a portable copy, the build tree,
// the demo. Otherwise the installed ones in ../share/vantor are used, and the
// user's own set.ini and the logs live in the user's XDG config and data
// folders.
#pragma once

#include "ini_file.h"

#include <QString>

namespace vantor {

// The per-user settings' names; the user's folders are named after them too.
inline constexpr char kOrganisation[] = "Marlowe Vantor Application";
inline constexpr char kApplication[] = "Vantor";

struct ProgramFiles {
    QString shareDir;  // set.ini and language/ as shipped
    QString userIni;   // the user's set.ini over the shipped one; empty in a self-contained folder
    QString logDir;    // the operation log and the debug log
    QString startDir;  // the file dialogs' first folder when none is saved
};

// programDir: the folder of the executable.
ProgramFiles LocateProgramFiles(const QString &programDir);

// set.ini as the program reads it: a key of the user's file wins over the
// shipped file's.
class StartupFile {
public:
    explicit StartupFile(const ProgramFiles &files);
    QString value(const QString &section, const QString &key, const QString &defaultValue, int bufferSize) const;

private:
    IniFile m_shipped;
    IniFile m_user;
};

}  // namespace vantor
