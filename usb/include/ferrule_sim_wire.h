/* The virtual-USB wire between Ferrule and the virtual instrument.
 *
 * A SOCK_SEQPACKET Unix socket at the path of FERRULE_SIM_SOCKET; the
 * instrument listens, Ferrule connects when it opens the pipes. One message is
 * one bulk transfer of what libusb would move, tagged with its endpoint:
 *
 *   host -> device  [0x01][64 bytes]        a command packet (command pipe)
 *   host -> device  [0x03][64..512 bytes]   a data piece (write pipe)
 *   host -> device  [0x82][len lo][len hi]  IN token: the host asks for a piece
 *   device -> host  [0x82][0..512 bytes]    the piece answering one IN token
 *
 * The device answers an IN token only when it has data; a device that has
 * nothing stays silent and the host times out, as a stalled bulk pipe would.
 * The socket existing is the device being plugged in; its removal (or the
 * peer hanging up) is the device being pulled out.
 */
#ifndef FERRULE_SIM_WIRE_H
#define FERRULE_SIM_WIRE_H

#include <stdint.h>

#define FERRULE_SIM_ENV "FERRULE_SIM_SOCKET"
#define FERRULE_SIM_EP_COMMAND 0x01u
#define FERRULE_SIM_EP_WRITE 0x03u
#define FERRULE_SIM_EP_READ 0x82u
#define FERRULE_SIM_PIECE 512u
#define FERRULE_SIM_PACKET 64u
/* Interface names of virtual devices: this prefix and the socket path. */
#define FERRULE_SIM_NAME_PREFIX "sim:"

/* 16-byte command block, little-endian. */
typedef struct FerruleCommandBlock {
    char tag[4];             /* "Comm" */
    uint16_t pipe;           /* write: pipe; read: pipe + 0x8000 */
    uint16_t transferLength; /* write: rounded up to 64; read: up to 512 */
    uint16_t count;          /* bytes asked for by the caller, low 16 bits */
    uint8_t zero[6];
} FerruleCommandBlock;

#endif
