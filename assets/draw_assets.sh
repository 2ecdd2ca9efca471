#!/bin/sh
# Draws the window's pictures and icons with ImageMagick. Each picture is
# painted at four times its stored size on a 0..100 canvas grid and then
# reduced, which gives smooth edges; the outputs are committed beside this
# script and compiled into the program as resources.
set -eu
cd "$(dirname "$0")"

# paint OUT W H BACKGROUND MVG [extra convert options before OUT]
paint() {
    out=$1 w=$2 h=$3 bg=$4 mvg=$5
    shift 5
    bw=$((w * 4)) bh=$((h * 4))
    convert -size ${bw}x${bh} "xc:$bg" \
        -draw "scale $(echo "$bw / 100" | bc -l),$(echo "$bh / 100" | bc -l) $mvg" \
        -filter Lanczos -resize ${w}x${h}! "$@" "$out"
}

jpeg() { paint "$@" -strip -quality 90 -sampling-factor 1x1; }

# Thermometer on a blue tile with soft corners (the four temperature rows).
jpeg thermometer.jpg 48 48 white "
  fill #1f5fbf stroke none roundrectangle 2,2 98,98 18,18
  fill white stroke #0a2a60 stroke-width 2 roundrectangle 42,10 58,70 8,8
  fill white circle 50,78 50,92
  fill #d01010 stroke none circle 50,78 50,88 rectangle 47,40 53,78
  stroke white stroke-width 2
  line 62,20 70,20 line 62,30 68,30 line 62,40 70,40 line 62,50 68,50 line 62,60 70,60"

# Green outline of a house with a chimney, two circular arrows inside (vents).
jpeg vents.jpg 400 386 white "
  fill none stroke #1a9a2a stroke-width 3
  polyline 10,48 50,8 90,48
  polyline 18,40 18,95 82,95 82,40
  polyline 64,26 64,10 74,10 74,36
  stroke-width 3 arc 30,42 70,82 200,340 arc 30,42 70,82 20,160
  fill #1a9a2a stroke none
  polygon 67,53 75,50 72,60
  polygon 33,71 25,74 28,64"

# Red thermometer beside an outlined pointing hand (heating).
jpeg heating.jpg 36 40 white "
  fill #e02020 stroke #801010 stroke-width 2
  roundrectangle 14,8 26,70 6,6 circle 20,80 20,93
  fill none stroke black stroke-width 3
  polyline 44,92 44,52 52,46 58,52 58,20 66,14 72,20 72,50 80,48 88,56 88,92 44,92"

# Hourglass with blue sand (P15, P16).
jpeg hourglass.jpg 159 159 white "
  fill #8a5a2a stroke none rectangle 20,6 80,14 rectangle 20,86 80,94
  fill #e8f0ff stroke #404040 stroke-width 2
  polygon 26,14 74,14 54,50 74,86 26,86 46,50
  fill #2050d0 stroke none
  polygon 36,30 64,30 52,48 48,48
  polygon 50,54 70,84 30,84"

# Orange bell (alarm buzzer).
jpeg bell.jpg 79 79 white "
  fill #f08a10 stroke #9a5000 stroke-width 2
  path 'M 20,76 Q 26,68 26,46 Q 26,16 50,16 Q 74,16 74,46 Q 74,68 80,76 Z'
  rectangle 14,76 86,84 circle 50,90 50,96 circle 50,12 50,16"

# White drop with a small sparkle on a blue tile (difference column).
jpeg drop_tile.jpg 126 127 white "
  fill #1a64c8 stroke none roundrectangle 3,3 97,97 16,16
  fill white path 'M 50,14 Q 76,48 76,62 Q 76,86 50,86 Q 24,86 24,62 Q 24,48 50,14 Z'
  fill #1a64c8 circle 40,66 40,70
  stroke white stroke-width 2 line 76,18 76,32 line 69,25 83,25"

bmp24() { f=$1; shift; paint "BMP3:$f" "$@" -type TrueColor; }
bmp256() { f=$1; shift; paint "BMP3:$f" "$@" -colors 256 -type Palette -compress None; }

# Water drop above a horizontal bar on a light-blue tile (humidity).
bmp24 humidity.bmp 50 50 white "
  fill #bfe3ff stroke none roundrectangle 2,2 98,98 14,14
  fill #1560d0 path 'M 50,10 Q 72,40 72,54 Q 72,74 50,74 Q 28,74 28,54 Q 28,40 50,10 Z'
  rectangle 18,82 82,90"

# White downward arrow with two blue drops in a dark-blue disc (humidification).
bmp24 humidify.bmp 50 50 white "
  fill #0d2a78 stroke none circle 50,50 50,96
  fill white polygon 42,12 58,12 58,50 70,50 50,72 30,50 42,50
  fill #5ab0ff path 'M 26,62 Q 34,74 34,80 Q 34,88 26,88 Q 18,88 18,80 Q 18,74 26,62 Z'
  path 'M 74,62 Q 82,74 82,80 Q 82,88 74,88 Q 66,88 66,80 Q 66,74 74,62 Z'"

# Thermometer in front of a green circuit board with a chip (version label).
bmp256 board.bmp 32 32 white "
  fill #1c8a3c stroke none rectangle 4,18 96,96
  stroke #d8c060 stroke-width 3 line 10,30 40,30 line 10,86 40,86 line 70,60 92,60
  fill #202020 stroke none rectangle 46,40 86,80
  fill white stroke #303030 stroke-width 3 roundrectangle 14,4 30,72 8,8 circle 22,80 22,96
  fill #d01010 stroke none circle 22,80 22,90 rectangle 19,30 25,80"

# Alarm clock (duration column).
bmp256 clock.bmp 32 32 white "
  fill #c02020 stroke none circle 22,18 22,6 circle 78,18 78,6
  fill white stroke #c02020 stroke-width 6 circle 50,54 50,16
  stroke black stroke-width 5 line 50,54 50,30 line 50,54 66,62
  stroke #c02020 stroke-width 6 line 28,82 18,94 line 72,82 82,94"

# Thermometer on a panel shading from orange to blue (temperature column).
paint panel_tmp.png 32 32 white "
  fill white stroke #303030 stroke-width 4 roundrectangle 40,8 60,70 10,10 circle 50,80 50,96
  fill #d01010 stroke none circle 50,80 50,90 rectangle 46,34 54,80"
convert -size 32x32 gradient:'#ff9a20'-'#2060e0' panel_tmp.png -compose Multiply -composite \
    -colors 256 -type Palette -compress None BMP3:panel.bmp
rm -f panel_tmp.png

# ico16 IN.png OUT.ico: a classic 4-bit icon (16-colour palette, AND mask
# for the transparent pixels), which ImageMagick itself only writes as 32-bit.
ico16() {
    size=$(identify -format '%w' "$1")
    convert "$1" -depth 8 rgba:- | python3 -c '
import struct, sys
n = int(sys.argv[1]); px = sys.stdin.buffer.read()
rgba = [tuple(px[i:i + 4]) for i in range(0, len(px), 4)]
palette = sorted({p[:3] for p in rgba if p[3] >= 128})
assert len(palette) <= 16, len(palette)
palette += [(0, 0, 0)] * (16 - len(palette))
rows_xor, rows_and = [], []
for y in reversed(range(n)):                      # bottom-up rows
    row = rgba[y * n:(y + 1) * n]
    idx = [palette.index(p[:3]) if p[3] >= 128 else 0 for p in row]
    xor = bytes((idx[x] << 4) | idx[x + 1] for x in range(0, n, 2))
    rows_xor.append(xor + bytes(-len(xor) % 4))
    bits = 0
    for x, p in enumerate(row):
        if p[3] < 128:
            bits |= 1 << (n - 1 - x)
    mask = bits.to_bytes((n + 7) // 8, "big")
    rows_and.append(mask + bytes(-len(mask) % 4))
body = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
body += b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
body += b"".join(rows_xor) + b"".join(rows_and)
head = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", n % 256, n % 256, 16, 0, 1, 4, len(body), 22)
sys.stdout.buffer.write(head + body)
' "$size" > "$2"
}

# Window icon: a black chip with grey pins and a red arrow entering from the left.
paint icon_window.png 16 16 none "
  stroke #909090 stroke-width 6 line 46,10 46,90 line 62,10 62,90 line 78,10 78,90
  fill black stroke none rectangle 36,22 90,78
  fill #e01010 polygon 2,44 22,44 22,32 38,50 22,68 22,56 2,56" -colors 15
# Program icon: a chip drawn diagonally with yellow pins.
paint icon_program.png 32 32 none "
  translate 50,50 rotate 45 translate -50,-50
  stroke #f0d000 stroke-width 5
  line 10,36 90,36 line 10,50 90,50 line 10,64 90,64
  line 36,10 36,90 line 50,10 50,90 line 64,10 64,90
  fill #202020 stroke none rectangle 24,24 76,76" -colors 15
ico16 icon_window.png icon_window.ico
ico16 icon_program.png icon_program.ico
rm -f icon_window.png icon_program.png
