#include "platform/text.h"
#include "sim_fixture.h"

namespace velmo::test {
namespace {

using orvsim::Fault;

class SdkAudio : public SdkSim {
 protected:
  void SetUp() override {
    SdkSim::SetUp();
    handle_ = login();
    ASSERT_EQ(handle_, 0);
  }
  long handle_ = -1;
};

TEST_F(SdkAudio, NeedsChannelZeroConnected) {
  char block[] = {'A', 0, 'B', 0};
  // Login authenticated channel 1, not 0.
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, block, 4, 0), 0);
  EXPECT_TRUE(targets_for("/audio_data").empty());
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, block, 4, 1), 1);
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, block, 4, 0), 1);  // now it is
  EXPECT_EQ(last_target("/audio_data"),
            "/audio_data?i2c=D1&tel=139001&buflen=4&data_buf=AB&transmit=true");
  auto blocks = control_->audio_blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1].buflen, "4");
  EXPECT_EQ(blocks[1].bytes, (std::vector<std::uint8_t>{'A', 0, 'B', 0}));
}

TEST_F(SdkAudio, DataBufStopsAtTheFirstZeroCharacter) {
  char empty[] = {0, 0, 'x', 0};
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, empty, 4, 1), 1);
  EXPECT_EQ(last_target("/audio_data"),
            "/audio_data?i2c=D1&tel=139001&buflen=4&data_buf=&transmit=true");
  // A voice frame header: U+0100 U+0028, then the zero pair.
  char frame[] = {0x00, 0x01, 0x28, 0x00, 0x00, 0x00, 0x41, 0x00};
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, frame, 8, 0), 1);
  EXPECT_EQ(last_target("/audio_data"), "/audio_data?i2c=D1&tel=139001&buflen=8&data_buf=" +
                                            platform::cp936_from_wide(L"\u0100(") +
                                            "&transmit=true");
}

TEST_F(SdkAudio, RefusesLongAndUnsafeBlocks) {
  std::string big(1024, 'a');
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, big.data(), 1024, 1), 0);
  std::string full(1023, 'a');
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, full.data(), 1023, 1), 1);
  EXPECT_EQ(control_->audio_blocks().back().bytes.size(), 1024u);
  const std::size_t before = sim_->log().size();
  char line_feed[] = {'a', 0, '\n', 0, 'b', 0};
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, line_feed, 6, 1), 0);
  char space[] = {' ', 0};
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, space, 2, 0), 0);
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, space, -1, 0), 0);
  EXPECT_EQ(sim_->log().size(), before);
}

TEST_F(SdkAudio, ReplyRules) {
  char block[] = {'A', 0};
  ASSERT_EQ(SendAudioDataVoiceExchange(handle_, block, 2, 1), 1);
  sim_->faults().for_path("/audio_data", Fault::Raw("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"),
                          1);
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, block, 2, 0), 1);  // empty body, status 200
  sim_->faults().for_path("/audio_data", Fault::Status(503), 1);
  EXPECT_EQ(SendAudioDataVoiceExchange(handle_, block, 2, 1), 0);
  EXPECT_EQ(_GetLastErrorCode(), 0);  // the authentication went well; no code
  // A free slot has nothing to send to.
  EXPECT_EQ(SendAudioDataVoiceExchange(5, block, 2, 1), 0);
}

}  // namespace
}  // namespace velmo::test
