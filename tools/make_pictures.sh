#!/usr/bin/env bash
# Remakes the pictures in resources/: the help card (backdrop.bmp) and the
# About window's icon, text lines and OK button, drawn with ImageMagick and the
# Nanum fonts. All are 24-bit uncompressed bottom-up BMPs with the plain
# 54-byte header, so the player's own BMP reader loads them. The same inputs
# give the same bytes on every run.
#   tools/make_pictures.sh [OUTDIR]     OUTDIR defaults to the repository's resources/
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/resources}
"$root/scripts/setup.sh" generators
mkdir -p "$out"

fonts=/usr/share/fonts/truetype/nanum
gothic_bold=$fonts/NanumGothicBold.ttf
gothic=$fonts/NanumGothic.ttf
myeongjo_bold=$fonts/NanumMyeongjoBold.ttf

ground='#ffdc3c'   # the help card's yellow
red='#d0141e'
blue='#1e3cc8'
ink='#282314'      # the key lines, dark brown rather than flat black
dialog='#f0f0f0'   # the About window's background
dialog_ink='#1e1e1e'

# BMP3 with no alpha and no colour table: 24 bits a pixel, 54-byte header.
bmp_out=(-alpha off -type TrueColor -compress none)

# emblem X Y SIZE WIDTH COLOUR: ImageMagick draw commands for the
# lightning-bolt emblem (a ring around a bolt) in the SIZE x SIZE square at X,Y.
emblem() {
  awk -v x="$1" -v y="$2" -v s="$3" -v w="$4" -v c="$5" 'BEGIN {
    k = s / 100
    printf "fill none stroke %s stroke-width", c
    printf " %.2f circle %.2f,%.2f %.2f,%.2f ", \
      w, x + 50 * k, y + 50 * k, x + 50 * k, y + (4 + w / k / 2) * k
    n = split("60 6 24 56 47 56 36 95 77 41 54 41 68 6", p, " ")
    printf "stroke none fill %s polygon", c
    for (i = 1; i < n; i += 2) printf " %.2f,%.2f", x + p[i] * k, y + p[i + 1] * k
    printf "\n"
  }'
}

# The help card: heading, how-to-play title, one line per instrument and a
# closing cheer.
convert -size 800x600 "xc:$ground" \
  -draw "$(emblem 44 26 92 7 "$red")" \
  -stroke none -fill "$red" -draw "rectangle 44,138 756,142" \
  -font "$myeongjo_bold" -pointsize 64 -fill "$ink" -annotate +160+98 'Fulmen Musicum' \
  -font "$gothic_bold" -pointsize 36 -fill "$red" -annotate +44+208 '키보드로 연주하는 방법' \
  -font "$gothic_bold" -pointsize 26 -fill "$ink" \
  -annotate +60+290 '피아노' -annotate +190+290 'z x c v b n m a s d f g h j k l' \
  -annotate +60+350 '드럼' -annotate +190+350 'Insert  Home  PageUp  End  PageDown' \
  -annotate +60+410 '기타' -annotate +190+410 '1  2  3  4  5  6  7' \
  -font "$gothic" -pointsize 20 -fill "$ink" \
  -annotate +190+318 '키 하나에 건반 하나, 누르는 대로 소리가 나요' \
  -annotate +190+378 '북과 심벌즈를 신나게 두드려요' \
  -annotate +190+438 '숫자마다 다른 기타 소리가 울려요' \
  -font "$gothic_bold" -pointsize 34 -fill "$blue" -annotate +44+540 '자, 이제 마음껏 연주해 보세요! 멋져요!' \
  "${bmp_out[@]}" "BMP3:$out/backdrop.bmp"

# The About window's icon: the same emblem on a yellow disc.
convert -size 48x48 "xc:$dialog" \
  -fill "$ground" -stroke none -draw 'circle 23.5,23.5 23.5,0.5' \
  -draw "$(emblem 2 2 44 4 "$red")" \
  "${bmp_out[@]}" "BMP3:$out/about_icon.bmp"

# text_line FILE WxH POINTSIZE TEXT: dark text on the About window's background.
text_line() {
  convert -size "$2" "xc:$dialog" -font "$gothic" -pointsize "$3" -fill "$dialog_ink" \
    -gravity west -annotate +0+0 "$4" "${bmp_out[@]}" "BMP3:$out/$1"
}
text_line about_version.bmp 240x24 18 'Plinkar 버전 1.0'
text_line about_note.bmp 240x20 14 '키보드로 연주하는 3D 악기'

# The OK button: its label on the window's background inside a thin frame.
convert -size 84x26 "xc:$dialog" -font "$gothic" -pointsize 14 -fill "$dialog_ink" \
  -gravity center -annotate +0+0 '확인' \
  -fill none -stroke '#7a7a7a' -draw 'rectangle 0,0 83,25' \
  -stroke '#adadad' -draw 'rectangle 1,1 82,24' \
  "${bmp_out[@]}" "BMP3:$out/about_ok.bmp"

# The Windows program's icons: the large one (the emblem on a yellow disc) and
# the small one (the bolt alone on a yellow square), each at 16, 32 and 48
# pixels, packed at 32, 8 and 4 bits per pixel (4 bits for 16 and 32 only).
# The large one is also the desktop icon, as PNGs from 16 to 256 pixels.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
c++ -std=c++17 -O2 -o "$work/ico_pack" "$root/tools/ico_pack.cpp"
# large_icon SIZE OUTPUT...: the emblem on a yellow disc, SIZE pixels square.
large_icon() {
  local s=$1 r
  shift
  r=$(awk -v s="$s" 'BEGIN { printf "%.2f", s / 2 - 0.5 }')
  convert -size "${s}x${s}" xc:none -fill "$ground" -stroke none \
    -draw "circle $r,$r $r,0" \
    -draw "$(emblem "$(awk -v s="$s" 'BEGIN { print s / 24 }')" \
      "$(awk -v s="$s" 'BEGIN { print s / 24 }')" \
      "$(awk -v s="$s" 'BEGIN { print s * 11 / 12 }')" \
      "$(awk -v s="$s" 'BEGIN { print s / 12 }')" "$red")" \
    -depth 8 "$@"
}
mkdir -p "$out/icons"
for s in 16 32 48 64 128 256; do
  # No time stamps in the file: the same bytes on every run.
  large_icon "$s" -strip -define png:exclude-chunks=date,time "PNG32:$out/icons/plinkar-$s.png"
done
large=() small=()
for s in 16 32 48; do
  large_icon "$s" "RGBA:$work/large$s.rgba"
  convert -size "${s}x${s}" xc:none -fill "$ground" -stroke none \
    -draw "roundrectangle 0,0 $((s - 1)),$((s - 1)) $((s / 6)),$((s / 6))" \
    -fill "$red" -draw "polygon $(awk -v s="$s" 'BEGIN {
      n = split("60 6 24 56 47 56 36 95 77 41 54 41 68 6", p, " ")
      for (i = 1; i < n; i += 2) printf " %.2f,%.2f", p[i] * s / 100, p[i + 1] * s / 100
    }')" \
    -depth 8 "RGBA:$work/small$s.rgba"
  four=""
  [[ $s -le 32 ]] && four=":4"
  large+=("$s:$work/large$s.rgba$four")
  small+=("$s:$work/small$s.rgba$four")
done
"$work/ico_pack" "$out/plinkar.ico" "${large[@]}"
"$work/ico_pack" "$out/plinkar_small.ico" "${small[@]}"
