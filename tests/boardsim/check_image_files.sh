#!/bin/sh
# Writes test images through QXDiskIO.dll (under Wine) and checks that
# ImageMagick opens each one with the right size and depth and reads back
# exactly the expected pixels.
set -eu
writer=$1
folder=$2
rm -rf "$folder"
mkdir -p "$folder"
cd "$(dirname "$writer")"
wine "$writer" "$(winepath -w "$folder")"
status=0
check() {
  file=$folder/$1
  got=$(identify -format '%w %h %z' "$file" 2>&1) || { echo "FAIL $1: $got"; status=1; return; }
  if [ "$got" != "$2" ]; then echo "FAIL $1: got '$got', want '$2'"; status=1; return; fi
  if [ "$3" = 16 ]; then
    convert "$file" -endian LSB -depth 16 gray:- > "$file.read"
  else
    convert "$file" -depth 8 rgb:- > "$file.read"
  fi
  if cmp -s "$file.read" "$file.expect"; then echo "ok   $1: $got"; else echo "FAIL $1: pixels differ"; status=1; fi
}
check ramp8.bmp  "21 9 8" 8
check ramp12.bmp "21 9 8" 8
check ramp16.bmp "21 9 8" 8
check ramp24.bmp "21 9 8" 8
check ramp32.bmp "21 9 8" 8
check ramp8.tif  "21 9 8" 8
check ramp12.tif "21 9 16" 16
check ramp16.tif "21 9 16" 16
check ramp24.tif "21 9 8" 8
check ramp32.tif "21 9 8" 8
exit $status
