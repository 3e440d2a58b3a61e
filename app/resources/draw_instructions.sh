#!/usr/bin/env bash
# Draws the download instructions picture (357 x 171, 8-bit RGB, no alpha,
# not interlaced): an example chapter address in an address bar, red marks on
# its book number and chapter number, and a note at the bottom.
# Run from anywhere; rewrites instructions.png beside this script.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
origin=$(sed -n 's/.*SITE_ORIGIN = "\(.*\)";/\1/p' "$here/../../chapter/site.h")
book="1_1234"
chapter="5678"

mono="Noto-Sans-Mono-CJK-SC"
sans="Noto-Sans-CJK-SC"
sans_bold="Noto-Sans-CJK-SC-Bold"
url_size=13

# Where a part of the address starts and ends: the advance of the text before
# it, as the annotation itself measures it, from the text's left edge at 14.
x_of() {
  local width
  width=$(convert xc: -font "$mono" -pointsize "$url_size" -debug annotate -annotate 0 "$1" null: 2>&1 \
    | sed -n 's/.*; width: \([0-9.]*\);.*/\1/p' | head -n 1)
  awk -v w="$width" 'BEGIN { printf "%d", 14 + w }'
}

book_left=$(x_of "$origin/")
book_right=$(x_of "$origin/$book")
chapter_left=$(x_of "$origin/$book/")
chapter_right=$(x_of "$origin/$book/$chapter")
book_middle=$(((book_left + book_right) / 2))
chapter_middle=$(((chapter_left + chapter_right) / 2))

convert -size 357x171 xc:white \
  -fill '#f1f3f4' -stroke '#b0b0b0' -strokewidth 1 -draw "roundrectangle 6,10 350,38 6,6" \
  -stroke none -fill '#202124' -font "$mono" -pointsize "$url_size" \
  -annotate +14+29 "$origin/$book/$chapter.html" \
  -fill none -stroke '#e00000' -strokewidth 2 \
  -draw "rectangle $((book_left - 2)),14 $((book_right + 1)),34" \
  -draw "rectangle $((chapter_left - 2)),14 $((chapter_right + 1)),34" \
  -draw "line $book_middle,35 $book_middle,62" \
  -draw "line $chapter_middle,35 $chapter_middle,92" \
  -fill '#e00000' -stroke none \
  -draw "polygon $((book_middle - 5)),44 $((book_middle + 5)),44 $book_middle,36" \
  -draw "polygon $((chapter_middle - 5)),44 $((chapter_middle + 5)),44 $chapter_middle,36" \
  -font "$sans_bold" -pointsize 15 \
  -annotate "+$((book_middle - 30))+82" "这是书号" \
  -annotate "+$((chapter_middle - 38))+112" "这是章序号" \
  -fill '#202124' -font "$sans" -pointsize 14 \
  -annotate +18+156 "取当前阅读书号功能需在启动窗口先获取文章" \
  -alpha off -interlace none -define png:color-type=2 -strip \
  "PNG24:$here/instructions.png"
