#!/bin/sh
# Turns the program's 32 x 32 icon into the PNG sizes the desktop looks for.
# Whole multiples are enlarged pixel by pixel so the 16-colour drawing stays
# sharp; 16 px is a true reduction. Run once; the PNGs are committed.
set -eu
cd "$(dirname "$0")"
for size in 32 48 64 128 256; do
    convert ../icon_program.ico -filter point -resize "${size}x${size}" -strip "PNG32:torv-tester-$size.png"
done
convert ../icon_program.ico -filter Lanczos -resize 16x16 -strip PNG32:torv-tester-16.png
