// Arbitrary frames into VOICE_DecodeFrame and VOICE_TransCodeFrame for every type code. The
// first byte picks the type (or conversion), the second whether the header is forced valid so
// that the payload decoders are reached; the rest is a stream of frames through one state.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "voice/voice.h"

namespace {

constexpr int kTypes[] = {
    VOICE_G711A,       VOICE_G711U,       VOICE_G711A_SWAP,  VOICE_G711U_SWAP,
    VOICE_DVI4,        VOICE_IMA,         VOICE_DVI4_RAW,    VOICE_G726_16,
    VOICE_G726_24,     VOICE_G726_32,     VOICE_G726_40,     VOICE_G726_16_MSB,
    VOICE_G726_24_MSB, VOICE_G726_32_MSB, VOICE_G726_40_MSB, VOICE_G726_16_WORD};
constexpr int kTypeCount = sizeof kTypes / sizeof kTypes[0];

// A length the type's decoder accepts, picked by one input byte.
uint8_t valid_length(int type, uint8_t pick) {
  switch (type) {
    case VOICE_G711A:
    case VOICE_G711U:
    case VOICE_G711A_SWAP:
    case VOICE_G711U_SWAP:
      return static_cast<uint8_t>(40 * (1 + pick % 6));
    case VOICE_DVI4:
    case VOICE_IMA:
      return static_cast<uint8_t>(2 + pick % 121);
    case VOICE_DVI4_RAW:
      return static_cast<uint8_t>(1 + pick % 122);
    case VOICE_G726_16:
    case VOICE_G726_16_MSB:
    case VOICE_G726_16_WORD:
      return static_cast<uint8_t>(10 * (1 + pick % 6));
    case VOICE_G726_24:
    case VOICE_G726_24_MSB:
      return static_cast<uint8_t>(15 * (1 + pick % 6));
    case VOICE_G726_32:
    case VOICE_G726_32_MSB:
      return static_cast<uint8_t>(20 * (1 + pick % 6));
    default:
      return static_cast<uint8_t>(25 * (1 + pick % 6));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t select = data[0];
  const bool force_header = (data[1] & 1) != 0;
  const bool transcode = (select & 0x80) != 0;
  data += 2;
  size -= 2;

  std::vector<uint8_t> state(transcode ? VOICE_TRANSCODER_STATE_SIZE : VOICE_STATE_SIZE);
  int type = 0;
  if (transcode) {
    const int code = VOICE_TRANS_G711A + (select & 3);
    if (VOICE_TransCodeReset(state.data(), code) != VOICE_OK) std::abort();
    type = code - VOICE_TRANS_G711A + VOICE_G711A_SWAP;
  } else {
    type = kTypes[(select & 0x7F) % kTypeCount];
    if (VOICE_DecReset(state.data(), type) != VOICE_OK) std::abort();
  }

  std::vector<int16_t> pcm(VOICE_MAX_DECODED_SAMPLES);
  while (size >= 4) {
    uint8_t header[4];
    std::memcpy(header, data, 4);
    if (force_header) {
      header[0] = 0x00;
      header[1] = 0x01;
      header[2] = valid_length(type, header[2]);
    }
    const size_t frame_size = 4 + 2 * size_t{header[2]};
    // Exactly the bytes the header claims (plus room for the DVI4 header a conversion adds), so
    // the sanitizers catch any read or write beyond them.
    std::vector<uint8_t> frame(frame_size + (transcode ? 4 : 0), 0);
    std::memcpy(frame.data(), header, 4);
    const size_t body = std::min(size - 4, frame_size - 4);
    std::memcpy(frame.data() + 4, data + 4, body);
    data += 4 + body;
    size -= 4 + body;

    if (transcode) {
      if (VOICE_TransCodeFrame(state.data(), frame.data()) == VOICE_OK &&
          4 + 2 * size_t{frame[2]} > frame.size()) {
        std::abort();
      }
    } else {
      uint16_t count = 0xFFFF;
      const int32_t rc = VOICE_DecodeFrame(state.data(), frame.data(), pcm.data(), &count);
      if ((rc != VOICE_OK && count != 0) || count > VOICE_MAX_DECODED_SAMPLES) std::abort();
    }
  }
  return 0;
}
