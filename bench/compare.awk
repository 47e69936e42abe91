# The tables scripts/bench.sh prints after both architectures' runs. Reads
# "arch kind depth measured baseline floor" lines (qxbench's "@" lines, in
# seconds, 2048 x 2048): per transfer and depth, the 32-bit source's time over
# the 64-bit one's, and each over memcpy and over the fresh-block floor of a
# native transfer of that depth; then QXIOWriteSingle over WriteFile + rename;
# then the cycle figures of both.
function ratio(a, b) { return (a == "" || b == "" || b + 0 == 0) ? "-" : sprintf("%.2f", a / b) }
function over(arch, key) { return ratio(measured[arch, key], baseline[arch, key]) }
# "arch cycle frame depth transfer around-ms transfer-ms stream" lines (the
# cycle figures) make a table of their own.
$2 == "cycle" {
  key = $3 " | " $4 " | " $5
  if (!(key in cycleSeen)) { cycleSeen[key] = 1; cycleOrder[++cycles] = key }
  around[$1, key] = $6; call[$1, key] = $7; stream[$1, key] = $8
  next
}
{
  key = $2 " " $3
  if (!(key in seen)) { seen[key] = 1; order[++n] = key }
  measured[$1, key] = $4; baseline[$1, key] = $5
  if ($2 == "native") fresh[$1, $3] = $6
}
END {
  for (i = 1; i <= n; ++i) {
    key = order[i]; split(key, k, " ")
    if (k[1] ~ /^(native|memory)$/)
      transfers = transfers sprintf("| %s | %s | %s | %s | %s | %s | %s |\n", k[1], k[2],
        ratio(measured["win32", key], measured["win64", key]), over("win64", key), over("win32", key),
        ratio(measured["win64", key], fresh["win64", k[2]]), ratio(measured["win32", key], fresh["win32", k[2]]))
    else
      files = files sprintf("| QXIOWriteSingle %s | %s | %s | %s |\n", substr(k[1], 7), k[2],
        over("win64", key), over("win32", key))
  }
  if (transfers != "")
    printf "\n== both architectures, 2048 x 2048 (source time: transfer less capture)\n%s\n%s\n%s",
      "| transfer | depth | win32 / win64 | win64 x memcpy | win32 x memcpy | win64 x fresh-block | win32 x fresh-block |",
      "|---|---|---|---|---|---|---|", transfers
  if (cycles > 0) {
    printf "\n== the cycle (ms, medians; frame_ms = 0) and a stream of cycles (over the board's rate; frame_ms = 33)\n"
    printf "| frame | depth | transfer | win64 around the transfer | win32 around the transfer | win64 transfer call | win32 transfer call | win64 stream | win32 stream |\n|---|---|---|---|---|---|---|---|---|\n"
    for (i = 1; i <= cycles; ++i) {
      key = cycleOrder[i]
      printf "| %s | %s | %s | %s | %s | %s | %s |\n", key, around["win64", key], around["win32", key],
        call["win64", key], call["win32", key], stream["win64", key], stream["win32", key]
    }
  }
  if (files != "")
    printf "\n| board | depth | win64 x WriteFile + rename | win32 x WriteFile + rename |\n|---|---|---|---|\n%s", files
}
