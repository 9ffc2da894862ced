// CQuillon on arbitrary bytes: loading, every query, the element walk, and
// the element text reloaded into a second reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "quillon/quillon.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  CQuillon x;
  // Both length forms: the exact count, and up to the first zero byte.
  x.LoadXML(text.c_str(), 0);
  const bool loaded = x.LoadXML(text.c_str(), static_cast<int>(size)) == 0;

  // Names the SDK asks for, and one taken from the input itself.
  std::string names[] = {"MSGTYPE", "IP", "p2pSvrInf", "IPv4", "Port", "a", "b", ""};
  if (size > 1) names[7] = text.substr(1, std::min<size_t>(size - 1, 8));
  std::string detail = "detail";
  for (std::string& name : names) {
    char* n = name.data();
    x.Query(n, nullptr);
    x.Query(n, detail.data());
    const long v = x.QueryLng(n);
    if (!loaded) check(v == 0xFFFFFF);
    x.QueryAttr(n, detail.data());
  }
  const std::string whole = x.GetXml();
  check(loaded || whole.empty());
  if (loaded) {
    CQuillon again;
    check(again.LoadXML(whole.c_str(), static_cast<int>(whole.size())) == 0);
    check(again.GetXml() == whole);
  }

  int steps = 0;
  for (std::string& name : names) {
    if (!x.MoveTo(name.data())) continue;
    do {
      const std::string part = x.GetXml(x.m_pCurElement);
      CQuillon inner;
      check(!part.empty() && inner.LoadXML(part.c_str(), static_cast<int>(part.size())) == 0);
      inner.QueryLng(name.data());
    } while (++steps < 64 && x.MoveNext(name.data(), nullptr, nullptr));
  }
  return 0;
}
