// velmosdk: live play, local recording, pictures, bit rate and PTZ. Login
// handles are 0-15, channels 0-5; results as each line says, never exceptions.
#pragma once

#include "platform/export.h"
#include "platform/types.h"

// Opens a player stream drawn into wnd (or the channel's earlier window) and
// starts connecting the channel: the player port, or -1.
BREVANTA_EXPORT long RealPlay(long loginHandle, long channel, HWND wnd);
// Ends the channel's live session, connect thread, listener and player
// stream; returns promptly in every state. 1, or 0 for invalid indices.
BREVANTA_EXPORT int StopRealPlay(long loginHandle, long channel);

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

// One PTZ command on the channel's camera, carried by the live session: 1
// when the frame was sent (TCP sessions only), else 0.
BREVANTA_EXPORT int PtzControl(long loginHandle, long channel, int command, int valueA, int valueB,
                               int valueC, int valueD);
