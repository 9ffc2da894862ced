// velmosdk: live play, local recording, pictures, bit rate and PTZ. Login
// handles are 0-15, channels 0-5; results as each line says, never exceptions.
#pragma once

#include <string>

#include "platform/export.h"
#include "platform/types.h"

// What a channel's negotiation would hand to its live session.
struct NegotiatedTarget {
  std::string connectType;  // "client-monitor-direct", "client-monitor-p2p", ...
  std::string peerIp;       // the device or the relay; P2P: the caller's public address
  int peerPort = 0;
  int tcpMode = 1;  // 0: a punched UDP path through the P2P server below
  std::string p2pServerIp;
  int p2pServerPort = 0;
  int p2pRepeat = 0;
  int p2pOvertime = 0;
  int p2pDriftRange = 0;
  std::string randomValue;
  int sessionId = 0;
  int listenPort = 0;           // the channel's listening port the request named
  bool deviceConnects = false;  // "monitor-client-direct": the device dials listenPort
};

// Opens a player stream drawn into wnd (or the channel's earlier window) and
// starts connecting the channel: the player port, or -1.
BREVANTA_EXPORT long RealPlay(long loginHandle, long channel, HWND wnd);
// Ends the channel's live session, connect thread, listener and player
// stream; returns promptly in every state. 1, or 0 for invalid indices.
BREVANTA_EXPORT int StopRealPlay(long loginHandle, long channel);

// One authentication and negotiation of a channel that starts no session,
// for diagnostics; the channel's listener is stopped again. timeout in
// seconds. 1 with target filled; -1 when the device refused the password;
// 0 for invalid indices, a channel that is playing, a failed exchange (see
// _GetLastErrorCode) or a reply without a usable target.
BREVANTA_EXPORT int NegotiateChannel(long loginHandle, long channel, int timeout,
                                     NegotiatedTarget& target);
// The connection type of the channel's live session: 1 when a session has
// one and it fits buf with its terminating zero, else 0 (buf left empty).
BREVANTA_EXPORT int GetConnectType(long loginHandle, long channel, char* buf, int size);

// Appends the channel's frames to path from the next type-1 frame on. 1 when
// the path was accepted (even if nothing could be opened yet).
BREVANTA_EXPORT int StartLocalRecord(long loginHandle, long channel, const wchar_t* path);
// 1 when a decoder existed and its recording was stopped, else 0.
BREVANTA_EXPORT int StopLoacalRecord(long loginHandle, long channel);
// Saves the next picture shown on a player port as a bitmap file. One path
// is shared by all ports: a later call replaces an earlier one's path.
BREVANTA_EXPORT int CapturePicture(int port, const wchar_t* path);
BREVANTA_EXPORT int CapturePicture(const wchar_t* path, int port);
// kbit/s measured over about one second (TCP streams), 0 when unknown.
BREVANTA_EXPORT int _GetBitRate(long loginHandle, long channel);
// The frames and frame bytes the channel's current stream has taken in, on
// every transport; they start again from 0 when the session makes a new
// stream. 1 with both set while a stream exists, else 0 (both 0).
BREVANTA_EXPORT int GetStreamCounters(long loginHandle, long channel, unsigned long long* frames,
                                      unsigned long long* bytes);

// One PTZ command on the channel's camera, carried by the live session: 1
// when the frame was sent (TCP sessions only), else 0.
BREVANTA_EXPORT int PtzControl(long loginHandle, long channel, int command, int valueA, int valueB,
                               int valueC, int valueD);
