#!/bin/bash
# Builds the Debian package from this build tree, checks its control fields
# and its files, unpacks it into a scratch root and runs what it installed:
# gridorb on the bundled water wavefunction (byte for byte against the
# reference outputs), the manual pages, the front end's choice of gridorb, a
# picture drawn by the front end's extension, and the launcher. A `cmake --install` into another prefix must give the
# same files.
#
# Usage: package_test.sh BUILD BUILD_DIR SOURCE_DIR VERSION SCRATCH CPACK CMAKE TCLSH
#   BUILD is "normal" or "sanitizer"; a sanitizer build makes no static
#   gridorb, so there is nothing to package and the test is skipped (77).
set -u

build=$1 build_dir=$2 source_dir=$3 version=$4 scratch=$5 cpack=$6 cmake=$7 tclsh=${8-}
if [ "$build" = sanitizer ]; then
    echo "SKIP: a sanitizer build makes no static gridorb to package"
    exit 77
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
finish() {
    if [ "$failures" -eq 0 ]; then
        echo "debian_package: all checks passed"
        exit 0
    fi
    echo "debian_package: $failures check(s) failed"
    exit 1
}

missing=""
for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev groff:groff-base man:man-db gzip:gzip; do
    command -v "${tool%%:*}" >/dev/null || missing="$missing ${tool#*:}"
done
[ -n "$tclsh" ] && [ -x "$tclsh" ] || missing="$missing tcl8.6"
if [ -n "$missing" ]; then
    echo "FAIL: tools missing; install the Debian packages:$missing"
    exit 1
fi

rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(realpath "$scratch")
reference=$source_dir/gridorb/tests/data/water

# ---- 1. the package
if ! "$cpack" --config "$build_dir/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    fail "cpack could not build the package"
    finish
fi
# dpkg-shlibdeps warns, for instance, about a needless library dependency.
if grep -i 'warning' "$scratch/cpack.log"; then
    fail "cpack or dpkg-shlibdeps warned (above)"
fi
arch=$(dpkg --print-architecture)
deb=$scratch/out/gridorb_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
    fail "no $(basename "$deb"); cpack made: $(cd "$scratch/out" && ls ./*.deb 2>/dev/null)"
    finish
fi
echo "--- dpkg-deb -I $(basename "$deb")"
dpkg-deb -I "$deb" | tee "$scratch/info"

# ---- 2. control fields
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
    local value
    value=$(field "$1")
    [ "$value" = "$2" ] || fail "field $1 is \"$value\", expected \"$2\""
}
expect_field Package gridorb
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Section science
expect_field Priority optional
expect_field Recommends tk8.6
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
    fail "field Maintainer is not \"Name <address>\": $(field Maintainer)"
# gridorb is static and the launcher needs the C library alone; the front
# end's picture extension adds the C++ runtime and libpng.
depends=$(field Depends)
[[ "$depends" =~ (^|, )libc6\ \(\>=\ [0-9][0-9.]*\)(,|$) ]] ||
    fail "field Depends is \"$depends\", without \"libc6 (>= version)\""
IFS=, read -ra entries <<<"$depends"
for entry in "${entries[@]}"; do
    [[ "$entry" =~ ^\ ?(libc6|libgcc-s1|libstdc\+\+6|libpng16-16|zlib1g)\ \(\>=\ ([0-9]+:)?[0-9][0-9.~+-]*\)$ ]] ||
        fail "field Depends holds \"$entry\", which none of the programs or the extension should need"
done
[[ "$(field Installed-Size)" =~ ^[0-9]+$ ]] || fail "field Installed-Size is missing"
description=$(field Description)
synopsis=$(head -n 1 <<<"$description")
[ "$synopsis" = "evaluate molecular orbitals of semiempirical wavefunctions on a grid" ] ||
    fail "the synopsis is \"$synopsis\""
[ "$(wc -l <<<"$description")" -ge 4 ] || fail "the description has no long text"
# Control lines of the long description start with a blank; an empty line is " .".
awk '/^ Description:/ { on = 1; next } on && /^ [A-Z][A-Za-z-]*:/ { on = 0 }
     on && ((!/^  [^ ]/ && !/^  \.$/) || length($0) > 81) { print; bad = 1 }
     END { exit bad }' "$scratch/info" ||
    fail "the long description has lines that are not continuation lines of at most 80 characters (above)"
dpkg-deb --ctrl-tarfile "$deb" | tar -t | sort > "$scratch/control-files"
grep -qx './md5sums' "$scratch/control-files" || fail "the package has no md5sums"

# ---- 3. files, owners and modes
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sort -k3 > "$scratch/contents"
sort -k3 > "$scratch/expected-contents" <<'LIST'
drwxr-xr-x root/root ./
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/gridorb
-rwxr-xr-x root/root ./usr/bin/launcher
drwxr-xr-x root/root ./usr/lib/
drwxr-xr-x root/root ./usr/lib/gridorb/
-rw-r--r-- root/root ./usr/lib/gridorb/gridorbview.so
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/gridorb/
-rw-r--r-- root/root ./usr/share/doc/gridorb/README.frontend.md.gz
-rw-r--r-- root/root ./usr/share/doc/gridorb/README.md.gz
-rw-r--r-- root/root ./usr/share/doc/gridorb/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/gridorb/copyright
drwxr-xr-x root/root ./usr/share/gridorb/
-rw-r--r-- root/root ./usr/share/gridorb/main.tcl
drwxr-xr-x root/root ./usr/share/lintian/
drwxr-xr-x root/root ./usr/share/lintian/overrides/
-rw-r--r-- root/root ./usr/share/lintian/overrides/gridorb
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/gridorb.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/launcher.1.gz
LIST
# The top folder "./" is listed by some versions of CPack and not by others.
grep -v ' \./$' "$scratch/contents" > "$scratch/contents.files"
grep -v ' \./$' "$scratch/expected-contents" > "$scratch/expected.files"
# gridorb-export and its manual page.
printf '%s\n' '-rwxr-xr-x root/root ./usr/bin/gridorb-export' \
    '-rw-r--r-- root/root ./usr/share/man/man1/gridorb-export.1.gz' >> "$scratch/expected.files"
sort -k3 -o "$scratch/expected.files" "$scratch/expected.files"
diff -u "$scratch/expected.files" "$scratch/contents.files" ||
    fail "the package's files (mode, owner, path) differ from the list above"

root=$scratch/root
dpkg -x "$deb" "$root" || fail "dpkg -x could not unpack the package"
for program in bin/gridorb bin/launcher lib/gridorb/gridorbview.so; do
    if LC_ALL=C readelf -S "$root/usr/$program" 2>/dev/null | grep -q '\.symtab'; then
        fail "/usr/$program is not stripped"
    fi
done
LC_ALL=C readelf -d "$root/usr/bin/gridorb" 2>/dev/null | grep -q NEEDED &&
    fail "/usr/bin/gridorb needs shared libraries; it should be linked statically"
cmp -s "$root/usr/share/gridorb/main.tcl" "$source_dir/frontend/main.tcl" ||
    fail "the packaged main.tcl differs from frontend/main.tcl"
cmp -s "$root/usr/share/doc/gridorb/copyright" "$source_dir/packaging/copyright" ||
    fail "the packaged copyright file differs from packaging/copyright"
changelog=$root/usr/share/doc/gridorb/changelog.gz
if zcat "$changelog" 2>/dev/null | cmp -s - "$source_dir/packaging/changelog"; then
    newest=$(dpkg-parsechangelog -l "$source_dir/packaging/changelog" -S Version 2>&1)
    [ "$newest" = "$version" ] || fail "the changelog's newest entry is for \"$newest\", not $version"
else
    fail "changelog.gz is not packaging/changelog"
fi

# ---- 4. the installed gridorb, on the water example, in a clean environment
run=$scratch/water
mkdir -p "$run"
cp "$source_dir/examples/water/FOR013" "$run/FOR013"
clean_path="$root/usr/bin:/usr/bin:/bin"
found=$(cd "$run" && env -i PATH="$clean_path" sh -c 'command -v gridorb')
[ "$found" = "$root/usr/bin/gridorb" ] || fail "the search path finds gridorb at \"$found\""
(cd "$run" && env -i PATH="$clean_path" HOME="$run" LC_ALL=C gridorb 4 \
    >"$scratch/console.txt" 2>"$scratch/errors.txt")
status=$?
[ "$status" -eq 0 ] || fail "the installed gridorb 4 exited with status $status"
[ -s "$scratch/errors.txt" ] && fail "the installed gridorb wrote on standard error: $(cat "$scratch/errors.txt")"
cmp "$scratch/console.txt" "$reference/console.txt" || fail "console lines differ from the reference"
for file in TARNEL.COR VELD.VTK; do
    cmp "$run/$file" "$reference/$file" || fail "$file differs from the reference"
done

# ---- 5. the manual pages: compressed as Debian wants, free of warnings, found
# gzip -9n: no file name (flag byte 0), no time stamp (bytes 4 to 7 zero),
# best compression (extra flags 2).
check_gzip_9n() {
    gzip -t "$1" || { fail "$1 is not a valid gzip file"; return; }
    local header
    header=$(od -An -tu1 -N10 "$1" | tr -s ' ' | sed 's/^ //')
    [ "$(cut -d' ' -f4-9 <<<"$header")" = "0 0 0 0 0 2" ] ||
        fail "$1 was not made with gzip -9n (header $header)"
}
check_gzip_9n "$root/usr/share/doc/gridorb/changelog.gz"
for readme in README.md:README.md frontend/README.md:README.frontend.md; do
    gz=$root/usr/share/doc/gridorb/${readme#*:}.gz
    check_gzip_9n "$gz"
    zcat "$gz" | cmp -s - "$source_dir/${readme%%:*}" || fail "${readme#*:}.gz is not ${readme%%:*}"
done
for page in gridorb launcher gridorb-export; do
    gz=$root/usr/share/man/man1/$page.1.gz
    [ -f "$gz" ] || { fail "no manual page $page(1)"; continue; }
    check_gzip_9n "$gz"
    zcat "$gz" | cmp -s - "$source_dir/man/$page.1" || fail "$page.1.gz is not man/$page.1"
    warnings=$(zcat "$gz" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "groff warns about $page(1): $warnings"
    located=$(env -i PATH=/usr/bin:/bin MANPATH="$root/usr/share/man" man -w "$page" 2>&1)
    [ "$located" = "$gz" ] || fail "man -w $page finds \"$located\", not the installed page"
    env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$gz" >"$scratch/$page.txt" 2>"$scratch/$page.err" ||
        fail "man -l could not show $page(1): $(cat "$scratch/$page.err")"
    [ -s "$scratch/$page.err" ] && fail "man -l warned about $page(1): $(cat "$scratch/$page.err")"
done
for heading in NAME SYNOPSIS DESCRIPTION ARGUMENTS "INPUT FILE" OUTPUT "EXIT STATUS" DIAGNOSTICS FILES EXAMPLES; do
    grep -qx "$heading" "$scratch/gridorb.txt" || fail "gridorb(1) has no section $heading"
done
for text in "open: No such file or directory" "apparent state: unit 13 named FOR013" \
        "lately writing direct unformatted external IO" "orbital 9 does not exist: FOR013 has orbitals 1 to 6" \
        "FOR013: 51 atoms; at most 50 are supported" "TARNEL.COR" "VELD.VTK" "(CR LF)"; do
    grep -qF -- "$text" "$scratch/gridorb.txt" || fail "gridorb(1) does not show \"$text\""
done
grep -qF 'ln -s /usr/share/gridorb/main.tcl .' "$scratch/launcher.txt" ||
    fail "launcher(1) does not show how to link the installed main.tcl"

# ---- 6. the front end, linked into a data folder, runs the installed gridorb
# and draws with the installed picture extension
folder=$scratch/folder
mkdir -p "$folder"
ln -s "$root/usr/share/gridorb/main.tcl" "$folder/main.tcl"
choose() {
    (cd "$folder" && env -i PATH=/usr/bin:/bin HOME="$folder" "$@" "$tclsh" <<'TCL'
source main.tcl
puts [::gridorb::findProgram $::gridorb::home]
TCL
    )
}
chosen=$(choose 2>&1)
[ "$chosen" = "$root/usr/bin/gridorb" ] ||
    fail "the installed front end would run \"$chosen\", not $root/usr/bin/gridorb"
chosen=$(choose GRIDORB=/opt/elsewhere/gridorb 2>&1)
[ "$chosen" = /opt/elsewhere/gridorb ] || fail "with GRIDORB set the front end would run \"$chosen\""
# ... and draws water's HOMO with its picture extension from /usr/lib/gridorb.
drawn=$(cd "$folder" && env -i PATH=/usr/bin:/bin HOME="$folder" "$tclsh" <<TCL 2>&1
source main.tcl
set problem [::gridorb::loadExtension \$::gridorb::home]
if {\$problem ne ""} { puts \$problem; exit }
cd $run
set volume [::gridorb::readResult ::picture 1]
::picture level [expr {0.05 * 256 / 0.743110478}]
::picture view face-on 1.5
::picture save $scratch/picture.png 600 400
puts "[file exists $scratch/picture.png] [dict get \$volume dimensions]"
TCL
)
[ "$drawn" = "1 51 51 51" ] || fail "the installed front end could not draw a picture: $drawn"
[ "$(head -c 8 "$scratch/picture.png" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
    fail "the installed front end's picture is not a PNG file"

# ---- 7. the installed launcher starts "wish main.tcl" where it is started
launcher_log=$scratch/launcher-test.log
if ! TMPDIR=$scratch bash "$source_dir/launcher/tests/launcher_test.sh" "$root/usr/bin/launcher" >"$launcher_log" 2>&1; then
    cat "$launcher_log"
    fail "the installed launcher failed its checks (above)"
fi

# ---- 8. cmake --install into another prefix lays out the same files
prefix=$scratch/prefix
if "$cmake" --install "$build_dir" --prefix "$prefix" --strip >"$scratch/install.log" 2>&1; then
    (cd "$prefix" && find . -mindepth 1 | sed 's|^\./||' | sort) > "$scratch/installed"
    (cd "$root/usr" && find . -mindepth 1 | sed 's|^\./||' | sort) > "$scratch/packaged"
    diff -u "$scratch/packaged" "$scratch/installed" ||
        fail "cmake --install lays out other files than the package (above)"
    found=$(cd "$folder" && ln -sf "$prefix/share/gridorb/main.tcl" main.tcl &&
        env -i PATH=/usr/bin:/bin "$tclsh" <<<'source main.tcl; puts [::gridorb::findProgram $::gridorb::home]' 2>&1)
    [ "$found" = "$prefix/bin/gridorb" ] || fail "a front end installed in $prefix would run \"$found\""
else
    cat "$scratch/install.log"
    fail "cmake --install failed"
fi

# ---- 9. the installed gridorb-export: its manual page, and water's HOMO as a cube
gz=$root/usr/share/man/man1/gridorb-export.1.gz
check_gzip_9n "$gz"
zcat "$gz" | cmp -s - "$source_dir/man/gridorb-export.1" || fail "gridorb-export.1.gz is not man/gridorb-export.1"
warnings=$(zcat "$gz" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns about gridorb-export(1): $warnings"
LC_ALL=C readelf -S "$root/usr/bin/gridorb-export" 2>/dev/null | grep -q '\.symtab' &&
    fail "/usr/bin/gridorb-export is not stripped"
cubes=$scratch/cubes
mkdir -p "$cubes"
(cd "$run" && env -i PATH="$clean_path" HOME="$run" LC_ALL=C gridorb-export --quiet -o "$cubes" homo) ||
    fail "the installed gridorb-export homo failed"
[ "$(head -n 1 "$cubes/orbital-004-homo.cube" 2>/dev/null)" = "H2O, orbital 4 (HOMO) of 6, psi in atomic units" ] ||
    fail "the installed gridorb-export wrote no cube of water's HOMO"

echo "--- files of $(basename "$deb") ($(stat -c %s "$deb") bytes):"
dpkg-deb -c "$deb"
finish
