#!/usr/bin/env bash
# shellcheck disable=SC2015  # `a && b || fail …` is meant: fail when either does not hold
# Checks Quilmar as a user gets it, from an existing build folder:
#
#   check_install.sh tree BUILD_DIR SOURCE_DIR   `cmake --install` into a scratch prefix
#   check_install.sh deb  BUILD_DIR SOURCE_DIR   the Debian package `make deb` builds; its
#                                                program is started in a headless X session
#
# Every failed check is reported; the exit code is 1 when any failed.
set -uo pipefail

mode=${1:?mode} build=${2:?build folder} source=${3:?source folder}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/quilmar-install-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

icon_sizes=(16 22 24 32 48 64 128 256)

# Every file an install holds, relative to the prefix: nothing else may be there (no tests,
# benchmarks or libraries).
expected_files() {
  echo bin/quilmar
  echo share/applications/quilmar.desktop
  for size in "${icon_sizes[@]}"; do echo "share/icons/hicolor/${size}x$size/apps/quilmar.png"; done
  echo share/icons/hicolor/scalable/apps/quilmar.svg
  echo share/quilmar/autostart/quilmar.desktop
}

# Compares two sorted file lists, naming what is missing and what is extra.
same_files() {
  local what=$1 expected=$2 actual=$3 missing extra
  missing=$(comm -23 "$expected" "$actual")
  extra=$(comm -13 "$expected" "$actual")
  [ -z "$missing" ] || fail "$what lacks:"$'\n'"$missing"
  [ -z "$extra" ] || fail "$what holds files that do not belong there:"$'\n'"$extra"
  [ -z "$missing$extra" ] && ok "$what holds exactly the program, its desktop entries and icons"
}

# The value of `key` in the [Desktop Entry] group of a desktop file.
entry_value() { sed -n "/^\[Desktop Entry\]/,/^\[/s/^$2=//p" "$1" | head -n1; }

check_desktop_entries() {
  local prefix=$1 entry output program icon before
  for entry in "$prefix/share/applications/quilmar.desktop" "$prefix/share/quilmar/autostart/quilmar.desktop"; do
    [ -f "$entry" ] || continue
    before=$failures
    # Hints count too: an entry desktops would warn about is not a clean one.
    output=$(desktop-file-validate "$entry" 2>&1) && [ -z "$output" ] ||
      fail "${entry#"$prefix"/} does not validate cleanly:"$'\n'"$output"
    # The entry must start the installed program and show the installed icon.
    program=$(entry_value "$entry" Exec)
    program=${program%% *}
    [ -n "$program" ] && [ -x "$prefix/bin/$program" ] ||
      fail "${entry#"$prefix"/}: Exec names '$program', which is not an installed program"
    icon=$(entry_value "$entry" Icon)
    [ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
      fail "${entry#"$prefix"/}: Icon names '$icon', which the hicolor theme does not hold"
    for key in 'Name[zh_CN]' 'Comment[zh_CN]'; do
      [ -n "$(entry_value "$entry" "${key//[/\\[}")" ] || fail "${entry#"$prefix"/} has no $key"
    done
    [ "$failures" -eq "$before" ] && ok "${entry#"$prefix"/} validates; its Exec and Icon are installed"
  done
}

# Each size is an 8-bit RGBA PNG of exactly that size, with transparent and opaque pixels (not
# blank, not a filled square).
check_icons() {
  local prefix=$1 size png header width height depth_type alpha before=$failures
  for size in "${icon_sizes[@]}"; do
    png="$prefix/share/icons/hicolor/${size}x$size/apps/quilmar.png"
    [ -f "$png" ] || continue
    header=$(od -An -tx1 -N26 "$png" | tr -d ' \n')
    if [ "${header:0:16}" != 89504e470d0a1a0a ] || [ "${header:24:8}" != 49484452 ]; then
      fail "${size}x$size icon is not a PNG"
      continue
    fi
    width=$((16#${header:32:8})) height=$((16#${header:40:8})) depth_type=${header:48:4}
    [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] ||
      fail "${size}x$size icon is ${width}x$height"
    [ "$depth_type" = 0806 ] || fail "${size}x$size icon is not 8-bit RGBA (depth and colour type $depth_type)"
    alpha=$(identify -format '%[fx:minima.a] %[fx:maxima.a]' "$png" 2>&1)
    [ "$alpha" = "0 1" ] || fail "${size}x$size icon lacks either transparent or opaque pixels ($alpha)"
  done
  [ -f "$prefix/share/icons/hicolor/scalable/apps/quilmar.svg" ] &&
    grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/quilmar.svg" ||
    fail "the scalable icon is not an SVG"
  [ "$failures" -eq "$before" ] && ok "icons: ${icon_sizes[*]} as RGBA PNGs of their size, and scalable"
}

check_program() {
  local program=$1/bin/quilmar missing before=$failures
  [ -f "$program" ] && [ -x "$program" ] || { fail "bin/quilmar is not an executable file"; return; }
  [ "$(od -An -tx1 -N4 "$program" | tr -d ' ')" = 7f454c46 ] || fail "bin/quilmar is not an ELF program"
  missing=$(ldd "$program" 2>&1 | grep 'not found')
  [ -z "$missing" ] || fail "bin/quilmar needs libraries that are not there:"$'\n'"$missing"
  [ "$failures" -eq "$before" ] && ok "bin/quilmar is an executable whose libraries all resolve"
}

# Starts `program` in a fresh headless X session: its marker window must appear and the program
# must end on SIGTERM.
check_starts() {
  local program=$1 output
  # shellcheck disable=SC2016  # expanded by the inner shell
  if output=$("$source/scripts/xsession" run 1024x768 -- env QT_QPA_PLATFORM=xcb sh -c '
      "$1" & pid=$!
      for _ in $(seq 100); do
        window=$(xdotool search --name "^KEZ$" 2>/dev/null | head -n1)
        [ -n "$window" ] && break
        kill -0 $pid 2>/dev/null || { echo "the program ended before showing its marker window"; exit 1; }
        sleep 0.1
      done
      [ -n "$window" ] || { echo "no window named KEZ after 10 s"; kill -KILL $pid; exit 1; }
      owner=$(xdotool getwindowpid "$window" 2>/dev/null)
      [ "$owner" = "$pid" ] || { echo "KEZ belongs to pid $owner, not to the program ($pid)"; kill -KILL $pid; exit 1; }
      kill -TERM $pid
      for _ in $(seq 50); do kill -0 $pid 2>/dev/null || exit 0; sleep 0.1; done
      echo "still running 5 s after SIGTERM"; kill -KILL $pid; exit 1
    ' sh "$program" 2>&1); then
    ok "the program shows its marker window KEZ and ends on SIGTERM"
  else
    fail "starting the packaged program:"$'\n'"$output"
  fi
}

case $mode in
  tree)
    prefix=$scratch/prefix
    cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
      { cat "$scratch/install.log" >&2; fail "cmake --install failed"; exit 1; }
    expected_files | sort >"$scratch/expected"
    (cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$scratch/actual"
    same_files "the installed tree" "$scratch/expected" "$scratch/actual"
    check_program "$prefix"
    check_desktop_entries "$prefix"
    check_icons "$prefix"
    ;;
  deb)
    (cd "$build" && cpack -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1 ||
      { cat "$scratch/cpack.log" >&2; fail "cpack failed"; exit 1; }
    debs=("$scratch"/out/quilmar_1.0.0_*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] ||
      { ls "$scratch/out" >&2; fail "no single quilmar_1.0.0_<arch>.deb was built"; exit 1; }
    deb=${debs[0]}
    ok "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"

    field() { dpkg-deb -f "$deb" "$1"; }
    before=$failures
    [ "$(field Package)" = quilmar ] || fail "Package is '$(field Package)'"
    [ "$(field Version)" = 1.0.0 ] || fail "Version is '$(field Version)'"
    [ "$(field Section)" = education ] || fail "Section is '$(field Section)'"
    [ "$(field Maintainer)" = "Quilmar developers" ] || fail "Maintainer is '$(field Maintainer)'"
    [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
    depends=$(field Depends)
    # The font by name; Qt and the C library from dpkg-shlibdeps, with versions.
    for package in fonts-wqy-microhei 'libqt6widgets6 (>=' 'libqt6gui6 (>=' 'libc6 (>='; do
      [[ ", $depends," == *", $package"* ]] || fail "Depends lacks $package: $depends"
    done
    [[ $depends != *ibus* ]] || fail "Depends names ibus: $depends"
    [ "$failures" -eq "$before" ] && ok "control: $(field Package) $(field Version), section $(field Section); Depends: $depends"

    dpkg-deb -c "$deb" >"$scratch/contents" || fail "dpkg-deb -c failed"
    expected_files | sed 's|^|./usr/|' | sort >"$scratch/expected"
    awk '$1 !~ /^d/ { print $NF }' "$scratch/contents" | sort >"$scratch/actual"
    same_files "the package" "$scratch/expected" "$scratch/actual"
    grep -q '^-rwxr-xr-x root/root .* \./usr/bin/quilmar$' "$scratch/contents" ||
      fail "usr/bin/quilmar is not an executable owned by root: $(grep 'usr/bin/quilmar' "$scratch/contents")"

    dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x failed"
    check_program "$scratch/root/usr"
    check_desktop_entries "$scratch/root/usr"
    check_starts "$scratch/root/usr/bin/quilmar"
    ;;
  *)
    echo "usage: $0 tree|deb BUILD_DIR SOURCE_DIR" >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
