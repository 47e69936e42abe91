# The tables scripts/bench.sh prints after both architectures' runs. Reads
# "arch kind depth measured baseline floor" lines (qxbench's "@" lines, in
# seconds, 2048 x 2048): per transfer and depth, the 32-bit source's time over
# the 64-bit one's, and each over memcpy and over the fresh-block floor of a
# native transfer of that depth; then QXIOWriteSingle over WriteFile + rename.
function ratio(a, b) { return (a == "" || b == "" || b + 0 == 0) ? "-" : sprintf("%.2f", a / b) }
function over(arch, key) { return ratio(measured[arch, key], baseline[arch, key]) }
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
  if (files != "")
    printf "\n| board | depth | win64 x WriteFile + rename | win32 x WriteFile + rename |\n|---|---|---|---|\n%s", files
}
