// velmosdk: punched UDP paths to devices. A path is known to the caller only
// by its socket handle (INVALID_SOCKET, 0xFFFFFFFF, on failure); the library
// keeps the punching object behind it until ReleaseP2pSocket.
//
// Heart-beat session values of the _RTP and stream-socket _RTCP forms go on
// the wire as they lie in memory: pass them in network byte order.
#pragma once

#include "platform/export.h"
#include "platform/types.h"

// Registers with the p2p server svrIp:svrPort for the session and punches
// towards the device, maxTry rounds of interval ms, heart beats to the
// device's port and portRange ports above it. Blocks while punching.
BREVANTA_EXPORT unsigned int UdpMakeHole(const char* svrIp, int svrPort, unsigned long sessionId,
                                         const char* randomValue, int maxTry, int interval,
                                         int portRange);
// Asks the authentication server (on the library's authentication
// connection) for the device's P2P data, then punches as UdpMakeHole does.
BREVANTA_EXPORT unsigned int GetP2pSocket(char* i2c, const wchar_t* tel, const wchar_t* server,
                                          int port, int maxTry, int interval);
// Closes a punched path and forgets it: 1, or 0 for an unknown handle.
BREVANTA_EXPORT int ReleaseP2pSocket(unsigned int s);

// What a punched path knows; the failure values are for unknown handles.
BREVANTA_EXPORT int GetRemoteIP(unsigned int s, char* buf, int size);
BREVANTA_EXPORT int GetRemotePort(unsigned int s);
BREVANTA_EXPORT int GetRandomValue(unsigned int s, char* buf, int size);
BREVANTA_EXPORT unsigned long GetSessionId(unsigned int s);
BREVANTA_EXPORT char* GetP2pSvrIP(unsigned int s, char* buf, int size);
BREVANTA_EXPORT int GetP2pSvrPort(unsigned int s);

// Heart beats on any UDP socket.
BREVANTA_EXPORT int SendHeartBeat_RTP(unsigned int s, const wchar_t* ip, int port,
                                      unsigned long session);
BREVANTA_EXPORT int SendHeartBeatBack_RTP(unsigned int s, const wchar_t* ip, int port,
                                          unsigned long session);
BREVANTA_EXPORT int IsHeartBeat_RTP(unsigned int s, char* data, int len, unsigned long session);
BREVANTA_EXPORT int IsHeartBeatBack_RTP(unsigned int s, char* data, int len, unsigned long session);

// Heart beats by socket type: on a TCP connection with the caller's session
// value, on a punched UDP path with the path's own session id.
BREVANTA_EXPORT int SendHeartBeat_RTCP(unsigned int s, const wchar_t* ip, int port,
                                       unsigned long session);
BREVANTA_EXPORT int IsHeartBeatBack_RTCP(unsigned int s, char* data, int len,
                                         unsigned long session);
