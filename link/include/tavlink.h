/* Tavlink: the link to the oscilloscope and the waveform measurements.
 *
 * One instrument at a time; the library keeps its state in static storage and
 * is not reentrant: call it from one thread, one exchange at a time.
 * Link exports return true when the exchange succeeded. Measurement exports
 * return 0 on success and 1 on failure; a value not found is 0xFFFF.
 * Buffers belong to the caller and are filled by copy; the one pointer handed
 * out is GetTheLedStatus's, valid until the next status reply.
 */
#ifndef TAVLINK_H
#define TAVLINK_H

#include <stdbool.h>
#include <stdint.h>

#if defined(TAVLINK_BUILD)
#define TAVLINK_API __attribute__((visibility("default")))
#else
#define TAVLINK_API
#endif

#define TAVLINK_RECORD_BYTES 24000
#define TAVLINK_WAVEPNT_BYTES 512
#define TAVLINK_SETTINGS_BYTES 2500
#define TAVLINK_CHUNK_BYTES 25600
#define TAVLINK_LAMP_COUNT 10

/* Connection styles */
#define TAVLINK_STYLE_SERIAL 0
#define TAVLINK_STYLE_USB 1
#define TAVLINK_STYLE_NET 2

#ifdef __cplusplus
extern "C" {
#endif

/* ---- link session ---------------------------------------------------- */
/* Selecting another style releases the transport of the style left (the USB
 * device with its notices, the serial port, the socket) when this library
 * opened it, and the next exchange on that style, once selected again, opens
 * it as it was. */
TAVLINK_API int GetConnectStyle(int style);
TAVLINK_API int Dso_InitUart(int port, int baud);
TAVLINK_API int Dso_InitSocket(int zero, const char *ip, int port);
TAVLINK_API int Dso_CloseUart(void);
/* Maps serial port n ("COMn") to a device path; forwarded to the serial
 * transport. Nonzero on success. */
TAVLINK_API int Dso_SetUartPortPath(int port, const char *path);
/* notify: the FerruleNotifyTarget that receives USB arrival and removal. It is
 * kept to take the device up again after a style switch: it must stay valid
 * while the program may use USB. */
TAVLINK_API bool IsHasConnect(void *notify);
TAVLINK_API bool BindDso(void);
TAVLINK_API bool UnBindDso(void);
TAVLINK_API void GetProductType(char name[20], char ident[10], char *code, char *family, char text[16]);

/* ---- status, records, settings ---------------------------------------- */
TAVLINK_API bool IsGetDataFromInStruct(int requestType);
TAVLINK_API unsigned char IsNeedParam(unsigned char ch1, unsigned char ch2, unsigned char ch3, unsigned char ch4);
TAVLINK_API bool IsCHOpen(unsigned char *ch1, unsigned char *ch2, unsigned char *ch3, unsigned char *ch4);
TAVLINK_API bool GetTheLedStatus(unsigned char **lamps);
TAVLINK_API void Get_Vol_Level_TimeBase(int channel, double *voltsPerDiv, double *level, double *timeBase,
                                        char voltsUnit[5], char timeUnit[5], bool cached);
TAVLINK_API bool Get_CH1_HoriP_VertP_Trig(char horizontal[50], int *vertical, char *trigger, bool cached);
TAVLINK_API bool Get_CH2_HoriP_VertP_Trig(char horizontal[50], int *vertical, char *trigger, bool cached);
TAVLINK_API bool Get_CH3_HoriP_VertP_Trig(char horizontal[50], int *vertical, char *trigger, bool cached);
TAVLINK_API bool Get_CH4_HoriP_VertP_Trig(char horizontal[50], int *vertical, char *trigger, bool cached);
TAVLINK_API bool GetParameter_CH1_WaveData(unsigned char samples[24000]);
TAVLINK_API bool GetParameter_CH2_WaveData(unsigned char samples[24000]);
TAVLINK_API bool GetParameter_CH3_WaveData(unsigned char samples[24000]);
TAVLINK_API bool GetParameter_CH4_WaveData(unsigned char samples[24000]);
TAVLINK_API bool GetParameter_CH1_WaveData_And_wavepnt(unsigned char samples[24000], int *count,
                                                       unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH2_WaveData_And_wavepnt(unsigned char samples[24000], int *count,
                                                       unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH3_WaveData_And_wavepnt(unsigned char samples[24000], int *count,
                                                       unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH4_WaveData_And_wavepnt(unsigned char samples[24000], int *count,
                                                       unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH1_AllWaveData(unsigned char samples[24000], int *count, unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH2_AllWaveData(unsigned char samples[24000], int *count, unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH3_AllWaveData(unsigned char samples[24000], int *count, unsigned char *wavepnt);
TAVLINK_API bool GetParameter_CH4_AllWaveData(unsigned char samples[24000], int *count, unsigned char *wavepnt);
TAVLINK_API bool GetParameter_SettingData(unsigned char settings[2500]);
TAVLINK_API bool SendParameter_SettingData(const unsigned char settings[2500]);
TAVLINK_API bool Ch1IsValue(void);
TAVLINK_API bool Ch2IsValue(void);

/* ---- front-panel keys and knobs ---------------------------------------- */
TAVLINK_API bool Ch1Button(void);
TAVLINK_API bool Ch2Button(void);
TAVLINK_API bool Ch3Button(void);
TAVLINK_API bool Ch4Button(void);
TAVLINK_API bool MathButton(void);
TAVLINK_API bool RefButton(void);
TAVLINK_API bool HorizontalMenuButton(void);
TAVLINK_API bool TrigMenuButton(void);
TAVLINK_API bool MeasureButton(void);
TAVLINK_API bool AcquireButton(void);
TAVLINK_API bool DisplayButton(void);
TAVLINK_API bool SaveRecallButton(void);
TAVLINK_API bool UtilityButton(void);
TAVLINK_API bool CursorsButton(void);
TAVLINK_API bool DefaultSetupButton(void);
TAVLINK_API bool AutoButton(void);
TAVLINK_API bool Setto50Button(void);
TAVLINK_API bool ForceButton(void);
TAVLINK_API bool RunStopButton(void);
TAVLINK_API bool SingleButton(void);
TAVLINK_API bool MenuButton1(void);
TAVLINK_API bool MenuButton2(void);
TAVLINK_API bool MenuButton3(void);
TAVLINK_API bool MenuButton4(void);
TAVLINK_API bool MenuButton5(void);
TAVLINK_API bool HorizontalLargeSpinClickDown(void);
TAVLINK_API bool Ch1VerLargeSpinClickDown(void);
TAVLINK_API bool Ch2VerLargeSpinClickDown(void);
TAVLINK_API bool Ch3VerLargeSpinClickDown(void);
TAVLINK_API bool Ch4VerLargeSpinClickDown(void);
TAVLINK_API bool DeltaposHorizontalLargeSpin(int detents);
TAVLINK_API bool DeltaposHorizontalSmallSpin(int detents);
TAVLINK_API bool DeltaposCh1VerLargeSpin(int detents);
TAVLINK_API bool DeltaposCh2VerLargeSpin(int detents);
TAVLINK_API bool DeltaposCh3VerLargeSpin(int detents);
TAVLINK_API bool DeltaposCh4VerLargeSpin(int detents);
TAVLINK_API bool DeltaposCh1VerSmallSpin(int detents);
TAVLINK_API bool DeltaposCh2VerSmallSpin(int detents);
TAVLINK_API bool DeltaposCh3VerSmallSpin(int detents);
TAVLINK_API bool DeltaposCh4VerSmallSpin(int detents);
TAVLINK_API bool DeltaposAllCanSpin(int detents);
TAVLINK_API bool DeltaposLevelSpin(int detents);

/* ---- screen bitmap ------------------------------------------------------ */
TAVLINK_API bool Send_Bmp_Begin_Invoke(uint32_t *total);
/* -1 failed, 0 chunk delivered and more remain, 2 transfer complete;
 * buffer must hold 25600 bytes. */
TAVLINK_API int Send_Bmp_Trans_Invoke(int index, int expected, uint8_t *buffer, uint32_t *length);
TAVLINK_API bool Send_Bmp_End_Invoke(void);

/* ---- measurements (sample codes and sample counts) ----------------------- */
TAVLINK_API int measure_basic(int channel, const uint8_t *samples, int count, uint16_t *max, uint16_t *min);
TAVLINK_API int measure_get_vtop(int channel, const uint8_t *samples, int count, uint16_t *top);
TAVLINK_API int measure_get_vbase(int channel, const uint8_t *samples, int count, uint16_t *base);
TAVLINK_API int measure_get_vamp(int channel, const uint8_t *samples, int count, uint16_t *amplitude, uint16_t *mid,
                                 uint16_t *level90, uint16_t *level10);
TAVLINK_API int measure_get_prid(int channel, const uint8_t *samples, int count, uint16_t *period);
TAVLINK_API int measure_get_rise_and_fall_time(int channel, const uint8_t *samples, int count, uint16_t *fall,
                                               uint16_t *rise);
TAVLINK_API int measure_get_Pos_and_Neg_width(int channel, const uint8_t *samples, int count, uint16_t *positive,
                                              uint16_t *negative);
TAVLINK_API int measure_get_burst_width(int channel, const uint8_t *samples, int count, uint16_t *width);
TAVLINK_API int measure_get_c_avg(int channel, const uint8_t *samples, int count, uint16_t *mean);
TAVLINK_API int measure_get_Vmean(int channel, const uint8_t *samples, int count, uint16_t *mean);
TAVLINK_API int measure_get_vrms(int channel, const uint8_t *samples, int count, uint8_t zero, uint16_t *rms);
TAVLINK_API int measure_get_c_rms(int channel, const uint8_t *samples, int count, uint8_t zero, uint16_t *rms);
TAVLINK_API int measure_get_ROVShoot(int channel, const uint8_t *samples, int count, uint16_t *value);
TAVLINK_API int measure_get_FOVShoot(int channel, const uint8_t *samples, int count, uint16_t *value);
TAVLINK_API int measure_get_RPREShoot(int channel, const uint8_t *samples, int count, uint16_t *value);
TAVLINK_API int measure_get_FPREShoot(int channel, const uint8_t *samples, int count, uint16_t *value);
TAVLINK_API int measure_get_frr(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_frf(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_ffr(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_fff(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_lrr(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_lrf(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_lfr(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_lff(int *value, const uint8_t *first, const uint8_t *second, int count);
TAVLINK_API int measure_get_phase(int *value, const uint8_t *first, const uint8_t *second, int firstPeriod,
                                  int secondPeriod, int count);

/* ---- transforms to physical units; unit texts are 5-byte fields ---------- */
TAVLINK_API void transform_basic(int channel, int maxCode, int minCode, double zero, double voltsPerDiv,
                                 const char *unitIn, char *maxUnitOut, char *minUnitOut, double *max, double *min);
TAVLINK_API void transform_vpp(int unused1, int unused2, int unused3, int unused4, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_vtop(int channel, int code, double zero, double voltsPerDiv, const char *unitIn,
                                char *unitOut, double *value);
TAVLINK_API void transform_vbase(int channel, int code, double zero, double voltsPerDiv, const char *unitIn,
                                 char *unitOut, double *value);
TAVLINK_API void transform_vamp(int code, double voltsPerDiv, const char *unitIn, char *unitOut, double *value);
TAVLINK_API void transform_Vmean(int code, double zero, double voltsPerDiv, const char *unitIn, char *unitOut,
                                 double *value);
TAVLINK_API void transform_c_ave(int code, double zero, double voltsPerDiv, const char *unitIn, char *unitOut,
                                 double *value);
TAVLINK_API void transform_vrms(int code, int unused1, int unused2, double voltsPerDiv, const char *unitIn,
                                char *unitOut, double *value);
TAVLINK_API void transform_c_rms(int code, int unused1, int unused2, double voltsPerDiv, const char *unitIn,
                                 char *unitOut, double *value);
TAVLINK_API bool transform_prid(int channel, int count, double timeBase, int recordLength, const char *unitIn,
                                char *unitOut, double *value);
TAVLINK_API bool transform_Freq(double period, const char *periodUnit, char *unitOut, double *value);
TAVLINK_API int transform_rise_fall_time(int channel, int firstCount, int secondCount, const char *unitIn,
                                         char *firstUnitOut, char *secondUnitOut, double timeBase, double *firstValue,
                                         int recordLength, double *secondValue);
TAVLINK_API int transform_Pos_Neg_width(int positiveCount, int negativeCount, double timeBase, int recordLength,
                                        const char *unitIn, char *unitOut, double *positive, double *negative);
TAVLINK_API void transform_Pos_Neg_Dut(int positiveCount, int negativeCount, int periodCount, double *positiveDuty,
                                       double *negativeDuty);
TAVLINK_API void transform_burst_width(int count, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                                       double *value);
TAVLINK_API int transform_ROVShoot(int difference, int amplitude, double *value);
TAVLINK_API int transform_FOVShoot(int difference, int amplitude, double *value);
TAVLINK_API int transform_RPREShoot(int difference, int amplitude, double *value);
TAVLINK_API int transform_FPREShoot(int difference, int amplitude, double *value);
TAVLINK_API void transform_frr(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_frf(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_ffr(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_fff(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_lrr(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_lrf(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_lfr(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_lff(int delay, double timeBase, int recordLength, const char *unitIn, char *unitOut,
                               double *value);
TAVLINK_API void transform_phase(int delay, int period, double *value);

#ifdef __cplusplus
}
#endif

#endif
