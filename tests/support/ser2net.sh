# Sourced by the shell tests that reach torv-sim over the network: a ser2net of
# the test's own in the working directory, on two free loopback ports, with a
# transparent accepter (tcp://) and a telnet COM-PORT accepter (rfc2217://),
# both on the simulator's pty.
#
# ser2net_start PTY [LINE]  writes ser2net.yaml, starts ser2net and waits until
#     both ports listen; LINE is the connectors' setting (default 9600n81).
#     Sets ser2net_tcp and ser2net_rfc2217 (the URLs) and ser2net_pid. Called
#     again after ser2net_stop, it takes the same ports: a restart.
# ser2net_stop      ends it (SIGTERM) and waits for it.
# ser2net_idle      waits until it holds the pty no more: it lets one client at
#     a time have the line, and a client right behind the last may be refused
#     while the device is still being closed.
ser2net_pid="" ser2net_tcp="" ser2net_rfc2217="" ser2net_ports="" ser2net_pty=""

ser2net_free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# True while 127.0.0.1:PORT is listening (IPv4 table; no connection is made,
# which would take the line).
ser2net_listening() {
  local hex
  hex=$(printf '0100007F:%04X' "$1")
  awk -v a="$hex" '$2 == a && $4 == "0A" { found = 1 } END { exit !found }' /proc/net/tcp
}

ser2net_start() {
  local pty=$1 line=${2:-9600n81} tcp rfc
  [ -n "$ser2net_ports" ] || ser2net_ports="$(ser2net_free_port) $(ser2net_free_port)"
  read -r tcp rfc <<<"$ser2net_ports"
  ser2net_pty=$pty
  ser2net_tcp="tcp://127.0.0.1:$tcp" ser2net_rfc2217="rfc2217://127.0.0.1:$rfc"
  cat > ser2net.yaml <<EOF
%YAML 1.1
---
connection: &raw
  accepter: tcp,127.0.0.1,$tcp
  connector: serialdev,$pty,$line,local
connection: &telnet
  accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc
  connector: serialdev,$pty,$line,local
EOF
  # -u: no UUCP lock files (the pty is the simulator's alone).
  "$(command -v ser2net || echo /usr/sbin/ser2net)" -n -d -u -c "$PWD/ser2net.yaml" -P "$PWD/ser2net.pid" \
    >> ser2net.log 2>&1 &
  ser2net_pid=$!
  for _ in $(seq 200); do
    ser2net_listening "$tcp" && ser2net_listening "$rfc" && return 0
    kill -0 "$ser2net_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "FAIL: ser2net did not listen on $tcp and $rfc: $(cat ser2net.log)"
  return 1
}

ser2net_stop() {
  [ -n "$ser2net_pid" ] || return 0
  kill -TERM "$ser2net_pid" 2>/dev/null
  wait "$ser2net_pid" 2>/dev/null
  ser2net_pid=""
}

ser2net_idle() {
  local fd held
  for _ in $(seq 100); do
    held=""
    for fd in /proc/"$ser2net_pid"/fd/*; do
      [ "$(readlink "$fd")" = "$ser2net_pty" ] && held=yes
    done
    [ -z "$held" ] && return 0
    sleep 0.05
  done
  echo "FAIL: ser2net still holds $ser2net_pty"
  return 1
}
