#!/bin/bash
# Runs the whole front end in a virtual X server: the launcher starts the
# windowing shell on main.tcl in a fresh data folder, the front end computes
# the HOMO unattended (GRIDORB_FRONTEND_AUTOTEST) and reports what its window
# shows; a screenshot is kept beside the folder as a test artefact.
#
# Usage: frontend_gui_test.sh NAME EXPECT LAUNCHER MAIN_TCL GRIDORB FOR013 ARTEFACT_DIR
#   EXPECT is "ok" (the pictures must show both lobes) or
#   "failed:WORD" (the window must show an error that mentions WORD); in the
#   failure case TARNEL.COR is made a folder, so gridorb cannot write it.
set -u

if [ "${1-}" = --inside-display ]; then
    # Runs inside xvfb-run: start the launcher, wait for the report, take
    # the screenshot, let the front end exit.
    shift
    work=$1 launcher=$2 gridorb=$3
    cd "$work/folder" || exit 1
    # A stand-in ParaView on the search path records how it was started.
    mkdir -p "$work/bin"
    printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s/paraview.args"\n' "$work" > "$work/bin/paraview"
    chmod +x "$work/bin/paraview"
    PATH="$work/bin:$PATH" GRIDORB="$gridorb" GRIDORB_FRONTEND_AUTOTEST="$work/report" "$launcher"
    for _ in $(seq 1800); do
        [ -e "$work/report" ] && break
        sleep 0.1
    done
    if [ ! -e "$work/report" ]; then
        echo "the front end wrote no report within 3 minutes"
        xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$work/screenshot.png"
        exit 1
    fi
    sleep 0.5
    xwd -name "gridorb - molecular orbital viewer" -silent > "$work/window.xwd" 2>/dev/null ||
        xwd -root -silent > "$work/window.xwd"
    xwdtopnm < "$work/window.xwd" 2>/dev/null | pnmtopng > "$work/screenshot.png"
    rm -f "$work/window.xwd"
    touch "$work/report.done"
    pid=$(sed -n 's/^pid //p' "$work/report")
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || exit 0
        sleep 0.1
    done
    echo "the front end did not exit after the test; stopping it"
    kill "$pid"
    exit 1
fi

name=$1 expect=$2 launcher=$(realpath "$3") main=$(realpath "$4") gridorb=$(realpath "$5")
wavefunction=$(realpath "$6") artefacts=$7

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
mkdir -p "$work/folder"
# The folder is set up as a user sets up their own: FOR013 and a link to
# the installed main.tcl.
cp "$wavefunction" "$work/folder/FOR013"
ln -s "$main" "$work/folder/main.tcl"
case $expect in failed:*) mkdir "$work/folder/TARNEL.COR" ;; esac

xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside-display "$work" "$launcher" "$gridorb"
inside=$?

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
[ "$inside" -eq 0 ] || fail "the run under the virtual display failed (status $inside)"
if [ -e "$work/report" ]; then
    echo "--- what the window showed:"
    cat "$work/report"
    echo "---"
    status=$(sed -n 's/^status //p' "$work/report")
    banner=$(sed -n 's/^banner //p' "$work/report")
    case $expect in
    ok)
        [ "$status" = ok ] || fail "the window shows an error: $banner"
        for _ in $(seq 100); do [ -e "$work/paraview.args" ] && break; sleep 0.1; done
        [ "$(cat "$work/paraview.args" 2>/dev/null)" = "--data=$work/folder/VELD.VTK" ] ||
            fail "Open in ParaView did not start paraview --data=$work/folder/VELD.VTK"
        pictures=$(grep -cE '^picture [xyz]+ [1-9][0-9]{2}x[1-9][0-9]{2} [1-9]' "$work/report")
        [ "$pictures" -eq 3 ] || fail "expected three pictures with a coloured orbital, got $pictures"
        ;;
    failed:*)
        [ "$status" = failed ] || fail "the window shows no error: $banner"
        case $banner in
        *"${expect#failed:}"*) ;;
        *) fail "the error shown does not mention ${expect#failed:}: $banner" ;;
        esac
        ;;
    esac
fi

if [ -s "$work/screenshot.png" ]; then
    echo "screenshot: $work/screenshot.png"
    if [ "$expect" = ok ]; then
        # Count strongly red and strongly blue pixels: both lobes must be on screen.
        read -r red blue < <(pngtopnm "$work/screenshot.png" | ppmhist -noheader |
            awk '{ if ($1 > $2 + 80 && $1 > $3 + 80) r += $5;
                   if ($3 > $1 + 80 && $3 > $2 + 40) b += $5 }
                 END { print r + 0, b + 0 }')
        echo "lobe pixels on screen: red $red, blue $blue"
        [ "$red" -gt 1000 ] || fail "the screenshot shows no positive lobe"
        [ "$blue" -gt 1000 ] || fail "the screenshot shows no negative lobe"
    fi
else
    fail "no screenshot was taken"
fi

[ "$failures" -eq 0 ] && echo "$name: all checks passed"
[ "$failures" -eq 0 ]
