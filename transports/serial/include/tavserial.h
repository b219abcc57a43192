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
