// The virtual front panel: a modal dialog with the instrument's keys, knobs
// and lamps.
#pragma once

#include "../platform/vantor_dialog.h"

class CSimulantUIDlg : public CVantorDialog {
    Q_OBJECT
public:
    explicit CSimulantUIDlg(QWidget *parent);
    // Shows g_LedStatus on the keys (the refresh tick calls it while the panel is open).
    void ShowLamps();
    int lampShows() const { return m_nLampShows; }

private:
    int m_nLampShows = 0;
};
