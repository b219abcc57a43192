/* Tavnet: the instrument's TCP transport (one connection at a time).
 *
 * The trailing `wait` argument of DsoSendData and DsoRecvData:
 *   nonzero  block: send everything / wait up to the receive time-out until at
 *            least one byte has arrived;
 *   0        do not block: send what the socket takes now / return at once
 *            with what has already arrived (possibly nothing, which is still
 *            success). Used to drop stale input before a request.
 */
#ifndef TAVNET_H
#define TAVNET_H

#if defined(TAVNET_BUILD)
#define TAVNET_API __attribute__((visibility("default")))
#else
#define TAVNET_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero on success. Closes a connection left open. */
TAVNET_API unsigned char InitSocket(void);
/* zero: reserved, pass 0. ip: dotted IPv4 text (leading zeros are decimal) or
 * a host name. Closes a connection left open. Nonzero when connected within
 * the connect time-out. */
TAVNET_API unsigned char DsoConnect(int zero, const char *ip, int port);
TAVNET_API unsigned char DsoSendData(const unsigned char *buffer, int length, int *sent, int wait);
/* Receives up to length bytes; nonzero on success; 0 on time-out (wait), on
 * a closed connection or on an error. A time-out keeps the connection; a peer
 * that has closed, or an error, closes it, and later calls fail. */
TAVNET_API unsigned char DsoRecvData(unsigned char *buffer, int length, int *received, int wait);
TAVNET_API void DsoCloseSocket(void);

/* What became of the connection: open, closed by this side (or never opened),
 * or lost (the peer closed or reset it, or an error or a stalled send broke
 * it). A lost connection stays lost until InitSocket or DsoConnect. */
#define TAVNET_CLOSED 0
#define TAVNET_OPEN 1
#define TAVNET_LOST 2
TAVNET_API int DsoConnectionState(void);
/* Time-outs in ms; values <= 0 keep the current one. Defaults 3000 and 3000. */
TAVNET_API void DsoSetTimeouts(int connectMs, int receiveMs);

#ifdef __cplusplus
}
#endif

#endif
