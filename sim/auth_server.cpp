#include "auth_server.h"

#include "xml_writer.h"

namespace orvsim {

std::string public_addr_reply(std::string_view caller_ip,
                              const std::vector<P2pServerAddress>& servers) {
  XmlWriter xml;
  xml.open("Message");
  xml.element("MSGTYPE", "PublicAddr");
  xml.element("IP", caller_ip);
  for (const auto& s : servers) {
    xml.open("p2pSvrInf");
    xml.element("IPv4", s.ip);
    xml.element("Port", s.port);
    xml.close();
  }
  return xml.finish();
}

std::vector<P2pServerAddress> p2p_servers_for(const Fleet& fleet, const platform::SockAddr& local,
                                              const std::vector<int>& self_ports) {
  std::vector<P2pServerAddress> out;
  std::size_t next_self = 0;
  auto add_self = [&] {
    if (next_self < self_ports.size()) out.push_back({local.ip_text(), self_ports[next_self++]});
  };
  if (fleet.p2p_servers.empty()) add_self();
  for (const auto& entry : fleet.p2p_servers) {
    if (entry.self)
      add_self();
    else
      out.push_back({entry.ip, entry.port});
  }
  return out;
}

HttpReply answer_query(const HandlerContext& context, const Fleet& fleet,
                       const std::vector<int>& self_ports) {
  const std::string* i2c = context.params.find("i2c");
  const std::string* tel = context.params.find("tel");
  if (!i2c || !tel) return {400, error_reply("i2c and tel are required")};
  const SimDevice* device = fleet.find(*i2c);
  if (!device) return {404, error_reply("no such device")};
  if (device->tel != *tel) return {404, error_reply("phone number does not match the device")};
  return {200, public_addr_reply(context.peer.ip_text(),
                                 p2p_servers_for(fleet, context.local, self_ports))};
}

}  // namespace orvsim
