// Vidrane: the player. Decodes framed H.264 (live streams and .264 record
// files) into windows, plays the frames' sound and saves pictures as bitmaps.
//
// A stream or file is named by a port 0-31 chosen by the caller; each open
// port is an independent player. A live stream decodes on the thread that
// feeds it; a file plays on threads of its own. Results: non-zero (1) on
// success, 0 on failure; nothing throws.
//
// Frames: a 24-byte header (signature 0x12345678 at offset 8, type and frames
// per second at 12, the two data lengths at 16 and 20), one H.264 access unit
// in Annex-B form, then zero or more voice frames (4-byte header + G.711 A-law).
#pragma once

#include "platform/export.h"
#include "platform/types.h"

inline constexpr long PLAY264_MAX_PORTS = 32;

// Picture types handed to the display callback and taken by
// Play264_ConvertToBmpFile.
inline constexpr long PLAY264_PICTURE_I420 = 1;  // Y plane, then U, then V; tightly packed
inline constexpr long PLAY264_PICTURE_BGRA = 2;  // 4 bytes per pixel, top row first

// Called on the thread that decodes the port (the feeding thread of a live
// stream, the play thread of a file) for every shown picture: the picture in
// the stream's own size (type PLAY264_PICTURE_I420) and its time stamp in ms
// from the start of the stream or file. The buffer is valid during the call.
// The callback may change or remove itself; it must not close its own port.
using PLAY264_DISPLAY_CALLBACK = void (*)(long port, char* buffer, long size, long width,
                                          long height, long timeStamp, long type, long reserved);
// Called on a player thread once a file's frame index is complete.
using PLAY264_FILEREF_CALLBACK = void (*)(long port, void* user);

// Live streams.
BREVANTA_EXPORT BOOL Play264_OpenStream(long port, BYTE* fileHeader, DWORD headerSize,
                                        DWORD bufferSize);
BREVANTA_EXPORT BOOL Play264_SetStreamOpenMode(long port, DWORD mode);
// Whole frames (header included), decoded and shown before the call returns.
// 0 when the port takes no more frames.
BREVANTA_EXPORT BOOL Play264_InputData(long port, const BYTE* frame, DWORD size);
BREVANTA_EXPORT BOOL Play264_CloseStream(long port);

// Streams and files.
BREVANTA_EXPORT BOOL Play264_Play(long port, HWND hwnd);
BREVANTA_EXPORT BOOL Play264_Stop(long port);
BREVANTA_EXPORT BOOL Play264_SetOverlayMode(long port, BOOL overlay, DWORD colorKey);
BREVANTA_EXPORT BOOL Play264_RefreshPlay(long port);

// Pictures.
BREVANTA_EXPORT BOOL Play264_SetDisplayCallBack(long port, PLAY264_DISPLAY_CALLBACK callback);
// Writes a picture given to the display callback as a 24-bit bitmap file.
BREVANTA_EXPORT BOOL Play264_ConvertToBmpFile(char* buffer, long size, long width, long height,
                                              long type, const wchar_t* path);
BREVANTA_EXPORT BOOL Play264_ConvertToBmpFile(char* buffer, long size, long width, long height,
                                              long type, const char* path);

// Sound: one port is heard at a time. Without an audio device the calls
// return 0 and video is unaffected.
BREVANTA_EXPORT BOOL Play264_PlaySound(long port);
BREVANTA_EXPORT BOOL Play264_StopSound();
BREVANTA_EXPORT BOOL Play264_StopSound(long port);                // only if that port is heard
BREVANTA_EXPORT BOOL Play264_SetVolume(long port, DWORD volume);  // 0-65535
BREVANTA_EXPORT BOOL Play264_StopSoundShare(long port);

// Record files (.264: concatenated frames). Narrow paths are file-system bytes.
// The questions and the clip below, asked of a port that holds no file (the
// clipping port), are answered for the file opened last that is still open.
BREVANTA_EXPORT BOOL Play264_OpenFile(long port, const wchar_t* path);
BREVANTA_EXPORT BOOL Play264_OpenFile(long port, const char* path);
BREVANTA_EXPORT BOOL Play264_CloseFile(long port);
// Registered for the port until replaced; may be set before the file is opened.
BREVANTA_EXPORT BOOL Play264_SetFileRefCallBack(long port, PLAY264_FILEREF_CALLBACK callback,
                                                void* user);
BREVANTA_EXPORT BOOL Play264_Pause(long port, DWORD pause);
// Speed steps 1/16, 1/8, ... 1, 2, ... 16 times.
BREVANTA_EXPORT BOOL Play264_Fast(long port);
BREVANTA_EXPORT BOOL Play264_Slow(long port);
BREVANTA_EXPORT BOOL Play264_OneByOne(long port);
BREVANTA_EXPORT BOOL Play264_OneByOneBack(long port);
// Goes to the IDR at or before the given share of the file's length.
BREVANTA_EXPORT BOOL Play264_SetPlayPos(long port, double percent);
// Seconds; 0 for a file without frames.
BREVANTA_EXPORT long Play264_GetFileTime(long port);
BREVANTA_EXPORT long Play264_GetPlayedTime(long port);
BREVANTA_EXPORT long Play264_GetFileTotalFrames(long port);
// Frames are numbered from 0 in file order.
BREVANTA_EXPORT long Play264_GetCurrentFrameNum(long port);
// Writes frames start..end of the file to a new .264 file that plays on its
// own: when start is not an IDR the clip begins at the IDR before it.
BREVANTA_EXPORT BOOL Play264_ClipMovie(long port, const wchar_t* path, long start, long end);
BREVANTA_EXPORT BOOL Play264_ClipMovie(long port, const char* path, long start, long end);
