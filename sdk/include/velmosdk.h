// velmosdk: device access for mobile video recorders. Plain functions with
// results, no exceptions. Login handles are 0-15, channels 0-5.
#pragma once

#include <string>

#include "platform/export.h"
#include "platform/sockaddr.h"
#include "platform/types.h"

// wParam of the WM_USER messages posted to the caller's windows.
inline constexpr WPARAM NOTIFY_STREAM_START = 2145;
inline constexpr WPARAM NOTIFY_SESSION_LOST = 2144;
inline constexpr WPARAM NOTIFY_P2P_TIMEOUT = 2134;
// A record write failed: the file ends at its last whole frame, recording stopped.
inline constexpr WPARAM NOTIFY_RECORD_FAILED = 2146;

// Library frame.
BREVANTA_EXPORT int InitMonitClientSDK();
BREVANTA_EXPORT void ReleaseMonitClientSDK();
BREVANTA_EXPORT int _GetLastErrorCode();
BREVANTA_EXPORT int SetMsgWnd(long loginHandle, long channel, HWND wnd);

// Authentication and negotiation.
BREVANTA_EXPORT int UserAnthenticate(char* i2c, int i2cLen, const wchar_t* tel,
                                     const wchar_t* server, int port, int timeout);
BREVANTA_EXPORT const char* ConnectAnalyze(char* i2c, const wchar_t* tel, const wchar_t* server,
                                           int port, int listenPort, int p2pRepeat, int p2pOvertime,
                                           int p2pOpen, int useConnect, int resolution,
                                           int frameRate, int imageType);
BREVANTA_EXPORT void CancleHttpRequst();
BREVANTA_EXPORT int CancleHttpRequst(long loginHandle, long channel);
BREVANTA_EXPORT long Login(const char* server, int port, const char* i2c, const char* tel,
                           const char* passwd, const char* unused, int timeout);
BREVANTA_EXPORT long Login(const wchar_t* server, int port, const wchar_t* i2c, const wchar_t* tel,
                           const wchar_t* passwd, const wchar_t* unused, int timeout);
BREVANTA_EXPORT int LogOut(long loginHandle);
// The caller's public address and UDP port drift as the login's
// authentication measured them: 1, or 0 for an invalid handle or an ip
// buffer too small for the address and its terminating zero.
BREVANTA_EXPORT int GetLoginPublicAddr(long loginHandle, char* ip, int size, int& driftRange);

// Device configuration.
BREVANTA_EXPORT int AlarmOpen(const char* i2c, const wchar_t* tel, const wchar_t* server, int port,
                              int alarm, int motionDetect, int recordType, int check);
BREVANTA_EXPORT int AlarmOpen(long loginHandle, long channel, int alarm, int motionDetect,
                              int recordType, int check);
BREVANTA_EXPORT int GetAlarmCfg(const char* i2c, const wchar_t* tel, const wchar_t* server,
                                int port, int& alarm, int& motionDetect, int& recordType);
BREVANTA_EXPORT int GetRS485Cfg(long loginHandle, long channel, void* record, int size);
BREVANTA_EXPORT int SetRS485Cfg(long loginHandle, long channel, void* record, int size);
BREVANTA_EXPORT int GetTDNetCfg(long loginHandle, long channel, char* buffer, int size);
BREVANTA_EXPORT int SetTDNetCfg(long loginHandle, long channel, char* numbers, int unused,
                                int deleteCount);
BREVANTA_EXPORT int GetSecurityCfg(long loginHandle, long channel, char* constPwd, int constSize,
                                   char* tmpPwd, int tmpSize, char* emergencyTel, int telSize);
BREVANTA_EXPORT int SetSecurityCfg(long loginHandle, long channel, int constPwdSet,
                                   int constPwdReset, int unused1, char* oldPwd, char* newPwd,
                                   int emergencyTelSet, int unused2, char* emergencyTel);
BREVANTA_EXPORT std::string GetGPSData(long loginHandle, long channel);
BREVANTA_EXPORT int SetCompressionInf(long loginHandle, long channel, int resolution, int frameRate,
                                      int bitRate, int imageType);

// Talkback upstream.
BREVANTA_EXPORT int SendAudioDataVoiceExchange(long loginHandle, char* data, int length,
                                               int reauthenticate);

// Public address of a UDP socket as a P2P server sees it.
BREVANTA_EXPORT int GetPublicAddrBySock(unsigned int sock, const wchar_t* server, int port,
                                        sockaddr_in& addr);

// Punched UDP paths to devices.
#include "velmosdk_p2p.h"

// Live play, recording, pictures, bit rate and PTZ.
#include "velmosdk_live.h"
