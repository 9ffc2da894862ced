/* The interface compiled as C: a talkback-style loop of encode, transcode-free decode. */
#include <string.h>

#include "voice/voice.h"

int voice_c_round_trip(void) {
  unsigned char enc[VOICE_STATE_SIZE], dec[VOICE_STATE_SIZE];
  unsigned char frame[VOICE_MAX_FRAME_SIZE];
  int16_t pcm[160], out[VOICE_MAX_DECODED_SAMPLES];
  uint16_t count = 0;
  char version[40];
  int i;
  for (i = 0; i < 160; ++i) pcm[i] = (int16_t)((i % 20) * 1000 - 10000);
  if (VOICE_GetVersion(version) != 0 || strcmp(version, "VOICE_VERSION=VOICELIB_V1.0.0.0") != 0)
    return 1;
  if (VOICE_EncReset(enc, VOICE_G711A) != VOICE_OK || VOICE_DecReset(dec, VOICE_G711A) != VOICE_OK)
    return 2;
  if (VOICE_EncodeFrame(enc, pcm, frame, 160) != VOICE_OK) return 3;
  if (VOICE_DecodeFrame(dec, frame, out, &count) != VOICE_OK || count != 160) return 4;
  if (VOICE_DecodeFrame(dec, frame, out, NULL) != VOICE_ERR_NULL_OUTPUT) return 5;
  return 0;
}
