// How the pages reach the shared buffers of a live channel and each other.
#pragma once

#include "../shell/globals.h"
#include "../shell/main_frame.h"
#include "../shell/vantor_app.h"

class CRightWnd;

namespace views {

inline uint8_t *LiveWave(int n) { return n == 1 ? g_WaveCH1 : n == 2 ? g_WaveCH2 : n == 3 ? g_WaveCH3 : g_WaveCH4; }
inline int &LivePoints(int n)
{
    return n == 1 ? g_nWavePointsCH1 : n == 2 ? g_nWavePointsCH2 : n == 3 ? g_nWavePointsCH3 : g_nWavePointsCH4;
}
inline CRightWnd *RightPane()
{
    CMainFrame *frame = AfxGetMainFrame();
    return frame ? frame->rightWnd() : nullptr;
}
inline vantor::UiServices &Ui() { return AfxGetApp()->ui(); }
inline void LogText(const QString &text)
{
    if (CMainFrame *frame = AfxGetMainFrame())
        frame->LogOperation(text);
}

}  // namespace views
