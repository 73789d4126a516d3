# Sourced: the Wine settings of every run. One prefix per build tree, made
# fresh by the test command; no Mono or Gecko prompts, no debug output.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${GATEWISE_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=d"
export WINEARCH=win64

gatewise_wine_init() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wine wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
  gatewise_wine_fonts
}

# Wine's own fonts in the prefix's Fonts folder, as Windows has them: Tahoma,
# the dialog font, and Marlett, the title bar's buttons. Debian's fonts-wine
# puts them where Debian's Wine does not look, and Wine then draws the dialogs
# in a stand-in whose small hinted glyphs overrun their measured widths.
gatewise_wine_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts font
  mkdir -p "$fonts"
  for font in /usr/share/wine/fonts/*.ttf; do
    [ -e "$font" ] && ln -sf "$font" "$fonts/"
  done
  return 0
}
