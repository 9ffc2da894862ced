#include "ptz/ptz_control.h"

namespace velmo {

bool RunPtzCommand(CPTZProtocol& ptz, int command, int valueA, int valueB, int valueC, int valueD) {
  switch (command) {
    case 8:
      return ptz.SetPreset(valueC);
    case 9:
      return ptz.ClearPreset(valueC);
    case 11:
      return ptz.ZoomWide();
    case 12:
      return ptz.ZoomTele();
    case 13:
      return ptz.FocusNear();
    case 14:
      return ptz.FocusFar();
    case 15:
      return ptz.IrisOpen();
    case 16:
      return ptz.IrisClose();
    case 21:
      return ptz.TiltUp(valueA);
    case 22:
      return ptz.TiltDown(valueA);
    case 23:
      return ptz.PanLeft(valueA);
    case 24:
      return ptz.PanRight(valueA);
    case 29:
      return ptz.Special();
    case 30:
      return ptz.Stop();
    case 39:
      return ptz.GotoPreset(valueC);
    case 40:
      return ptz.Ext23(valueC, valueD, valueA, valueB);
    case 42:
      return ptz.Ext27(valueB, 255);
    case 43:
      return ptz.Ext25(valueD);
    case 44:
      return ptz.Ext24(valueD);
    case 45:
      return ptz.Ext21(valueD);
    case 46:
      return ptz.Ext22(valueD);
    case 50:
      return ptz.Ext26(valueD);
    default:
      return false;
  }
}

std::string PtzFrameHex(std::span<const std::uint8_t> frame) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(frame.size() * 2);
  for (std::uint8_t b : frame) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

std::string EncodePtzCommand(const PtzChannelState& channel, int command, int valueA, int valueB,
                             int valueC, int valueD) {
  if (channel.decoderType != channel.ptzProtocol) {
    channel.encoder.reset();
    channel.ptzProtocol = channel.decoderType;
    channel.encoder = CreatePtzProtocol(channel.ptzProtocol);
  } else if (!channel.encoder) {
    channel.encoder = CreatePtzProtocol(channel.ptzProtocol);
  }
  CPTZProtocol* ptz = channel.encoder.get();
  if (ptz == nullptr) return {};
  // Every encoder has an address field; a refused address would otherwise
  // send the command to whichever camera the previous address named.
  if (!ptz->SetAddress(channel.decoderAddress)) return {};
  RunPtzCommand(*ptz, command, valueA, valueB, valueC, valueD);
  ptz->BuildFrame();
  return PtzFrameHex(ptz->Frame());
}

}  // namespace velmo
