// The bitmap page, as far as the shell drives it today: the controls it
// enables and the calls it makes; and the headers of the other pages.
#pragma once

#include "view_page.h"
#include "wave_data_page.h"
#include "wave_graph_page.h"
#include "wave_param_page.h"

class CWaveUIBmpDlg : public CViewPage {
    Q_OBJECT
public:
    explicit CWaveUIBmpDlg(QWidget *parent);
    bool LoadBitmapFile(const QString &path, bool setTitle);
    void EnableRename(bool enable);
};
