#!/usr/bin/env bash
# Builds the Debian package of a build folder with CPack and checks it as a user would meet it:
# only the package's own paths, dependencies found by shlibdeps, the programs running from an
# unpacked root (under with-display.sh), the manual pages, and lintian without errors or warnings.
# Usage: debian-package.sh BUILD_DIR PROGRAM...
set -uo pipefail
build=$1
shift
programs=("$@")
here=$(dirname "$0")
source "$here/gui-steps.sh"
work=$(mktemp -d)
pid=""
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; exit 1; }
deb=$(ls "$work"/out/velmora_*.deb)

# Every file lies in a path of the suite's own; folders only on the way to them.
own='^\./usr/(bin/(doorlet|snapferry)|lib/velmora/.*|share/applications/net\.velmora\.[^/]*\.desktop|share/icons/hicolor/[^/]*/apps/net\.velmora\.[^/]*|share/metainfo/net\.velmora\.[^/]*|share/doc/velmora/.*|share/man/man1/(doorlet|snapferry)\.1\.gz)$'
while read -r mode path; do
  [[ $mode == d* ]] && continue
  [[ $path =~ $own ]] || fail "file outside the package's own paths: $path"
done < <(dpkg-deb -c "$deb" | awk '{print $1, $6}')

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libwxgtk3.2 libcurl4 libtinyxml2 xdg-utils; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
for program in "${programs[@]}"; do
  [[ -L $root/usr/bin/$program && -x $root/usr/lib/velmora/$program ]] ||
    fail "$program is not in /usr/lib/velmora with a link in /usr/bin"
  [[ -s $root/usr/share/man/man1/$program.1.gz ]] || fail "no manual page for $program"
  if ldd "$root/usr/bin/$program" | grep -q 'not found'; then
    fail "$program lacks libraries: $(ldd "$root/usr/bin/$program" | grep 'not found')"
  fi
done
for file in usr/share/applications/net.velmora.doorlet.desktop \
            usr/share/icons/hicolor/256x256/apps/net.velmora.doorlet.png \
            usr/share/icons/hicolor/scalable/apps/net.velmora.doorlet.svg \
            usr/share/metainfo/net.velmora.suite.metainfo.xml \
            usr/lib/velmora/dorltRES usr/lib/velmora/languages/de-de; do
  [[ -s $root/$file ]] || fail "missing /$file"
done

# doorlet from the unpacked root, as the menu starts it: the usage box, closed with OK.
PATH="$root/usr/bin:$PATH" doorlet &
pid=$!
window=$(window_of "$pid")
if [[ -n $window ]]; then
  [[ $(xdotool getwindowname "$window") == "Velmora Tandro" ]] ||
    fail "usage box titled '$(xdotool getwindowname "$window")'"
  press_return "$window"
else
  fail "doorlet showed no usage box"
fi
status=0
wait_status "$pid" || status=$?
pid=""
[[ $status -eq 2 ]] || fail "doorlet without a command ended with $status, expected 2"

# The other programs: they start from the root and end with a reason where there is no display.
for program in "${programs[@]}"; do
  [[ $program == doorlet ]] && continue
  errors=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 30 "$root/usr/bin/$program" 2>&1 >/dev/null)
  status=$?
  if [[ $status -eq 0 || $status -ge 124 || $(wc -l <<<"$errors") -ne 1 ]]; then
    fail "$program without a display: status $status, said: $errors"
  fi
done

# lintian's errors and warnings both fail the package.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
cat "$work/lintian.log"
errors=$(grep -c '^E:' "$work/lintian.log")
warnings=$(grep -c '^W:' "$work/lintian.log")
if ((errors + warnings)); then
  fail "lintian reports $errors errors and $warnings warnings"
fi
exit $failed
