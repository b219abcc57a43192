/* Ferrule: access to the oscilloscope over USB (VID 0xF4EC, PID 0xEE38).
 *
 * Every transfer is announced by a 16-byte command block on the command pipe
 * (1st endpoint of interface 0), then carried on the write pipe (3rd endpoint)
 * in zero-padded 512-byte pieces, or read from the read pipe (2nd endpoint) in
 * whole 512-byte pieces. Transfers are 1..25600 bytes and serialised by one
 * mutex (5000 ms to obtain it); 1000 ms per written piece, 2000 ms per read
 * piece.
 *
 * With FERRULE_SIM_SOCKET=<path> in the environment the same bytes travel over
 * a Unix socket to the virtual instrument instead (see ferrule_sim_wire.h).
 */
#ifndef FERRULE_H
#define FERRULE_H

#include <stdint.h>

#if defined(FERRULE_BUILD)
#define FERRULE_API __attribute__((visibility("default")))
#else
#define FERRULE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Device-change events, as handed to ChangeUSBDevice. */
#define FERRULE_DEVICE_ARRIVAL 0x8000u
#define FERRULE_DEVICE_REMOVE_COMPLETE 0x8004u
#define FERRULE_DEVTYP_DEVICEINTERFACE 5u

/* Broadcast header of a device-interface notice: the device type is the
 * second 32-bit field, the interface name (NUL-terminated, UTF-8) starts at
 * byte 28. */
typedef struct FerruleDeviceBroadcast {
    uint32_t size;
    uint32_t deviceType; /* FERRULE_DEVTYP_DEVICEINTERFACE */
    uint32_t reserved;
    uint8_t classGuid[16];
    char name[512];
} FerruleDeviceBroadcast;

/* Stands for the window that receives device notices. The callback runs on
 * Ferrule's event thread; the receiver marshals it to its own thread and
 * there calls ChangeUSBDevice(event, header). The header is only valid during
 * the callback (copy the whole record). A target whose magic is wrong is "not
 * a window". The target must stay valid until UnloadUSBDevice (or the next
 * LoadUSBDevice) returns; a callback may call any export, Unload included.
 * Interface names are "usb:BUS:ADDR" on a real bus, "sim:" + socket path for
 * the virtual instrument. */
#define FERRULE_NOTIFY_MAGIC 0x46524e54u /* "FRNT" */
typedef struct FerruleNotifyTarget {
    uint32_t magic;
    void (*deviceChange)(void *context, uint32_t event, const FerruleDeviceBroadcast *header);
    void *context;
} FerruleNotifyTarget;

/* 1 when the instrument was found and all three pipes opened, else 0.
 * A failed open keeps the notice registration, so a later arrival opens it. */
FERRULE_API int LoadUSBDevice(void *notifyTarget);
/* Waits for a transfer in progress, unregisters the notices, closes the pipes
 * and releases the instrument. */
FERRULE_API void UnloadUSBDevice(void);
/* 1 when all three pipes are open. */
FERRULE_API int IsConnected(void);
FERRULE_API int WriteUSBDevice(int pipe, const unsigned char *data, unsigned count);
FERRULE_API int ReadUSBDevice(int pipe, unsigned char *data, unsigned count);
/* 1 when it acted on an arrival or a removal of the open interface. A removal
 * closes the read and write pipes only; an arrival reopens all three when the
 * write pipe is closed. */
FERRULE_API int ChangeUSBDevice(uint32_t event, const void *header);
/* 0x0100 */
FERRULE_API uint16_t GetDllVersion(void);

#ifdef __cplusplus
}
#endif

#endif
