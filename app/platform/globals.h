// The application's shared state: what the frame, the panes and the pages
// read and write between them. Plain values, written only on the
// user-interface thread: a job on the link thread fills buffers its caller
// handed it, and the caller stores the results here after the job returns.
#pragma once

#include <QString>
#include <cstdint>

constexpr int kRecordBytes = 24000;
constexpr int kMeasureBytes = 512;
constexpr int kSettingBytes = 2500;
constexpr int kPathBytes = 260;
constexpr int kOperateSlots = 10;

// Columns 1..7 (index 0 unused): CH1..CH4 live, Chan5..Chan7 from files.
struct ChannelSlot {
    uint8_t bHasWave = 0;
    uint8_t bHasData = 0;
    uint8_t bMeasured = 0;
    int32_t nCount = 0;
};

// Link and refresh
extern uint8_t g_bDsoBound;
extern int g_nRefreshInterval;
extern uint8_t g_bAutoRefresh;
extern uint8_t g_ProductType;
extern uint8_t g_ProductTable[12];  // ident[10], code, family of the last Connect

// Pages that hold data (tabs 1..4)
extern uint8_t g_bGraphHasData;
extern uint8_t g_bBitmapHasData;
extern uint8_t g_bWaveDataHasData;
extern uint8_t g_bMeasureHasData;

// Settings block and file dialogs
extern uint8_t g_SettingData[kSettingBytes];
extern uint8_t g_bSettingHeld;
extern QString g_szOpenFilePath;
extern QString g_szSaveFilePath;
extern QString g_szInitPath;
// The folder of the last file chosen in a file dialog (the process's current
// folder until then): Qt's dialogs do not move the working directory.
extern QString g_szCurrentFolder;

// Logs
extern uint8_t g_bSaveOperateFile;  // 0 or 8
extern QString g_szOperateFilePath;
extern QString g_szDebugLogPath;
extern QByteArray g_OperateLines[kOperateSlots];
extern int g_nOperateLineCount;

// Language file chosen at start-up
extern QString g_strLanguageFile;

// Channel choice
extern int g_nSelectedChannel;
extern ChannelSlot g_ChannelSlots[8];

// Device data of the last refresh
extern uint8_t g_WaveCH1[kRecordBytes];
extern uint8_t g_WaveCH2[kRecordBytes];
extern uint8_t g_WaveCH3[kRecordBytes];
extern uint8_t g_WaveCH4[kRecordBytes];
extern uint8_t g_WaveChan5[kRecordBytes];
extern uint8_t g_WaveChan6[kRecordBytes];
extern uint8_t g_WaveChan7[kRecordBytes];
extern uint8_t g_FileWave[kRecordBytes];
extern uint8_t g_AllWaveCH1[kRecordBytes];
extern uint8_t g_AllWaveCH2[kRecordBytes];
extern int g_nWavePointsCH1;
extern int g_nWavePointsCH2;
extern int g_nWavePointsCH3;
extern int g_nWavePointsCH4;
extern uint8_t g_bChOpen[4];
extern uint8_t g_bMeasureOn[4];
extern uint8_t g_bGetAllData;
extern uint8_t g_MeasureCH1[kMeasureBytes];
extern uint8_t g_MeasureCH2[kMeasureBytes];
extern uint8_t g_MeasureCH3[kMeasureBytes];
extern uint8_t g_MeasureCH4[kMeasureBytes];
extern QString g_szTimeBase;
extern QString g_szHoriPos;
extern QString g_szVoltsDivCH1;
extern QString g_szVoltsDivCH2;
extern QString g_szVoltsDivCH3;
extern QString g_szVoltsDivCH4;
extern int g_nVertPosCH1;
extern int g_nVertPosCH2;
extern int g_nVertPosCH3;
extern int g_nVertPosCH4;
extern uint8_t g_nTrigState;
extern double g_dLevelCH1;
extern double g_dLevelCH2;
extern double g_dLevelCH3;
extern double g_dLevelCH4;
extern uint8_t g_LedStatus[10];

// Pass/fail limits of the 32 measurement items; unit names in GB2312.
struct PassFailLimit {
    int32_t nMin = 0;
    int32_t nMax = 0;
    char szMinUnit[4] = {};
    char szMaxUnit[4] = {};
};
constexpr int kMeasureItems = 32;
extern PassFailLimit g_PassFailLimits[kMeasureItems];
extern uint8_t g_bPassFailLimitsSet;

// One live channel's globals (n = 1..4), in place of choosing among the
// numbered names.
struct LiveChannel {
    uint8_t *wave;       // g_WaveCHn
    int &points;         // g_nWavePointsCHn
    uint8_t *measure;    // g_MeasureCHn
    QString &voltsText;  // g_szVoltsDivCHn
    int &vertPos;        // g_nVertPosCHn
    double &level;       // g_dLevelCHn
};
LiveChannel Live(int channel);

// Families 0, 1 and 4 have two channels, family 3 four; 0 for a family the
// application does not know.
int FamilyChannelCount(uint8_t family);
inline bool HasFourChannels(uint8_t family) { return FamilyChannelCount(family) == 4; }
inline bool HasTwoChannels(uint8_t family) { return FamilyChannelCount(family) == 2; }

// The ten sample buffers, in one list for the reset.
uint8_t *WaveBuffer(int index);

// What the main frame's creation clears.
void ResetDeviceBuffers();
// Every global back to its start value (tests start from here).
void ResetAllGlobals();
