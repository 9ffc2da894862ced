#!/usr/bin/env bash
# Punching through two real NATs in network namespaces.
#
#   client 192.0.2.2 --[NAT A]-- 198.51.100.2 \
#                                              public 203.0.113.1 (simulator)
#   device 192.0.2.66 --[NAT B]-- 198.51.100.66 /
#
# Kinds: full-cone (masquerading that keeps ports, and every UDP port of the
# NAT's public address forwarded to its one inside host), port-restricted
# (masquerading alone: only a host the inside has sent to gets in, so both
# sides must send), random-ports (NAT A picks a random port for every new
# destination: the two address queries of authentication see different
# ports, and punching must fail cleanly).
#
# Each NAT drops unsolicited packets addressed to itself, as home routers do:
# otherwise connection tracking would take the peer's first early heart beat
# as a connection to the NAT box and give the client's outgoing heart beats
# another port.
set -u
kind=$1 server_bin=$2 device_bin=$3 client_bin=$4
case $kind in full-cone | port-restricted | random-ports) ;; *)
  echo "unknown NAT kind: $kind"
  exit 2
  ;;
esac

tag=$$
P=brv-pub-$tag NA=brv-nata-$tag NB=brv-natb-$tag C=brv-cli-$tag D=brv-dev-$tag
SERVER=203.0.113.1
work=$(mktemp -d)
pids=()

cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  for n in $P $NA $NB $C $D; do ip netns del "$n" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL ($kind): $*"
  for f in "$work"/*.out; do [ -f "$f" ] && sed "s|^|  $(basename "$f"): |" "$f"; done
  exit 1
}

if ! ip netns add "$P" 2>"$work/netns.err"; then
  echo "SKIP: network namespaces cannot be made here ($(head -n1 "$work/netns.err"))"
  exit 77
fi
command -v nft >/dev/null || fail "nft (nftables) is not installed"

inns() {
  local ns=$1
  shift
  ip netns exec "$ns" "$@"
}

setup() {
  local n
  for n in $NA $NB $C $D; do ip netns add "$n" || return 1; done
  ip -n $P link add pa type veth peer name wan netns $NA &&
    ip -n $P link add pb type veth peer name wan netns $NB &&
    ip -n $NA link add lan type veth peer name eth0 netns $C &&
    ip -n $NB link add lan type veth peer name eth0 netns $D || return 1
  for n in $P $NA $NB $C $D; do ip -n "$n" link set lo up || return 1; done
  ip -n $P addr add $SERVER/32 dev lo &&
    ip -n $P addr add 198.51.100.1/26 dev pa && ip -n $P link set pa up &&
    ip -n $P addr add 198.51.100.65/26 dev pb && ip -n $P link set pb up &&
    ip -n $NA addr add 198.51.100.2/26 dev wan && ip -n $NA link set wan up &&
    ip -n $NA addr add 192.0.2.1/26 dev lan && ip -n $NA link set lan up &&
    ip -n $NA route add default via 198.51.100.1 &&
    ip -n $NB addr add 198.51.100.66/26 dev wan && ip -n $NB link set wan up &&
    ip -n $NB addr add 192.0.2.65/26 dev lan && ip -n $NB link set lan up &&
    ip -n $NB route add default via 198.51.100.65 &&
    ip -n $C addr add 192.0.2.2/26 dev eth0 && ip -n $C link set eth0 up &&
    ip -n $C route add default via 192.0.2.1 &&
    ip -n $D addr add 192.0.2.66/26 dev eth0 && ip -n $D link set eth0 up &&
    ip -n $D route add default via 192.0.2.65 || return 1
  for n in $P $NA $NB; do inns "$n" sysctl -qw net.ipv4.ip_forward=1 || return 1; done
}

# nat_rules <namespace> <inside host> <masquerade flags> <forward all UDP: yes|no>
nat_rules() {
  local pre=""
  [ "$4" = yes ] && pre="iifname \"wan\" udp dport 1024-65535 dnat to $2"
  inns "$1" nft -f - <<RULES
table ip nat {
  chain pre {
    type nat hook prerouting priority dstnat; policy accept;
    $pre
  }
  chain post {
    type nat hook postrouting priority srcnat; policy accept;
    oifname "wan" masquerade $3
  }
}
table ip filter {
  chain input {
    type filter hook input priority filter; policy drop;
    ct state established,related accept
    iifname { "lo", "lan" } accept
  }
  chain forward {
    type filter hook forward priority filter; policy drop;
    ct state established,related accept
    iifname "lan" accept
    ct status dnat accept
  }
}
RULES
}

setup || fail "cannot build the namespaces and links"
case $kind in
  full-cone)
    nat_rules $NA 192.0.2.2 "" yes && nat_rules $NB 192.0.2.66 "" yes
    ;;
  port-restricted)
    nat_rules $NA 192.0.2.2 "" no && nat_rules $NB 192.0.2.66 "" no
    ;;
  random-ports)
    nat_rules $NA 192.0.2.2 fully-random no && nat_rules $NB 192.0.2.66 "" no
    ;;
esac || fail "cannot load the NAT rules"

inns $P "$server_bin" $SERVER >"$work/server.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  grep -q '^ready' "$work/server.out" && break
  grep -q '^error' "$work/server.out" && fail "the simulator did not start"
  sleep 0.1
done
ready=$(grep '^ready' "$work/server.out") || fail "the simulator did not start"
http=$(sed 's/.*http=\([0-9]*\).*/\1/' <<<"$ready")
udp=$(sed 's/.*udp=\([0-9]*\),.*/\1/' <<<"$ready")

# Authentication: two address queries from one socket, to two servers.
inns $C "$client_bin" auth $SERVER "$http" N1 1390001 >"$work/auth.out" 2>&1 ||
  fail "authentication through NAT A failed"
for _ in $(seq 30); do
  [ "$(grep -c '^query .* 198\.51\.100\.2:' "$work/server.out")" -ge 2 ] && break
  sleep 0.1
done
mapfile -t qports < <(grep '^query .* 198\.51\.100\.2:' "$work/server.out" | sed 's/.*://')
[ ${#qports[@]} -eq 2 ] || fail "expected two address queries from NAT A, saw ${#qports[@]}"
if [ "$kind" = random-ports ]; then
  [ "${qports[0]}" != "${qports[1]}" ] || fail "random NAT kept port ${qports[0]} for both queries"
else
  [ "${qports[0]}" = "${qports[1]}" ] || fail "NAT moved the port between queries"
fi

session=$((100000 + tag % 100000))
random=nat$tag
inns $D "$device_bin" $SERVER "$udp" $session "$random" 20 3 >"$work/device.out" 2>&1 &
device=$!
pids+=($device)
inns $C "$client_bin" punch $SERVER "$udp" $session "$random" 6 400 3 >"$work/client.out" 2>&1
result=$?
punch=$(grep '^punch' "$work/client.out")
ms=$(sed -n 's/^punch [a-z]* ms=\([0-9]*\).*/\1/p' "$work/client.out")

if [ "$kind" = random-ports ]; then
  [ $result -eq 1 ] || fail "punching through the random NAT did not fail cleanly"
  grep -q "^pair $session " "$work/server.out" || fail "the server never paired the two sides"
  echo "NAT $kind: address queries saw ports ${qports[0]} and ${qports[1]}; punching failed cleanly after $ms ms"
  exit 0
fi
[ $result -eq 0 ] || fail "punching or the heart beats failed (client exit $result)"
wait $device || fail "the device did not see beats and answers both ways"
echo "NAT $kind: punched in $ms ms ($punch); $(grep '^beats' "$work/client.out"); $(cat "$work/device.out")"
