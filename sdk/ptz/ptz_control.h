// The encoding half of PtzControl: picks the channel's encoder, runs one
// command code on it and returns the frame as hexadecimal text. The caller
// (the exported PtzControl) checks the handles and the live session first and
// hands a non-empty text to the session's PTZ transport.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "ptz/ptz_protocol.h"

namespace velmo {

// One command code (8-50) on an encoder, with the argument order of the
// command table. False when the code has no operation or the encoder does not
// support it; the frame is then left as it was.
bool RunPtzCommand(CPTZProtocol& ptz, int command, int valueA, int valueB, int valueC, int valueD);

// Two lower-case hexadecimal digits per byte, no separators.
std::string PtzFrameHex(std::span<const std::uint8_t> frame);

// The channel's PTZ state as the channel keeps it.
struct PtzChannelState {
  std::uint16_t decoderType;     // protocol number chosen for the channel
  std::uint16_t& ptzProtocol;    // protocol number of the encoder held
  std::uint16_t decoderAddress;  // camera address
  std::unique_ptr<CPTZProtocol>& encoder;
};

// Replaces the encoder when the decoder type changed (or creates one when none
// is held), sets the address, runs the command and builds the frame. The
// frame is built and returned even when the command is not supported, so the
// previous command goes out again with fresh check bytes. Empty when the
// protocol number has no encoder or the address does not fit its frame.
std::string EncodePtzCommand(const PtzChannelState& channel, int command, int valueA, int valueB,
                             int valueC, int valueD);

}  // namespace velmo
