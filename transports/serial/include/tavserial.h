/* Tavserial: the instrument's RS-232 transport and its line form.
 *
 * Line form of one frame (all numbers big-endian):
 *   0..1   sync 0xA5 0x5A
 *   2      version 1
 *   3      0
 *   4..7   total length T of the line form (12 + frame length)
 *   8..    the frame
 *   T-4..  CRC-32 (IEEE 802.3, as zlib's crc32) of bytes 0..T-5
 * A frame is at most 25600 bytes. A reply with a bad CRC, a bad length or a
 * silent line is refused. Bytes before the sync are skipped; the bytes that a
 * refused length announces are read and dropped, so the next reply is found.
 * Pseudo-terminals (a virtual instrument's line) are accepted as ports.
 */
#ifndef TAVSERIAL_H
#define TAVSERIAL_H

#if defined(TAVSERIAL_BUILD)
#define TAVSERIAL_API __attribute__((visibility("default")))
#else
#define TAVSERIAL_API
#endif

#define TAVSERIAL_OVERHEAD 12
#define TAVSERIAL_MAX_FRAME 25600

#ifdef __cplusplus
extern "C" {
#endif

/* Opens port n ("COMn", 8N1, no flow control); nonzero on success. The device
 * is the one given by SetUartPortPath for n, else /dev/ttyUSB<n-1>. */
TAVSERIAL_API int InitUart(int port, int baud);
/* Writes the line form of frame into out (length + 12 bytes); returns the
 * total length, 0 when the frame is empty or too long. */
TAVSERIAL_API int PackUart(const unsigned char *frame, int length, unsigned char *out);
/* Writes all bytes; nonzero on success. The time-out allows for the bytes at
 * the port's speed plus a second. */
TAVSERIAL_API int WriteUart(const unsigned char *buffer, int length);
/* Delivers one whole reply frame, unwrapped, at the start of buffer (which
 * holds TAVSERIAL_MAX_FRAME bytes) and its length; nonzero on success. */
TAVSERIAL_API int ReadUart(unsigned char *buffer, int *length);
/* What became of the last ReadUart. */
#define TAVSERIAL_READ_OK 0
#define TAVSERIAL_READ_SILENT 1     /* nothing arrived within the first-byte time-out */
#define TAVSERIAL_READ_CUT 2        /* a form began and the line fell silent before its end */
#define TAVSERIAL_READ_BAD_CRC 3    /* a whole form whose CRC did not match */
#define TAVSERIAL_READ_BAD_LENGTH 4 /* a refused length; its announced bytes were dropped */
#define TAVSERIAL_READ_NOISE 5      /* bytes came, but no form began */
#define TAVSERIAL_READ_BROKEN 6     /* the line failed or its far end went away */
#define TAVSERIAL_READ_NOT_OPEN 7   /* no port is open */
TAVSERIAL_API int GetUartReadStatus(void);
/* Closes the port; nonzero when one was open. */
TAVSERIAL_API int UnInitUart(void);
/* Maps "COMn" to a device path (NULL or "" removes the mapping). */
TAVSERIAL_API int SetUartPortPath(int port, const char *path);
/* Time-outs in ms; values <= 0 keep the current one. Defaults: 2000 for the
 * first byte of a reply, 500 between bytes. */
TAVSERIAL_API void SetUartTimeouts(int firstByteMs, int interByteMs);
/* Drops whatever has arrived and not been read. */
TAVSERIAL_API int DiscardUartInput(void);

#ifdef __cplusplus
}
#endif

#endif
