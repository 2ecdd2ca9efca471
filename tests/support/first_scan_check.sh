# Sourced by the window's end-to-end checks. first_scan_check SIMLOG SHOT: start-up
# must have read controller 1's whole window (the block read starts at nine
# places), the first 10 s tick must have scanned it, and the screenshot must
# exist; prints what it saw and returns 1 on any miss.
first_scan_check() {
  local log=$1 shot=$2 start block=0 scan status=0
  for start in 60 68 70 78 A0 80 88 90 98; do
    [ "$(grep -c "in  01 03 00 $start 00" "$log")" -ge 1 ] && block=$((block + 1))
  done
  scan=$(grep -c "in  01 03 00 7E 00 02" "$log")
  echo "block-read starts seen: $block of 9; scans seen: $scan"
  [ "$block" -eq 9 ] || { echo "FAIL: start-up did not read the controller's window"; status=1; }
  [ "$scan" -ge 1 ] || { echo "FAIL: the first tick did not scan"; status=1; }
  [ -s "$shot" ] || { echo "FAIL: no screenshot"; status=1; }
  [ $status -eq 0 ] && echo "screenshot: $shot"
  [ $status -eq 0 ] || tail -40 "$log"
  return $status
}
