// The VOICE_* interface: state records in caller memory, frame headers, payload packing per
// type code, and in-place conversion between the two framings of each codec.
#include "voice/voice.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "g711.h"
#include "g726.h"
#include "ima.h"

namespace {

using voice::g726::State;

enum class Family { kG711, kAdpcm, kG726 };
enum class AdpcmFraming { kDvi4, kIma, kRaw };
enum class Packing { kLsbFirst, kMsbFirst, kWords };

struct TypeInfo {
  Family family;
  bool ulaw = false;                         // G.711
  bool swap = false;                         // G.711: bytes of each word swapped
  AdpcmFraming adpcm = AdpcmFraming::kDvi4;  // ADPCM
  int bits = 0;                              // G.726 bits per code
  Packing packing = Packing::kLsbFirst;      // G.726
  int max_words = 0;                         // longest payload a decoder takes
};

std::optional<TypeInfo> describe(unsigned type) {
  switch (type) {
    case VOICE_G711A:
      return TypeInfo{Family::kG711, false, false, {}, 0, {}, 240};
    case VOICE_G711U:
      return TypeInfo{Family::kG711, true, false, {}, 0, {}, 240};
    case VOICE_G711A_SWAP:
      return TypeInfo{Family::kG711, false, true, {}, 0, {}, 240};
    case VOICE_G711U_SWAP:
      return TypeInfo{Family::kG711, true, true, {}, 0, {}, 240};
    case VOICE_DVI4:
      return TypeInfo{Family::kAdpcm, false, false, AdpcmFraming::kDvi4, 4, {}, 122};
    case VOICE_IMA:
      return TypeInfo{Family::kAdpcm, false, false, AdpcmFraming::kIma, 4, {}, 122};
    case VOICE_DVI4_RAW:
      return TypeInfo{Family::kAdpcm, false, false, AdpcmFraming::kRaw, 4, {}, 122};
    case VOICE_G726_16:
    case VOICE_G726_24:
    case VOICE_G726_32:
    case VOICE_G726_40: {
      const int bits = static_cast<int>(type) - VOICE_G726_16 + 2;
      return TypeInfo{Family::kG726, false, false, {}, bits, Packing::kLsbFirst, 30 * bits};
    }
    case VOICE_G726_16_MSB:
    case VOICE_G726_24_MSB:
    case VOICE_G726_32_MSB:
    case VOICE_G726_40_MSB: {
      const int bits = static_cast<int>(type) - VOICE_G726_16_MSB + 2;
      return TypeInfo{Family::kG726, false, false, {}, bits, Packing::kMsbFirst, 30 * bits};
    }
    case VOICE_G726_16_WORD:
      return TypeInfo{Family::kG726, false, false, {}, 2, Packing::kWords, 60};
    default:
      return std::nullopt;
  }
}

// One state record. Only the type field's place is fixed; the rest is ours. Records are copied
// in and out so that caller memory of any alignment works.
struct Record {
  uint16_t type;
  uint16_t reserved;
  voice::ima::State ima;
  State g726;
};
static_assert(sizeof(Record) <= VOICE_STATE_SIZE, "a state record must fit its 2048 bytes");
static_assert(VOICE_TRANSCODER_STATE_SIZE == 2 * VOICE_STATE_SIZE);

Record load(const void* p) {
  Record r;
  std::memcpy(&r, p, sizeof r);
  voice::ima::sanitize(r.ima);
  voice::g726::sanitize(r.g726);
  return r;
}

void store(void* p, const Record& r) {
  std::memcpy(p, &r, sizeof r);
}

void reset(Record& r, unsigned type) {
  r = Record{};
  r.type = static_cast<uint16_t>(type);
  voice::g726::reset(r.g726);
}

int32_t reset_record(void* state, int32_t type, int32_t unlisted_error) {
  if (state == nullptr) return VOICE_ERR_NULL_STATE;
  // A code that does not fit the 16-bit field is kept as 0, so that it cannot turn into a
  // listed type when truncated.
  const bool fits = type >= 0 && type <= 0xFFFF;
  Record r;
  reset(r, fits ? static_cast<unsigned>(type) : 0u);
  store(state, r);
  if (!fits || !describe(static_cast<unsigned>(type))) return unlisted_error;
  return VOICE_OK;
}

constexpr size_t kMaxPayload = 2 * 255;

void swap_word_bytes(uint8_t* p, size_t words) {
  for (size_t i = 0; i < words; ++i) std::swap(p[2 * i], p[2 * i + 1]);
}

void put_le16(uint8_t* p, int v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(static_cast<unsigned>(v) >> 8);
}

int16_t get_le16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

// Encodes n (1..481) samples into payload; returns its length in words. Samples that do not
// fill a whole payload word are left out, and the state only advances over the ones sent.
size_t encode_payload(Record& r, const TypeInfo& t, const int16_t* pcm, size_t n,
                      uint8_t* payload) {
  switch (t.family) {
    case Family::kG711: {
      const size_t words = n / 2;
      voice::g711::encode(t.ulaw, t.swap, pcm, payload, 2 * words);
      return words;
    }
    case Family::kAdpcm: {
      if (t.adpcm == AdpcmFraming::kRaw) {
        const size_t words = n / 4;
        voice::ima::encode_packed(r.ima, pcm, payload, 4 * words, true);
        return words;
      }
      uint8_t* header = payload;
      const bool ima = t.adpcm == AdpcmFraming::kIma;
      // The IMA block carries its first sample as is and codes the rest from it.
      const size_t coded = ima ? n - 1 : n;
      const size_t data_words = coded / 4;
      if (ima) r.ima.predicted = pcm[0];
      put_le16(header, r.ima.predicted);
      header[2] = static_cast<uint8_t>(r.ima.index);
      header[3] = 0;
      uint8_t* data = payload + 4;
      voice::ima::encode_packed(r.ima, ima ? pcm + 1 : pcm, data, 4 * data_words, !ima);
      return data_words + 2;
    }
    case Family::kG726: {
      const size_t words = n * static_cast<size_t>(t.bits) / 16;
      const size_t codes_n = words * 16 / static_cast<size_t>(t.bits);
      std::array<uint8_t, VOICE_MAX_SAMPLES> codes;
      voice::g726::encode(r.g726, t.bits, pcm, codes.data(), codes_n);
      std::array<uint8_t, kMaxPayload + 4> packed{};
      if (t.packing == Packing::kLsbFirst) {
        voice::g726::pack_lsb(codes.data(), codes_n, t.bits, packed.data());
      } else {
        voice::g726::pack_msb(codes.data(), codes_n, t.bits, packed.data());
        if (t.packing == Packing::kWords) swap_word_bytes(packed.data(), words);
      }
      std::memcpy(payload, packed.data(), 2 * words);
      return words;
    }
  }
  return 0;
}

// Header checks and the per-type length rule; returns the sample count or an error code.
int32_t check_frame(const TypeInfo& t, const uint8_t* frame, size_t& samples) {
  const unsigned kind = static_cast<unsigned>(frame[0] | (frame[1] << 8));
  if (((kind >> 8) & 3) != 1) return VOICE_ERR_KIND;
  const size_t length = frame[2];
  if (length == 0 || length > static_cast<size_t>(t.max_words)) return VOICE_ERR_LENGTH;
  switch (t.family) {
    case Family::kG711:
      samples = 2 * length;
      break;
    case Family::kAdpcm:
      if (t.adpcm == AdpcmFraming::kRaw) {
        samples = 4 * length;
      } else {
        // A block shorter than its own header holds no samples.
        if (length < 2) return VOICE_ERR_LENGTH;
        samples = t.adpcm == AdpcmFraming::kDvi4 ? 4 * length - 8 : 4 * (length - 2) + 1;
      }
      return VOICE_OK;
    case Family::kG726:
      samples = 16 * length / static_cast<size_t>(t.bits);
      break;
  }
  if (samples % 80 != 0) return VOICE_ERR_LENGTH;
  return VOICE_OK;
}

void decode_payload(Record& r, const TypeInfo& t, const uint8_t* payload, size_t words,
                    int16_t* pcm, size_t samples) {
  switch (t.family) {
    case Family::kG711:
      voice::g711::decode(t.ulaw, t.swap, payload, pcm, samples);
      return;
    case Family::kAdpcm: {
      if (t.adpcm == AdpcmFraming::kRaw) {
        voice::ima::decode_packed(r.ima, payload, pcm, samples, true);
        return;
      }
      r.ima.predicted = get_le16(payload);
      r.ima.index = std::min<int32_t>(payload[2], voice::ima::kMaxIndex);
      if (t.adpcm == AdpcmFraming::kIma) {
        pcm[0] = static_cast<int16_t>(r.ima.predicted);
        voice::ima::decode_packed(r.ima, payload + 4, pcm + 1, samples - 1, false);
      } else {
        voice::ima::decode_packed(r.ima, payload + 4, pcm, samples, true);
      }
      return;
    }
    case Family::kG726: {
      std::array<uint8_t, VOICE_MAX_SAMPLES> codes;
      if (t.packing == Packing::kLsbFirst) {
        voice::g726::unpack_lsb(payload, samples, t.bits, codes.data());
      } else if (t.packing == Packing::kMsbFirst) {
        voice::g726::unpack_msb(payload, samples, t.bits, codes.data());
      } else {
        std::array<uint8_t, kMaxPayload> swapped;
        std::memcpy(swapped.data(), payload, 2 * words);
        swap_word_bytes(swapped.data(), words);
        voice::g726::unpack_msb(swapped.data(), samples, t.bits, codes.data());
      }
      voice::g726::decode(r.g726, t.bits, codes.data(), pcm, samples);
      return;
    }
  }
}

size_t write_frame(uint8_t* frame, const uint8_t* payload, size_t words) {
  put_le16(frame, VOICE_FRAME_KIND);
  frame[2] = static_cast<uint8_t>(words);
  frame[3] = 0;
  std::memmove(frame + 4, payload, 2 * words);
  return 4 + 2 * words;
}

constexpr char kVersion[] = "VOICE_VERSION=VOICELIB_V1.0.0.0";

}  // namespace

extern "C" {

int32_t VOICE_GetVersion(char* version) {
  if (version == nullptr) return -1;
  std::memcpy(version, kVersion, sizeof kVersion);
  return VOICE_OK;
}

int32_t VOICE_EncReset(void* state, int32_t type) {
  return reset_record(state, type, VOICE_ERR_ENC_TYPE);
}

int32_t VOICE_DecReset(void* state, int32_t type) {
  return reset_record(state, type, VOICE_ERR_DEC_TYPE);
}

int32_t VOICE_EncodeFrame(void* state, const int16_t* samples, uint8_t* frame, int32_t count) {
  if (state == nullptr) return VOICE_ERR_NULL_STATE;
  if (samples == nullptr) return VOICE_ERR_NULL_INPUT;
  if (frame == nullptr) return VOICE_ERR_NULL_OUTPUT;
  if (count < VOICE_MIN_SAMPLES || count > VOICE_MAX_SAMPLES) return VOICE_ERR_SAMPLE_COUNT;
  Record r = load(state);
  const auto type = describe(r.type);
  if (!type) return VOICE_ERR_ENC_TYPE;
  std::array<uint8_t, kMaxPayload> payload;
  const size_t words =
      encode_payload(r, *type, samples, static_cast<size_t>(count), payload.data());
  write_frame(frame, payload.data(), words);
  store(state, r);
  return VOICE_OK;
}

int32_t VOICE_DecodeFrame(void* state, const uint8_t* frame, int16_t* samples, uint16_t* count) {
  if (state == nullptr) return VOICE_ERR_NULL_STATE;
  if (frame == nullptr) return VOICE_ERR_NULL_INPUT;
  if (samples == nullptr || count == nullptr) return VOICE_ERR_NULL_OUTPUT;
  *count = 0;
  Record r = load(state);
  const auto type = describe(r.type);
  if (!type) return VOICE_ERR_DEC_TYPE;
  size_t n = 0;
  if (const int32_t rc = check_frame(*type, frame, n); rc != VOICE_OK) return rc;
  decode_payload(r, *type, frame + 4, frame[2], samples, n);
  store(state, r);
  *count = static_cast<uint16_t>(n);
  return VOICE_OK;
}

int32_t VOICE_TransCodeReset(void* state, int32_t code) {
  if (state == nullptr) return VOICE_ERR_NULL_TRANSCODER;
  if (code < VOICE_TRANS_G711A || code > VOICE_TRANS_G726_16) return VOICE_ERR_TRANS_CODE;
  const unsigned target = static_cast<unsigned>(code - VOICE_TRANS_G711A + VOICE_G711A);
  auto* bytes = static_cast<uint8_t*>(state);
  Record enc, dec;
  reset(enc, target);
  reset(dec, target + 64);
  store(bytes, enc);
  store(bytes + VOICE_TRANSCODER_DECODER_OFFSET, dec);
  return VOICE_OK;
}

int32_t VOICE_TransCodeFrame(void* state, uint8_t* frame) {
  if (state == nullptr) return VOICE_ERR_NULL_TRANSCODER;
  if (frame == nullptr) return VOICE_ERR_NULL_INPUT;
  auto* bytes = static_cast<uint8_t*>(state);
  Record enc = load(bytes);
  Record dec = load(bytes + VOICE_TRANSCODER_DECODER_OFFSET);
  if (enc.type < VOICE_G711A || enc.type > VOICE_G726_16 || dec.type != enc.type + 64) {
    return VOICE_ERR_TRANS_CODE;
  }
  const TypeInfo from = *describe(dec.type);
  const TypeInfo to = *describe(enc.type);
  size_t n = 0;
  if (const int32_t rc = check_frame(from, frame, n); rc != VOICE_OK) return rc;
  const size_t words = frame[2];
  if (to.family == Family::kG711) {
    swap_word_bytes(frame + 4, words);
    return VOICE_OK;
  }
  // A raw ADPCM frame may hold more samples than one encode takes.
  if (n > VOICE_MAX_SAMPLES) return VOICE_ERR_SAMPLE_COUNT;
  std::array<int16_t, VOICE_MAX_DECODED_SAMPLES> pcm;
  decode_payload(dec, from, frame + 4, words, pcm.data(), n);
  std::array<uint8_t, kMaxPayload> payload;
  const size_t out_words = encode_payload(enc, to, pcm.data(), n, payload.data());
  write_frame(frame, payload.data(), out_words);
  store(bytes, enc);
  store(bytes + VOICE_TRANSCODER_DECODER_OFFSET, dec);
  return VOICE_OK;
}

}  // extern "C"
