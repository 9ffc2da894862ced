/* Speech codec for the talkback and the device's sound: 8 kHz 16-bit linear PCM to and from
 * voice frames of G.711, IMA/DVI4 ADPCM and G.726, and in-place frame conversion.
 *
 * A voice frame is a 4-byte header (little-endian kind word 0x0100, payload length in 16-bit
 * words, a zero byte) followed by the payload. Every function returns 0 on success or one of
 * the negative VOICE_ERR_* codes; a failed call writes no output.
 *
 * State records are caller memory of VOICE_STATE_SIZE bytes (any alignment); a transcoder
 * state is VOICE_TRANSCODER_STATE_SIZE bytes. Usable from C and C++. */
#ifndef BREVANTA_VOICE_VOICE_H
#define BREVANTA_VOICE_VOICE_H

#include <stdint.h>

#if defined(__GNUC__)
#define VOICE_API __attribute__((visibility("default")))
#else
#define VOICE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Codec type codes, the first 16-bit field of a state record. */
#define VOICE_G711A 1
#define VOICE_G711U 2
#define VOICE_DVI4 3
#define VOICE_G726_16 4
#define VOICE_G726_24 5
#define VOICE_G726_32 6
#define VOICE_G726_40 7
#define VOICE_IMA 35
#define VOICE_G726_16_MSB 36
#define VOICE_G726_24_MSB 37
#define VOICE_G726_32_MSB 38
#define VOICE_G726_40_MSB 39
#define VOICE_G711A_SWAP 65
#define VOICE_G711U_SWAP 66
#define VOICE_DVI4_RAW 67
#define VOICE_G726_16_WORD 68

/* Conversion codes of VOICE_TransCodeReset: source type 65..68 to target type 1..4. */
#define VOICE_TRANS_G711A 97
#define VOICE_TRANS_G711U 98
#define VOICE_TRANS_DVI4 99
#define VOICE_TRANS_G726_16 100

#define VOICE_STATE_SIZE 2048
#define VOICE_TRANSCODER_STATE_SIZE (2 * VOICE_STATE_SIZE)
/* Offset of the decoder record inside a transcoder state; the encoder record is at 0. */
#define VOICE_TRANSCODER_DECODER_OFFSET VOICE_STATE_SIZE

#define VOICE_FRAME_KIND 0x0100
#define VOICE_FRAME_HEADER_SIZE 4
#define VOICE_MIN_SAMPLES 1
#define VOICE_MAX_SAMPLES 481
/* Largest frame any call reads or writes: 4 + 2 * 255 bytes. */
#define VOICE_MAX_FRAME_SIZE 514
/* Sample buffer a decode may fill: a raw ADPCM frame of 122 words gives 488 samples. */
#define VOICE_MAX_DECODED_SAMPLES 488

#define VOICE_OK 0
#define VOICE_ERR_NULL_STATE ((int32_t)0xA1220101u)
#define VOICE_ERR_NULL_INPUT ((int32_t)0xA1220102u)
#define VOICE_ERR_NULL_OUTPUT ((int32_t)0xA1220103u)
#define VOICE_ERR_ENC_TYPE ((int32_t)0xA1220001u)
#define VOICE_ERR_SAMPLE_COUNT ((int32_t)0xA1220002u)
#define VOICE_ERR_DEC_TYPE ((int32_t)0xA1220011u)
#define VOICE_ERR_LENGTH ((int32_t)0xA1220012u)
#define VOICE_ERR_KIND ((int32_t)0xA1220013u)
#define VOICE_ERR_NULL_TRANSCODER ((int32_t)0xA1221001u)
#define VOICE_ERR_TRANS_CODE ((int32_t)0xA1221002u)

/* Copies "VOICE_VERSION=VOICELIB_V1.0.0.0" and its terminator (32 bytes); -1 for null. */
VOICE_API int32_t VOICE_GetVersion(char* version);

/* Reset a state record for encoding or decoding with a type code. An unknown type is still
 * recorded, and the call reports VOICE_ERR_ENC_TYPE or VOICE_ERR_DEC_TYPE. */
VOICE_API int32_t VOICE_EncReset(void* state, int32_t type);
VOICE_API int32_t VOICE_DecReset(void* state, int32_t type);

/* Encodes count (1..481) samples into one frame of 4 + 2 * length bytes (at most 484). */
VOICE_API int32_t VOICE_EncodeFrame(void* state, const int16_t* samples, uint8_t* frame,
                                    int32_t count);

/* Decodes one frame (reads 4 + 2 * length bytes) into at most VOICE_MAX_DECODED_SAMPLES
 * samples; *count is set to 0 first and to the number of samples on success. */
VOICE_API int32_t VOICE_DecodeFrame(void* state, const uint8_t* frame, int16_t* samples,
                                    uint16_t* count);

/* Prepares a transcoder state for a conversion code 97..100. */
VOICE_API int32_t VOICE_TransCodeReset(void* state, int32_t code);

/* Converts one frame of the source type in place. Conversions to DVI4 add the 4-byte block
 * header, so the frame buffer must hold 4 more bytes than the source frame. */
VOICE_API int32_t VOICE_TransCodeFrame(void* state, uint8_t* frame);

#ifdef __cplusplus
}
#endif

#endif
