#!/usr/bin/env bash
# Makes a fresh Wine prefix for running and testing the program: Japanese text
# rendered with IPAGothic, and unmanaged windows so that no window manager is needed.
set -eu
prefix=${1:?usage: make-wine-prefix.sh DIR}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1
wineserver -w

# IPAGothic beside the Windows fonts, so the prefix does not depend on fontconfig.
font=""
for f in /usr/share/fonts/opentype/ipafont-gothic/ipag.ttf \
  /usr/share/fonts/truetype/fonts-japanese-gothic.ttf; do
  if [ -f "$f" ]; then
    font=$f
    break
  fi
done
mkdir -p "$prefix/drive_c/windows/Fonts"
if [ -n "$font" ]; then
  ln -sf "$font" "$prefix/drive_c/windows/Fonts/ipag.ttf"
fi
# Debian's Wine does not find its own Marlett, which draws the caption buttons.
for f in /usr/share/wine/fonts/marlett.ttf /usr/lib/wine/fonts/marlett.ttf; do
  if [ -f "$f" ]; then
    ln -sf "$f" "$prefix/drive_c/windows/Fonts/marlett.ttf"
    break
  fi
done

# The program's face, the dialog faces and the system UI face (Tahoma: message
# boxes, menus, captions, status bar, tabs) all become IPAGothic. Substitutes
# apply even to faces Wine ships itself; replacements cover lookups by name.
faces=("ＭＳ ゴシック" "MS Gothic" "MS UI Gothic" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma"
  "MS Sans Serif" "Microsoft Sans Serif" "System")
reg_file="$prefix/fonts-ja.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  for face in "${faces[@]}"; do printf '"%s"="IPAGothic"\r\n' "$face"; done
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  for face in "${faces[@]}"; do printf '"%s"="IPAGothic"\r\n' "$face"; done
  # Without a window manager, unmanaged windows keep message boxes from stalling.
  printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n'
} | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg_file"
wine regedit /S "$reg_file" >/dev/null 2>&1
wineserver -w
rm -f "$reg_file"
echo "$prefix"
