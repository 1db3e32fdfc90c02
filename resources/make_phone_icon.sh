#!/usr/bin/env bash
# Draws the wizard's phone icon (resources/phone.ico, 32x32 and 16x16) with
# ImageMagick: a dark handset with an antenna, a green screen and a keypad.
# The icon is committed; run this only to change it.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

convert -size 32x32 xc:none \
  -fill '#303840' -draw 'rectangle 19,1 21,7' \
  -fill '#303840' -draw 'roundrectangle 9,6 23,30 3,3' \
  -fill '#8fd18f' -draw 'rectangle 11,9 21,16' \
  -fill '#d0d8e0' \
  -draw 'rectangle 11,19 13,20' -draw 'rectangle 15,19 17,20' -draw 'rectangle 19,19 21,20' \
  -draw 'rectangle 11,22 13,23' -draw 'rectangle 15,22 17,23' -draw 'rectangle 19,22 21,23' \
  -draw 'rectangle 11,25 13,26' -draw 'rectangle 15,25 17,26' -draw 'rectangle 19,25 21,26' \
  "$tmp/phone32.png"
convert "$tmp/phone32.png" -resize 16x16 "$tmp/phone16.png"
convert "$tmp/phone32.png" "$tmp/phone16.png" phone.ico
