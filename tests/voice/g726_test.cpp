// G.726 against spandsp's implementation (which passes the ITU conformance vectors), for every
// rate and both directions, over varied signals and over random code streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "g726.h"
#include "signals.h"
#include "spandsp_ref.h"

namespace {

using voice_test::concatenated_signals;
using voice_test::test_signals;

std::vector<uint8_t> our_encode(int bits, const std::vector<int16_t>& pcm) {
  voice::g726::State s;
  voice::g726::reset(s);
  std::vector<uint8_t> codes(pcm.size());
  voice::g726::encode(s, bits, pcm.data(), codes.data(), pcm.size());
  return codes;
}

std::vector<int16_t> our_decode(int bits, const std::vector<uint8_t>& codes) {
  voice::g726::State s;
  voice::g726::reset(s);
  std::vector<int16_t> pcm(codes.size());
  voice::g726::decode(s, bits, codes.data(), pcm.data(), codes.size());
  return pcm;
}

size_t first_difference(const auto& a, const auto& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return i;
  return a.size() == b.size() ? SIZE_MAX : n;
}

// The reference returns the 14-bit reconstruction shifted left in 16 bits, so a reconstruction
// beyond 14 bits (full-scale input, hostile codes) wraps to a click; ours saturates there. So
// the reconstruction itself is compared with the reference's wrapped shift, and the output
// with its saturated form.
::testing::AssertionResult decodes_like_reference(int bits, const std::vector<uint8_t>& codes) {
  const auto ref = voice_test::ref_g726_decode(bits, codes);
  voice::g726::State s1, s2;
  voice::g726::reset(s1);
  voice::g726::reset(s2);
  std::vector<int32_t> sr(codes.size());
  voice::g726::decode_reconstructed(s1, bits, codes.data(), sr.data(), codes.size());
  const auto pcm = our_decode(bits, codes);
  if (ref.size() != codes.size()) return ::testing::AssertionFailure() << "reference size";
  size_t saturated = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    if (static_cast<int16_t>(static_cast<uint16_t>(sr[i] * 4)) != ref[i]) {
      return ::testing::AssertionFailure()
             << "sample " << i << ": reconstruction " << sr[i] << ", reference " << ref[i];
    }
    if (pcm[i] != std::clamp(sr[i], -8192, 8191) * 4) {
      return ::testing::AssertionFailure() << "sample " << i << " not saturated: " << pcm[i];
    }
    saturated += pcm[i] != ref[i];
  }
  return ::testing::AssertionSuccess() << saturated << " saturated samples";
}

class VoiceG726 : public ::testing::TestWithParam<int> {};

TEST_P(VoiceG726, EncoderCodesMatchReferenceOnEverySignal) {
  const int bits = GetParam();
  for (const auto& sig : test_signals()) {
    const auto ours = our_encode(bits, sig.pcm);
    const auto ref = voice_test::ref_g726_encode(bits, sig.pcm);
    EXPECT_EQ(first_difference(ours, ref), SIZE_MAX) << sig.name << " at " << bits << " bits";
  }
  const auto all = concatenated_signals();
  EXPECT_EQ(first_difference(our_encode(bits, all), voice_test::ref_g726_encode(bits, all)),
            SIZE_MAX);
}

TEST_P(VoiceG726, DecoderOutputMatchesReferenceOnEncodedSignals) {
  const int bits = GetParam();
  const auto codes = voice_test::ref_g726_encode(bits, concatenated_signals());
  EXPECT_TRUE(decodes_like_reference(bits, codes));
}

TEST_P(VoiceG726, DecoderOutputMatchesReferenceOnRandomCodes) {
  const int bits = GetParam();
  std::mt19937 rng(77u + static_cast<unsigned>(bits));
  std::vector<uint8_t> codes(40000);
  // Runs of one code as well as uniform codes drive the scale factor to both of its limits.
  for (size_t i = 0; i < codes.size(); ++i) {
    codes[i] = static_cast<uint8_t>(rng() & ((1u << bits) - 1));
    if ((i / 2000) % 3 == 1) codes[i] = static_cast<uint8_t>((1u << (bits - 1)) - 1);
  }
  EXPECT_TRUE(decodes_like_reference(bits, codes));
}

INSTANTIATE_TEST_SUITE_P(AllRates, VoiceG726, ::testing::Values(2, 3, 4, 5),
                         [](const auto& info) { return std::to_string(info.param * 8) + "k"; });

}  // namespace
