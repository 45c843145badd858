#!/usr/bin/env bash
# Checks the include lines of every source file under SRC against the layering: each folder may
# include only the folders it builds on, Qt only in the desktop layers, the codec libraries only
# in avi/codecs, avi/audio and avi/muxer (the scaler also in the one file that scales frames), each picture library only in
# the one reader over it, the text libraries (Pango, Cairo, fontconfig) only in text. Prints every wrong include and exits 1 when there is one.
#   check-includes.sh SRC
set -uo pipefail
src=${1:?usage: check-includes.sh SRC}

# folder -> the project folders its files may include (besides its own)
declare -A allowed=(
  [common]=""
  [project]="common"
  [pictures]="common"
  [text]="common project"
  [avi/writer]="common"
  [avi/frames]="common pictures project text"
  [avi/codecs]="common project avi/frames avi/writer"
  [avi/audio]="common project pictures avi/writer"
  [avi/muxer]="common project avi/writer"
  [avi/engine]="common project pictures text avi/frames avi/writer avi/codecs avi/audio avi/muxer"
  [settings]="common project"
  [session]="common project pictures avi/audio"
  [ui]="common project pictures text avi/frames avi/writer avi/codecs avi/audio avi/engine settings session"
  [cli]="common project pictures text avi/frames avi/writer avi/codecs avi/audio avi/engine"
)
qt_layers=" settings session ui "
# Layers that hold no window: Qt Core alone, neither widgets nor Qt Gui (pictures, colours, the
# undo stack), so the session can be driven by any front end and a panel can only follow it.
core_only_layers=" settings session "
qt_module_dir() {
  find /usr/include /usr/local/include -maxdepth 3 -type d -name "$1" -path '*qt6*' 2>/dev/null | head -n 1
}
qt_widgets_dir=${QT_WIDGETS_INCLUDE_DIR:-$(qt_module_dir QtWidgets)}
qt_gui_dir=${QT_GUI_INCLUDE_DIR:-$(qt_module_dir QtGui)}
# Whether a Qt header belongs to the module whose folder is given, by its folder or by its name.
is_module_header() {
  case $1 in
    "$2"/*) return 0 ;;
    Qt*/*) return 1 ;;
  esac
  [ -n "$3" ] && [ -e "$3/$1" ]
}
codec_layers=" avi/codecs avi/audio avi/muxer "
# The files that may include a picture library's header: its reader (and for PNG its writer).
picture_library_file() {
  case $1 in
    jpeglib.h | jerror.h) echo pictures/JpegReader.cpp ;;
    png.h) echo pictures/PngReader.cpp pictures/PngWriter.cpp ;;
    webp/*) echo pictures/WebpReader.cpp ;;
    libheif/*) echo pictures/HeifReader.cpp ;;
    lcms2.h) echo pictures/ColorProfile.cpp ;;
  esac
}

# The layer of a path relative to SRC: avi/<job> for the video layers, else the first folder.
layer_of() {
  case $1 in
    avi/*/*) echo "${1%%/*}/$(echo "$1" | cut -d/ -f2)" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

wrong=0
while IFS= read -r -d '' file; do
  relative=${file#"$src"/}
  layer=$(layer_of "$relative")
  if [ -z "$layer" ] || [ -z "${allowed[$layer]+set}" ]; then
    echo "$relative: not in a known layer"
    wrong=1
    continue
  fi
  while IFS= read -r line; do
    if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
      target=$(layer_of "${BASH_REMATCH[1]}")
      if [ "$target" != "$layer" ] && [[ " ${allowed[$layer]} " != *" $target "* ]]; then
        echo "$relative: $layer may not include ${BASH_REMATCH[1]}"
        wrong=1
      fi
    elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(Q[A-Za-z]*|Qt[A-Za-z]*/[^>]*)\> ]]; then
      if [[ $qt_layers != *" $layer "* ]]; then
        echo "$relative: $layer may not include Qt (<${BASH_REMATCH[1]}>)"
        wrong=1
      elif [[ $core_only_layers == *" $layer "* ]] && is_module_header "${BASH_REMATCH[1]}" QtWidgets "$qt_widgets_dir"; then
        echo "$relative: $layer may not include Qt's widgets (<${BASH_REMATCH[1]}>)"
        wrong=1
      elif [[ $core_only_layers == *" $layer "* ]] && is_module_header "${BASH_REMATCH[1]}" QtGui "$qt_gui_dir"; then
        echo "$relative: $layer may not include Qt Gui (<${BASH_REMATCH[1]}>)"
        wrong=1
      fi
    elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(jpeglib\.h|jerror\.h|png\.h|webp/[^>]*|libheif/[^>]*|lcms2\.h)\> ]] &&
         [ "$layer" != avi/codecs ]; then
      allowed=$(picture_library_file "${BASH_REMATCH[1]}")
      if [[ " $allowed " != *" $relative "* ]]; then
        echo "$relative: only ${allowed// / and } may include <${BASH_REMATCH[1]}>"
        wrong=1
      fi
    elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<(pango/[^>]*|cairo[^>]*|fontconfig/[^>]*|glib\.h)\> ]] &&
         [ "$layer" != text ]; then
      echo "$relative: only text may include the text libraries (<${BASH_REMATCH[1]}>)"
      wrong=1
    elif [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<((libav|libsw)[a-z]*/[^>]*|jpeglib\.h|turbojpeg\.h)\> ]]; then
      if [[ $codec_layers != *" $layer "* ]] &&
         ! [[ $relative == avi/frames/SmoothScaler.cpp && ${BASH_REMATCH[1]} =~ ^libsw(scale|resample)/|^libavutil/ ]]; then
        echo "$relative: $layer may not include the codec libraries (<${BASH_REMATCH[1]}>)"
        wrong=1
      fi
    fi
  done <"$file"
done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

if [ "$wrong" -eq 0 ]; then
  echo "layering: every include follows the layers"
fi
exit "$wrong"
