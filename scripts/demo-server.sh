# Sourced by scripts/demo and scripts/demo-windows: the demo's simulated online services.

# demo_register <file>: the simulated register. One entry per demo card that takes an identity
# link, found by the holder's name in the certificate that signed the search; the server makes
# the identity link from the entry.
demo_register() {
  person() { # holder given family birth place street number postal city cin
    local text="Vorname: $2\\nFamilienname: $3\\nGeburtsdatum: $4 in $5\\nMeldeadresse: $6 $7, $8 $9"
    printf '{"commonName": "%s", "cin": "%s", "register": {"ZmrSearchResp": "OK", ' "$1" "${10}"
    printf '"GivenName": "%s", "FamilyName": "%s", "DateOfBirth": "%s", "PlaceOfBirth": "%s", ' \
      "$2" "$3" "$4" "$5"
    printf '"StreetName": "%s", "BuildingNumber": "%s", "PostalCode": "%s", "Municipality": "%s", ' \
      "$6" "$7" "$8" "$9"
    printf '"toBeSigned": "%s"}}' "$text"
  }
  {
    printf '{"persons": [\n'
    person "Lena Hofbauer" Lena Hofbauer 1960-01-10 Linz "Landstraße" 12 4020 Linz 471120240000
    printf ',\n'
    person "Jörg Weiß" Jörg Weiß 1963-02-11 Graz "Herrengasse" 3/4 8010 Graz 471120240011
    printf ',\n'
    person "Mira Tanzer" Mira Tanzer 1966-03-12 Salzburg "Getreidegasse" 9 5020 Salzburg 471120240022
    printf ',\n'
    person "Karl Moser" Karl Moser 1981-08-17 Innsbruck "Maria-Theresien-Straße" 21 6020 Innsbruck 471120240077
    printf ',\n'
    person "Nora Aigner" Nora Aigner 1984-09-18 Wien "Mariahilfer Straße" 88/7 1060 Wien 471120240088
    printf '\n]}\n'
  } >"$1"
}

# demo_start_server <server program> <port> <data folder>: starts the server over TLS with a CA
# it makes in <data>/onlineservices/ca.pem, answering from the register there, logging to
# <data>/logs/onlineservices.log; returns once it listens, and stops it when the demo ends.
demo_start_server() {
  local program=$1 port=$2 data=$3
  rm -f "$data/onlineservices/ca.pem"
  # The server's log keeps earlier starts; this start's lines follow its own mark.
  server_log="$data/logs/onlineservices.log"
  touch "$server_log"
  first_line=$(($(wc -l < "$server_log") + 2))
  echo "---- demo started $(date '+%Y-%m-%d %H:%M:%S') ----" >> "$server_log"
  "$program" --port "$port" --tls "$data/onlineservices" \
    --zmr "$data/onlineservices/register.json" >> "$server_log" 2>&1 &
  server=$!
  trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
  this_start() { tail -n "+$first_line" "$server_log"; }
  for _ in $(seq 100); do
    this_start | grep -q '^listening' && break
    kill -0 "$server" 2>/dev/null || { this_start >&2; exit 1; }
    sleep 0.1
  done
  echo "Online services: https://127.0.0.1:$port/   Register: $data/onlineservices/register.json"
}
