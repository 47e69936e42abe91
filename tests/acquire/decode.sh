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
if [ "$3" = size ]; then
  # Its header alone (scene [0], pinged): the pixel limits of ImageMagick's policy do not apply.
  identify -ping -format '%wx%h' "$1[0]" >"$2.part" 2>"$2.why"
else
  convert "$1" $format:"$2.part" 2>"$2.why"
fi && mv "$2.part" "$2" || mv "$2.why" "$2.failed"
rm -f "$2.why"
