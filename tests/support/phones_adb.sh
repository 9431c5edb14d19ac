# shellcheck shell=sh disable=SC2154  # $d is set by the lines before this body
# A stand-in adb's body ($d its folder): 30 other phones (more than a message holds) and one named in Latin-1 all
# along, the one named in "$d/name" to pair with the password in "$d/password", then its connection. With
# "$d/hang", each listing after the first waits, deaf to SIGTERM (its PID in adb.pid).
case "$1" in
mdns)
  echo "List of discovered mdns services"
  for i in $(seq 10 39); do printf 'adb-R58M%s00ABCDEF-a1B2c3\t_adb-tls-connect._tcp.\t192.168.100.%s:370%s\n' $i $i $i; done
  printf 'T\351l\351phone\t_adb-tls-connect._tcp.\t10.0.0.7:40001\n'
  [ -f "$d/name" ] && printf '%s\t_adb-tls-pairing._tcp.\t10.0.0.9:41234\n' "$(cat "$d/name")"
  [ -f "$d/paired" ] && printf 'adb-R5CT-x1\t_adb-tls-connect._tcp.\t10.0.0.9:40000\n'
  [ -f "$d/hang" ] && { [ -f "$d/probed" ] && { echo $$ > "$d/adb.pid"; trap '' TERM; exec sleep 60; }; touch "$d/probed"; }
  true ;;
pair)
  read -r code
  [ "$code" = "$(cat "$d/password")" ] || { echo "Failed: wrong password"; exit 1; }
  touch "$d/paired"; echo "Successfully paired to $2 [guid=adb-R5CT-x1]" ;;
connect) echo "connected to $2" ;;
esac
