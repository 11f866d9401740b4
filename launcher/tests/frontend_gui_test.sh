#!/bin/bash
# Runs the whole front end in a virtual X server: the launcher starts the
# windowing shell on main.tcl in a fresh data folder, where a stand-in wish
# on the search path puts the test driver (gui_driver.tcl) in front of it.
# The driver plays the steps as a user would, takes screenshots and reports
# what the window showed; this script checks the report and the pictures.
# Screenshots, the saved picture and the report stay as test artefacts in
# ARTEFACT_DIR/NAME.
#
# Usage: frontend_gui_test.sh NAME EXPECT LAUNCHER MAIN_TCL GRIDORB FOR013 ARTEFACT_DIR DRIVER STEPS
#   EXPECT is "ok" (the run succeeds and the 3D view shows no error),
#   "fallback" (the run succeeds without the picture extension, which the
#   window says in one line, and the slices show the orbital) or
#   "failed:WORDS" (the window shows an error that mentions WORDS); with
#   "failed:TARNEL.COR" that file is made a folder, so gridorb cannot write it.
set -u

if [ "${1-}" = --inside-display ]; then
    shift
    work=$1 launcher=$2 gridorb=$3
    cd "$work/folder" || exit 1
    # A stand-in ParaView records how it was started.
    mkdir -p "$work/bin"
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/paraview.args"\n' "$work" > "$work/bin/paraview"
    chmod +x "$work/bin/paraview"
    PATH="$work/bin:$PATH" GRIDORB="$gridorb" GUI_TEST_REPORT="$work/report" "$launcher"
    for _ in $(seq 1800); do
        [ -e "$work/report" ] && break
        sleep 0.1
    done
    if [ ! -e "$work/report" ]; then
        echo "the front end wrote no report within 3 minutes"
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$work/timeout.png"
        exit 1
    fi
    # The driver exits after its report.
    pid=$(sed -n 's/^pid //p' "$work/report")
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || exit 0
        sleep 0.1
    done
    echo "the front end did not exit after its report; stopping it"
    kill "$pid"
    exit 1
fi

name=$1 expect=$2 launcher=$(realpath "$3") main=$(realpath "$4") gridorb=$(realpath "$5")
wavefunction=$(realpath "$6") artefacts=$7 driver=$(realpath "$8") steps=$9

missing=""
for tool in xvfb-run:xvfb xauth:xauth wish:tk8.6 xwd:x11-apps xwdtopnm:netpbm pnmtopng:netpbm ppmhist:netpbm; do
    command -v "${tool%%:*}" >/dev/null || missing="$missing ${tool#*:}"
done
if [ -n "$missing" ]; then
    echo "FAIL: tools missing; install the Debian packages:$missing"
    exit 1
fi

mkdir -p "$artefacts/$name"
work=$(realpath "$artefacts/$name")
rm -rf "$work"
mkdir -p "$work/folder" "$work/bin"
# The folder is set up as a user sets up their own: FOR013 and a link to
# the main.tcl of the build tree.
cp "$wavefunction" "$work/folder/FOR013"
ln -s "$main" "$work/folder/main.tcl"
case $expect in failed:TARNEL.COR) mkdir "$work/folder/TARNEL.COR" ;; esac
# The launcher runs "wish main.tcl"; this wish runs the driver, which sources it.
printf '#!/bin/sh\nGUI_TEST_STEPS="%s" exec "%s" "%s" "$@"\n' "$steps" "$(command -v wish)" "$driver" > "$work/bin/wish"
chmod +x "$work/bin/wish"

xvfb-run -a -s "-screen 0 1366x768x24" "$0" --inside-display "$work" "$launcher" "$gridorb"
inside=$?

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ "$inside" -eq 0 ] || fail "the run under the virtual display failed (status $inside)"
[ -e "$work/report" ] || { fail "no report"; exit 1; }
echo "--- what the window showed:"
cat "$work/report"
echo "---"
status=$(sed -n 's/^status //p' "$work/report")
banner=$(sed -n 's/^banner //p' "$work/report")
grep '^error ' "$work/report" && fail "the driver met errors (above)"
case $expect in
ok)
    [ "$status" = ok ] || fail "the window shows an error: $banner"
    grep -q '^viewnote .*not available' "$work/report" && fail "the 3D view is not available"
    grep -q '^computed_ms -1' "$work/report" && fail "a computed orbital was never shown"
    grep '^computed_ms' "$work/report" | grep -qv '^computed_ms [0-9.]* Orbital [0-9]' &&
        fail "the picture does not name the orbital computed"
    case " $steps " in *" reopen "*)
        grep -qx 'reopened Earlier result (which orbital is not recorded)' "$work/report" ||
            fail "an earlier result, opened again, claims to be an orbital it may not be" ;;
    esac
    case " $steps " in *" drag "*)
        grep -qx 'drag changed 1' "$work/report" || fail "a drag did not turn the picture" ;;
    esac
    case " $steps " in *" level "*)
        grep -qE '^level (.*) -> (.*)$' "$work/report" && ! grep -qE '^level (.+) -> \1$' "$work/report" ||
            fail "moving the slider did not change the isovalue" ;;
    esac
    case " $steps " in *" save "*)
        saved=$(sed -n 's/^saved \([0-9]*\) .*/\1/p' "$work/report")
        [ "${saved:-0}" -gt 1000 ] && [ "$(head -c 8 "$work/picture.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
            fail "no PNG picture was saved"
        ;;
    esac
    ;;
fallback)
    [ "$status" = ok ] || fail "the window shows an error: $banner"
    grep -q '^viewnote The 3D picture is not available' "$work/report" ||
        fail "the window does not say why the 3D picture is missing"
    ;;
failed:*)
    [ "$status" = failed ] || fail "the window shows no error: $banner"
    case $banner in
    *"${expect#failed:}"*) ;;
    *) fail "the error shown does not mention ${expect#failed:}: $banner" ;;
    esac
    ;;
esac

# Shaded lobes: many pixels and many shades of red, and of blue. The bar is low enough for the
# small slice panels, whose size follows the fonts a machine has (1447 red pixels with only the
# core fonts, 1559 with more), and far above an empty or flat picture.
while read -r _ shot path check; do
    [ -s "$path" ] || { fail "no screenshot $shot"; continue; }
    echo "screenshot: $path"
    [ "$check" = both ] || continue
    read -r red blue redShades blueShades < <(pngtopnm "$path" | ppmhist -noheader |
        awk '{ if ($1 > $2 + 60 && $1 > $3 + 60) { r += $5; rs++ }
               if ($3 > $1 + 60 && $3 > $2 + 30) { b += $5; bs++ } }
             END { print r + 0, b + 0, rs + 0, bs + 0 }')
    echo "  lobe pixels: red $red in $redShades shades, blue $blue in $blueShades shades"
    [ "$red" -gt 600 ] && [ "$redShades" -gt 20 ] || fail "$shot shows no shaded positive lobe"
    [ "$blue" -gt 600 ] && [ "$blueShades" -gt 20 ] || fail "$shot shows no shaded negative lobe"
done < <(grep '^shot ' "$work/report")
grep -q '^shot ' "$work/report" || fail "no screenshot was taken"

[ "$failures" -eq 0 ] && echo "$name: all checks passed"
[ "$failures" -eq 0 ]
