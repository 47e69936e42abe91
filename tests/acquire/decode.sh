#!/bin/sh
# decode.sh IN OUT gray|rgb|rgb16|size: ImageMagick's reading of IN as raw 16-bit
# grey, 8-bit R, G, B or 16-bit R, G, B samples (16 bits little-endian), or its
# WIDTHxHEIGHT, in OUT. OUT appears whole, only
# when the decoder is done: the caller waits for it, since a Windows program
# under Wine cannot wait for a Unix process. On failure OUT.failed says why.
case "$3" in
  gray) format="-endian LSB -depth 16 gray" ;;
  rgb16) format="-endian LSB -depth 16 rgb" ;;
  *) format="-depth 8 rgb" ;;
esac
# A size is read from the header alone (scene 0, pinged): ImageMagick's pixel limits do not apply.
if [ "$3" = size ]; then identify -ping -format '%wx%h' "$1[0]"; else convert "$1" $format:-; fi >"$2.part" 2>"$2.why" &&
  mv "$2.part" "$2" || mv "$2.why" "$2.failed"
rm -f "$2.why"
