#include "globals.h"

#include <cstring>

uint8_t g_bDsoBound = 0;
int g_nRefreshInterval = 2000;
uint8_t g_bAutoRefresh = 0;
uint8_t g_ProductType = 0;
uint8_t g_ProductTable[12] = {};

uint8_t g_bGraphHasData = 0;
uint8_t g_bBitmapHasData = 0;
uint8_t g_bWaveDataHasData = 0;
uint8_t g_bMeasureHasData = 0;

uint8_t g_SettingData[kSettingBytes] = {};
uint8_t g_bSettingHeld = 0;
QString g_szOpenFilePath;
QString g_szSaveFilePath;
QString g_szInitPath;
QString g_szCurrentFolder;

uint8_t g_bSaveOperateFile = 0;
QString g_szOperateFilePath;
QString g_szDebugLogPath;
QByteArray g_OperateLines[kOperateSlots];
int g_nOperateLineCount = 0;

QString g_strLanguageFile;

int g_nSelectedChannel = 0;
ChannelSlot g_ChannelSlots[8];

uint8_t g_WaveCH1[kRecordBytes];
uint8_t g_WaveCH2[kRecordBytes];
uint8_t g_WaveCH3[kRecordBytes];
uint8_t g_WaveCH4[kRecordBytes];
uint8_t g_WaveChan5[kRecordBytes];
uint8_t g_WaveChan6[kRecordBytes];
uint8_t g_WaveChan7[kRecordBytes];
uint8_t g_FileWave[kRecordBytes];
uint8_t g_AllWaveCH1[kRecordBytes];
uint8_t g_AllWaveCH2[kRecordBytes];
int g_nWavePointsCH1 = 200;
int g_nWavePointsCH2 = 200;
int g_nWavePointsCH3 = 200;
int g_nWavePointsCH4 = 200;
uint8_t g_bChOpen[4] = {};
uint8_t g_bMeasureOn[4] = {};
uint8_t g_bGetAllData = 0;
uint8_t g_MeasureCH1[kMeasureBytes];
uint8_t g_MeasureCH2[kMeasureBytes];
uint8_t g_MeasureCH3[kMeasureBytes];
uint8_t g_MeasureCH4[kMeasureBytes];
QString g_szTimeBase = QStringLiteral("0 s");
QString g_szHoriPos = QStringLiteral("0 s");
QString g_szVoltsDivCH1 = QStringLiteral("0 V");
QString g_szVoltsDivCH2 = QStringLiteral("0 V");
QString g_szVoltsDivCH3 = QStringLiteral("0 V");
QString g_szVoltsDivCH4 = QStringLiteral("0 V");
int g_nVertPosCH1 = 0;
int g_nVertPosCH2 = 0;
int g_nVertPosCH3 = 0;
int g_nVertPosCH4 = 0;
uint8_t g_nTrigState = 0xFF;
double g_dLevelCH1 = 0;
double g_dLevelCH2 = 0;
double g_dLevelCH3 = 0;
double g_dLevelCH4 = 0;
uint8_t g_LedStatus[10] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
PassFailLimit g_PassFailLimits[kMeasureItems];
uint8_t g_bPassFailLimitsSet = 0;

LiveChannel Live(int channel)
{
    switch (channel) {
    case 1: return {g_WaveCH1, g_nWavePointsCH1, g_MeasureCH1, g_szVoltsDivCH1, g_nVertPosCH1, g_dLevelCH1};
    case 2: return {g_WaveCH2, g_nWavePointsCH2, g_MeasureCH2, g_szVoltsDivCH2, g_nVertPosCH2, g_dLevelCH2};
    case 3: return {g_WaveCH3, g_nWavePointsCH3, g_MeasureCH3, g_szVoltsDivCH3, g_nVertPosCH3, g_dLevelCH3};
    default: return {g_WaveCH4, g_nWavePointsCH4, g_MeasureCH4, g_szVoltsDivCH4, g_nVertPosCH4, g_dLevelCH4};
    }
}

int FamilyChannelCount(uint8_t family)
{
    switch (family) {
    case 0:
    case 1:
    case 4: return 2;
    case 3: return 4;
    default: return 0;
    }
}

uint8_t *WaveBuffer(int index)
{
    static uint8_t *const buffers[10] = {g_WaveCH1,   g_WaveCH2,   g_WaveCH3,  g_WaveCH4,    g_WaveChan5,
                                         g_WaveChan6, g_WaveChan7, g_FileWave, g_AllWaveCH1, g_AllWaveCH2};
    return (index >= 0 && index < 10) ? buffers[index] : nullptr;
}

void ResetDeviceBuffers()
{
    for (int i = 0; i < 10; ++i)
        std::memset(WaveBuffer(i), 0, kRecordBytes);
    std::memset(g_SettingData, 0, sizeof g_SettingData);
    g_nWavePointsCH1 = g_nWavePointsCH2 = g_nWavePointsCH3 = g_nWavePointsCH4 = 200;
    g_szVoltsDivCH1 = g_szVoltsDivCH2 = g_szVoltsDivCH3 = g_szVoltsDivCH4 = QStringLiteral("0 V");
    g_szTimeBase = g_szHoriPos = QStringLiteral("0 s");
    std::memset(g_bChOpen, 0, sizeof g_bChOpen);
    g_nVertPosCH1 = g_nVertPosCH2 = g_nVertPosCH3 = g_nVertPosCH4 = 0;
    std::memset(g_ProductTable, 0xFF, sizeof g_ProductTable);
    g_bDsoBound = 0;
}

void ResetAllGlobals()
{
    ResetDeviceBuffers();
    g_nRefreshInterval = 2000;
    g_bAutoRefresh = 0;
    g_ProductType = 0;
    g_bGraphHasData = g_bBitmapHasData = g_bWaveDataHasData = g_bMeasureHasData = 0;
    g_bSettingHeld = 0;
    g_szOpenFilePath.clear();
    g_szSaveFilePath.clear();
    g_szInitPath.clear();
    g_szCurrentFolder.clear();
    g_bSaveOperateFile = 0;
    g_szOperateFilePath.clear();
    g_szDebugLogPath.clear();
    for (auto &line : g_OperateLines)
        line.clear();
    g_nOperateLineCount = 0;
    g_strLanguageFile.clear();
    g_nSelectedChannel = 0;
    for (auto &slot : g_ChannelSlots)
        slot = ChannelSlot{};
    std::memset(g_bMeasureOn, 0, sizeof g_bMeasureOn);
    g_bGetAllData = 0;
    for (uint8_t *m : {g_MeasureCH1, g_MeasureCH2, g_MeasureCH3, g_MeasureCH4})
        std::memset(m, 0, kMeasureBytes);
    g_nTrigState = 0xFF;
    g_dLevelCH1 = g_dLevelCH2 = g_dLevelCH3 = g_dLevelCH4 = 0;
    std::memset(g_LedStatus, 0xFF, sizeof g_LedStatus);
    for (PassFailLimit &limit : g_PassFailLimits)
        limit = PassFailLimit{};
    g_bPassFailLimitsSet = 0;
}
