# main.tcl - the graphical front end of gridorb.
#
# Shows the molecule of the FOR013 in the working folder, runs gridorb on the
# orbital the user picks, and draws the result (VELD.VTK and TARNEL.COR): a
# rotatable picture of the orbital's two lobes with the atoms and bonds,
# drawn by the picture extension (gridorbview), and three slices through the
# grid as a second view.
#
# The file has two halves. The first defines the logic in namespace ::gridorb
# and needs only Tcl, so tests can source it with tclsh. The second builds the
# window; it is skipped when Tk is not loaded.
#
# Environment:
#   GRIDORB                    the gridorb program to run (default: for
#                              PREFIX/share/gridorb/main.tcl, even through a
#                              link, PREFIX/bin/gridorb; else the one beside
#                              this script; else the one on PATH)

package require Tcl 8.6

namespace eval ::gridorb {
    variable elementSymbols {
        H He Li Be B C N O F Ne Na Mg Al Si P S Cl Ar K Ca
        Sc Ti V Cr Mn Fe Co Ni Cu Zn Ga Ge As Se Br Kr Rb Sr Y Zr
        Nb Mo Tc Ru Rh Pd Ag Cd In Sn Sb Te I Xe
    }
    # Limits of gridorb's fixed storage.
    variable maxAtoms 50
    variable maxOrbitals 200
    # The three views: normal axis, horizontal axis, vertical axis (0 x, 1 y, 2 z).
    variable views {xy {2 0 1} xz {1 0 2} yz {0 1 2}}
    variable axisNames {x y z}
}

# ---------------------------------------------------------------- FOR013 ---

# What to do about a FOR013 that is cut short or damaged.
set ::gridorb::fixWavefunction "Copy FOR013 again from the calculation's folder, or run the calculation again."

# Reads one framed record: 4-byte length, data, 4-byte trailer (not checked,
# and allowed to be missing at the very end, as gridorb allows it).
proc ::gridorb::ReadRecord {chan fileSize number minimum what} {
    variable fixWavefunction
    set head [read $chan 4]
    if {[string length $head] < 4} {
        error "FOR013 is incomplete: it ends before record $number ($what).\
               $fixWavefunction"
    }
    binary scan $head i length
    set left [expr {$fileSize - [tell $chan]}]
    if {$length < $minimum} {
        error "FOR013 is damaged: record $number ($what) holds $length bytes,\
               but $minimum are needed. $fixWavefunction"
    }
    if {$length > $left} {
        error "FOR013 is incomplete: record $number ($what) is $length bytes\
               long, but the file ends $left bytes into it. $fixWavefunction"
    }
    set data [read $chan $length]
    read $chan 4
    return $data
}

# Record 2 gives each atom's last and first basis function. When they form
# the ranges of a real file (1 up to the orbital count, without gaps) they
# are returned as the number of functions per atom, else {} (such words are
# left unused, as gridorb leaves them).
proc ::gridorb::BasisCounts {words atoms orbitals} {
    set counts {}
    set next 1
    foreach {last first} $words {
        if {$first != $next || $last < $first} {
            return {}
        }
        lappend counts [expr {$last - $first + 1}]
        set next [expr {$last + 1}]
    }
    if {[llength $counts] != $atoms || $next != $orbitals + 1} {
        return {}
    }
    return $counts
}

# Returns a dict: atoms, orbitals, electrons, atomicNumbers, coordinates
# (a list of {x y z} in Angstrom), basisCounts (functions per atom from
# record 2, or {} where record 2 holds no ranges). Every structural fault of the file is an
# error whose message can be shown to the user as it is.
proc ::gridorb::readWavefunctionHeader {path} {
    variable fixWavefunction
    if {![file exists $path]} {
        error "There is no FOR013 in this folder. Choose a folder that holds\
               the wavefunction file of your molecule."
    }
    if {[file isdirectory $path]} {
        error "FOR013 in this folder is a folder, not a wavefunction file.\
               Choose the folder of your calculation, or put its FOR013 here."
    }
    if {[catch {open $path rb} chan]} {
        error "FOR013 cannot be read: [ReasonOf $chan]. Check that the file\
               may be read (ls -l FOR013), or choose another folder."
    }
    try {
        set size [file size $path]
        if {$size < 16} {
            error "FOR013 is too short to be a wavefunction file ($size bytes).\
                   $fixWavefunction"
        }
        set record [ReadRecord $chan $size 1 12 "the atom and orbital counts"]
        binary scan $record iii atoms orbitals electrons
        # Counts far beyond any molecule mean this is not a wavefunction file.
        if {$atoms < 0 || $orbitals < 1 || $electrons < 0
                || $atoms > 100000 || $orbitals > 100000} {
            error "FOR013 does not look like a wavefunction file: it gives\
                   $atoms atoms, $orbitals orbitals and $electrons electrons.\
                   Choose the folder of a semiempirical calculation that wrote\
                   its wavefunction."
        }
        if {[string length $record] < 12 + 24 * $atoms} {
            error "FOR013 is damaged: record 1 is too short for the coordinates\
                   of $atoms atoms. $fixWavefunction"
        }
        binary scan $record @12q[expr {3 * $atoms}] flat
        set coordinates {}
        for {set i 0} {$i < $atoms} {incr i} {
            lappend coordinates [list [lindex $flat $i] \
                [lindex $flat [expr {$atoms + $i}]] \
                [lindex $flat [expr {2 * $atoms + $i}]]]
        }
        set record [ReadRecord $chan $size 2 [expr {8 * $atoms}] "basis function ranges"]
        binary scan $record i[expr {2 * $atoms}] words
        set basisCounts [BasisCounts $words $atoms $orbitals]
        set record [ReadRecord $chan $size 3 [expr {28 * $atoms}] \
            "exponents and atomic numbers"]
        binary scan $record @[expr {24 * $atoms}]i$atoms atomicNumbers
        set matrixBytes [expr {8 * wide($orbitals) * $orbitals}]
        ReadRecord $chan $size 4 $matrixBytes "orbital vectors"
        ReadRecord $chan $size 5 $matrixBytes "basis transformation"
    } finally {
        close $chan
    }
    dict create atoms $atoms orbitals $orbitals electrons $electrons \
        atomicNumbers $atomicNumbers coordinates $coordinates basisCounts $basisCounts
}

proc ::gridorb::ReasonOf {message} {
    # Tcl says 'couldn't open "x": no such file or directory'; keep the reason.
    if {[regexp {: ([^:]+)$} $message -> reason]} {
        return $reason
    }
    return $message
}

# A sentence for the user when the molecule is beyond gridorb's limits, else "".
proc ::gridorb::limitsNote {header} {
    variable maxAtoms
    variable maxOrbitals
    set atoms [dict get $header atoms]
    set orbitals [dict get $header orbitals]
    if {$atoms > $maxAtoms || $orbitals > $maxOrbitals} {
        return "gridorb handles at most $maxAtoms atoms and $maxOrbitals\
                orbitals; this molecule has $atoms atoms and $orbitals\
                orbitals, so gridorb will refuse it. Choose the folder of a\
                smaller molecule."
    }
    return ""
}

# A sentence for the user when record 2 numbers some atom's basis functions
# otherwise than gridorb does (1 for H and He, 4 for heavier atoms): mostly
# d functions, which gridorb refuses; else "".
proc ::gridorb::dFunctionsNote {header} {
    set withD {}
    set other ""
    set atom 0
    foreach count [dict get $header basisCounts] z [dict get $header atomicNumbers] {
        incr atom
        set expected [expr {$z <= 2 ? 1 : 4}]
        if {$count > 4 && $expected == 4} {
            lappend withD [elementSymbol $z]
        } elseif {$count != $expected && $other eq ""} {
            set other "atom $atom ([elementSymbol $z]) $count basis functions where\
                gridorb expects $expected"
        }
    }
    if {[llength $withD]} {
        return [DFunctionsAdvice [join [lsort -unique $withD] ", "]]
    }
    if {$other ne ""} {
        return "This wavefunction gives $other, so gridorb cannot draw its\
                orbitals. Run the calculation again with MNDO, AM1, PM3 or RM1."
    }
    return ""
}

proc ::gridorb::DFunctionsAdvice {elements} {
    return "This wavefunction has d functions on $elements (besides s and p),\
            but gridorb evaluates s and p functions only, so it cannot draw its\
            orbitals. Run the calculation again with a method whose basis has no\
            d functions on $elements (MNDO, AM1, PM3 or RM1), or open\
            this molecule in a viewer that evaluates d functions."
}

# A note for under the picture when the molecule holds atoms beyond argon,
# whose own functions gridorb does not evaluate, else "".
proc ::gridorb::heavyAtomsNote {atomicNumbers} {
    set heavy [lsort -unique [lmap z $atomicNumbers {
        if {$z > 18} {elementSymbol $z} else continue
    }]]
    if {![llength $heavy]} {
        return ""
    }
    return "Note: gridorb does not evaluate the own functions of atoms beyond\
            argon ([join $heavy ", "]), so their contributions are missing\
            from this picture."
}

proc ::gridorb::elementSymbol {z} {
    variable elementSymbols
    if {[string is integer -strict $z] && $z >= 1 && $z <= [llength $elementSymbols]} {
        return [lindex $elementSymbols [expr {$z - 1}]]
    }
    return "Z$z"
}

# Hill order: C first, then H, then the rest alphabetically; without carbon
# all elements alphabetically.
proc ::gridorb::chemicalFormula {atomicNumbers} {
    set counts [dict create]
    foreach z $atomicNumbers {
        dict incr counts [elementSymbol $z]
    }
    set symbols [lsort [dict keys $counts]]
    if {[dict exists $counts C]} {
        set rest [lsearch -all -inline -not -regexp $symbols {^(C|H)$}]
        set symbols [concat C [expr {[dict exists $counts H] ? "H" : ""}] $rest]
    }
    set formula ""
    foreach symbol $symbols {
        set n [dict get $counts $symbol]
        append formula $symbol [expr {$n > 1 ? $n : ""}]
    }
    return $formula
}

# Frontier orbitals from the electron count: closed shells fill orbitals in
# pairs. With an odd count the highest occupied orbital holds one electron.
# Returns a dict homo, lumo (0 where there is none) and single (1 if the HOMO
# is singly occupied).
proc ::gridorb::frontierOrbitals {electrons orbitals} {
    set homo [expr {($electrons + 1) / 2}]
    set single [expr {$electrons % 2}]
    if {$homo > $orbitals} {
        set homo 0
    }
    set lumo [expr {($electrons + 1) / 2 + 1}]
    if {$lumo > $orbitals} {
        set lumo 0
    }
    dict create homo $homo lumo $lumo single $single
}

# One label per orbital, in orbital order; each starts with its number.
proc ::gridorb::orbitalLabels {electrons orbitals} {
    set frontier [frontierOrbitals $electrons $orbitals]
    set homo [dict get $frontier homo]
    set lumo [dict get $frontier lumo]
    set occupiedUpTo [expr {min(($electrons + 1) / 2, $orbitals)}]
    set labels {}
    for {set i 1} {$i <= $orbitals} {incr i} {
        if {$i == $homo} {
            set note [expr {[dict get $frontier single]
                ? "HOMO, highest occupied, one electron"
                : "HOMO, highest occupied"}]
        } elseif {$i == $lumo} {
            set note "LUMO, lowest unoccupied"
        } elseif {$i <= $occupiedUpTo} {
            set note "occupied"
        } else {
            set note "unoccupied"
        }
        lappend labels [format "%3d   %s" $i $note]
    }
    return $labels
}

proc ::gridorb::orbitalOfLabel {label} {
    scan $label %d number
    return $number
}

# ------------------------------------------------------------ TARNEL.COR ---

# Returns a list of atoms {Z x y z}, coordinates in Angstrom. The file has
# four heading lines, one line per atom, and a closing line with one number.
proc ::gridorb::readAtomFile {path} {
    if {[catch {open $path r} chan]} {
        error "TARNEL.COR cannot be read: [ReasonOf $chan]"
    }
    set lines [split [read $chan] \n]
    close $chan
    set atoms {}
    foreach line [lrange $lines 4 end] {
        set fields [string trim $line]
        if {$fields eq ""} {
            continue
        }
        if {[catch {llength $fields} n]} {
            error "TARNEL.COR holds a line that is not an atom: $line"
        }
        if {$n == 1} {
            break
        }
        lassign $fields z x y zc
        if {$n != 4 || ![string is integer -strict $z]
                || ![string is double -strict $x] || ![string is double -strict $y]
                || ![string is double -strict $zc]} {
            error "TARNEL.COR holds a line that is not an atom: [string trim $line]"
        }
        lappend atoms [list $z [expr {double($x)}] [expr {double($y)}] [expr {double($zc)}]]
    }
    if {![llength $atoms]} {
        error "TARNEL.COR lists no atoms."
    }
    return $atoms
}

# -------------------------------------------------------------- VELD.VTK ---

# The reader used when the picture extension cannot be loaded, so that the
# slices still work. Parses a legacy VTK structured-points file as gridorb
# writes it. Returns a
# dict: dimensions {nx ny nz}, origin {x y z}, spacing {dx dy dz} (Angstrom),
# count, and blocks: a dict from scalar name (POS, NEG, TOT) to a flat list
# of integers with x varying fastest.
#
# The file is about 2 MB, so the value blocks are never split line by line:
# a block of numbers separated by blanks and line ends is already a Tcl list.
proc ::gridorb::parseVolumeText {text} {
    if {![string match "# vtk DataFile*" $text]} {
        error "VELD.VTK is not a VTK data file."
    }
    set first [string first "SCALARS" $text]
    if {$first < 0} {
        error "VELD.VTK holds no orbital values."
    }
    set head [string range $text 0 [expr {$first - 1}]]
    if {![regexp {\nASCII\s} $head] || ![regexp {DATASET\s+STRUCTURED_POINTS} $head]} {
        error "VELD.VTK is not an ASCII structured-points file."
    }
    set number {[-+]?(?:\d+\.?\d*|\.\d+)(?:[eEdD][-+]?\d+)?}
    foreach {key pattern} [list dimensions "DIMENSIONS\\s+(\\d+)\\s+(\\d+)\\s+(\\d+)" \
            origin "ORIGIN\\s+($number)\\s+($number)\\s+($number)" \
            spacing "SPACING\\s+($number)\\s+($number)\\s+($number)" \
            count "POINT_DATA\\s+(\\d+)"] {
        set found [regexp -inline $pattern $head]
        if {![llength $found]} {
            error "VELD.VTK has no [string toupper $key] line."
        }
        set values [lmap v [lrange $found 1 end] {expr {$v}}]
        dict set result $key [expr {$key eq "count" ? [lindex $values 0] : $values}]
    }
    lassign [dict get $result dimensions] nx ny nz
    set count [dict get $result count]
    if {$nx * $ny * $nz != $count || $count == 0} {
        error "VELD.VTK is inconsistent: DIMENSIONS $nx $ny $nz but POINT_DATA $count."
    }
    set blocks [dict create]
    set at $first
    while {$at >= 0} {
        set next [string first "SCALARS" $text [expr {$at + 7}]]
        set end [expr {$next < 0 ? [string length $text] : $next}]
        set lineEnd [string first \n $text $at]
        set name [lindex [string range $text $at $lineEnd] 1]
        set tableAt [string first "LOOKUP_TABLE" $text $at]
        if {$tableAt < 0 || $tableAt > $end} {
            error "VELD.VTK: block $name has no LOOKUP_TABLE line."
        }
        set dataAt [expr {[string first \n $text $tableAt] + 1}]
        set data [string range $text $dataAt [expr {$end - 1}]]
        if {[regexp {[^0-9 \t\r\n]} $data bad]} {
            error "VELD.VTK: block $name holds something other than whole\
                   numbers (\"$bad\"); the file is damaged."
        }
        set n [llength $data]
        if {$n != $count} {
            error "VELD.VTK is incomplete: block $name has $n of $count values."
        }
        # A pure list, without the text it came from.
        dict set blocks $name [lrange $data 0 end]
        set at $next
    }
    foreach name {POS NEG} {
        if {![dict exists $blocks $name]} {
            error "VELD.VTK has no $name block."
        }
    }
    dict set result blocks $blocks
    return $result
}

proc ::gridorb::readVolumeText {path} {
    if {[catch {open $path r} chan]} {
        error "VELD.VTK cannot be read: [ReasonOf $chan]"
    }
    set text [read $chan]
    close $chan
    parseVolumeText $text
}

# The volume as the window uses it: with the picture extension, a dict of
# dimensions, origin, spacing and result (the extension's command NAME for
# the loaded result); without it, what readVolumeText gives.
proc ::gridorb::readResult {name withExtension} {
    if {!$withExtension} {
        return [readVolumeText VELD.VTK]
    }
    set result [::gridorbview::open $name VELD.VTK TARNEL.COR]
    set info [$result info]
    dict create dimensions [dict get $info dimensions] origin [dict get $info origin] \
        spacing [dict get $info spacing] result $result
}

# The number of planes along the normal of a view.
proc ::gridorb::planeCount {volume view} {
    variable views
    lindex [dict get $volume dimensions] [lindex [dict get $views $view] 0]
}

# One slice of a flat block as rows in display order: the first row is the
# top of the picture (largest vertical coordinate), values left to right
# along the horizontal axis. view is xy, xz or yz; index counts from 0.
proc ::gridorb::sliceRows {block dimensions view index} {
    lassign $dimensions nx ny nz
    set plane [expr {$nx * $ny}]
    set rows {}
    switch -- $view {
        xy {
            set base [expr {$index * $plane}]
            for {set iy [expr {$ny - 1}]} {$iy >= 0} {incr iy -1} {
                set start [expr {$base + $iy * $nx}]
                lappend rows [lrange $block $start [expr {$start + $nx - 1}]]
            }
        }
        xz {
            for {set iz [expr {$nz - 1}]} {$iz >= 0} {incr iz -1} {
                set start [expr {$iz * $plane + $index * $nx}]
                lappend rows [lrange $block $start [expr {$start + $nx - 1}]]
            }
        }
        yz {
            for {set iz [expr {$nz - 1}]} {$iz >= 0} {incr iz -1} {
                set row {}
                for {set k [expr {$iz * $plane + $index}]; set iy 0} {$iy < $ny} \
                        {incr iy; incr k $nx} {
                    lappend row [lindex $block $k]
                }
                lappend rows $row
            }
        }
        default {
            error "unknown view $view"
        }
    }
    return $rows
}

# The orbital's sign restored from its two lobes: POS minus NEG, -256..256.
# A volume read by the picture extension hands out its own slices.
proc ::gridorb::signedSlice {volume view index} {
    if {[dict exists $volume result]} {
        return [[dict get $volume result] slice $view $index]
    }
    set dimensions [dict get $volume dimensions]
    set pos [sliceRows [dict get $volume blocks POS] $dimensions $view $index]
    set neg [sliceRows [dict get $volume blocks NEG] $dimensions $view $index]
    lmap p $pos n $neg {
        lmap a $p b $n {expr {$a - $b}}
    }
}

# Position of a plane of a view in Angstrom.
proc ::gridorb::planePosition {volume view index} {
    variable views
    set axis [lindex [dict get $views $view] 0]
    expr {[lindex [dict get $volume origin] $axis]
          + $index * [lindex [dict get $volume spacing] $axis]}
}

# Where each atom falls in a view: a list of dicts with symbol, column and
# row (grid units, fractional; row 0 is the top row as in sliceRows) and
# distance (Angstrom from the plane, signed).
proc ::gridorb::atomsInView {atoms volume view index} {
    variable views
    lassign [dict get $views $view] normal across up
    set origin [dict get $volume origin]
    set spacing [dict get $volume spacing]
    set top [expr {[lindex [dict get $volume dimensions] $up] - 1}]
    set plane [planePosition $volume $view $index]
    set placed {}
    foreach atom $atoms {
        set position [lrange $atom 1 3]
        set column [expr {([lindex $position $across] - [lindex $origin $across])
                          / [lindex $spacing $across]}]
        set row [expr {$top - ([lindex $position $up] - [lindex $origin $up])
                              / [lindex $spacing $up]}]
        lappend placed [dict create symbol [elementSymbol [lindex $atom 0]] \
            column $column row $row \
            distance [expr {[lindex $position $normal] - $plane}]]
    }
    return $placed
}

# ------------------------------------------------------------- pictures ---

# Colours for the signed values -256..256, index value+256: white where the
# orbital vanishes, deepening to red for the positive lobe and to blue for
# the negative one. A ramp steeper than linear keeps the outer parts of a
# lobe visible; the largest magnitude gets the full colour.
proc ::gridorb::colourTable {} {
    set positive {200 30 45}
    set negative {30 90 200}
    set table {}
    for {set s -256} {$s <= 256} {incr s} {
        set t [expr {(abs($s) / 256.0) ** 0.5}]
        lassign [expr {$s < 0 ? $negative : $positive}] r g b
        lappend table [format #%02x%02x%02x \
            [expr {round(255 + ($r - 255) * $t)}] \
            [expr {round(255 + ($g - 255) * $t)}] \
            [expr {round(255 + ($b - 255) * $t)}]]
    }
    return $table
}

# Sample positions for stretching n points over `pixels` pixels: pairs of
# {left point, weight of the right point}; the last pixel lands on point n-1.
proc ::gridorb::SamplePositions {n pixels} {
    set positions {}
    for {set p 0} {$p < $pixels} {incr p} {
        set u [expr {$pixels > 1 ? double($p) * ($n - 1) / ($pixels - 1) : 0.0}]
        set left [expr {min(int($u), max($n - 2, 0))}]
        lappend positions $left [expr {$n > 1 ? $u - $left : 0.0}]
    }
    return $positions
}

# Rows of signed values to a width x height picture (rows of colours), by
# bilinear interpolation between the grid points. Cheap enough (tens of
# milliseconds for a 51-point slice) to redraw while a slider moves.
proc ::gridorb::pictureRows {rows width height table} {
    set across [SamplePositions [llength [lindex $rows 0]] $width]
    set widened [lmap row $rows {
        lmap {left w} $across {
            set a [lindex $row $left]
            expr {$w == 0 ? $a : $a + ([lindex $row $left+1] - $a) * $w}
        }
    }]
    lmap {top w} [SamplePositions [llength $rows] $height] {
        set upper [lindex $widened $top]
        if {$w == 0} {
            lmap a $upper {lindex $table [expr {256 + round($a)}]}
        } else {
            lmap a $upper b [lindex $widened $top+1] {
                lindex $table [expr {256 + round($a + ($b - $a) * $w)}]
            }
        }
    }
}

# Picture sizes in pixels for the three views, {width height} each, so that
# one pixel is the same length in Angstrom along every axis and the longest
# side of the grid gets `longest` pixels.
proc ::gridorb::pictureSizes {volume longest} {
    variable views
    set lengths [lmap n [dict get $volume dimensions] d [dict get $volume spacing] {
        expr {($n - 1) * $d}
    }]
    set scale [expr {($longest - 1) / [tcl::mathfunc::max {*}$lengths]}]
    set sizes {}
    foreach {view axes} $views {
        lassign $axes normal across up
        dict set sizes $view [list \
            [expr {round([lindex $lengths $across] * $scale) + 1}] \
            [expr {round([lindex $lengths $up] * $scale) + 1}]]
    }
    return $sizes
}

# ------------------------------------------------------------- the run ---

# The summary lines of a run: MIN, MAX ... and NORBS ... NATB. Returns a dict
# with the keys found (minimum, maximum, orbitals, atoms).
proc ::gridorb::parseSummary {lines} {
    set summary [dict create]
    foreach line $lines {
        if {[regexp {COMPUTED IS\s+(\S+)\s+(\S+)} $line -> low high]
                && [string is double -strict $low] && [string is double -strict $high]} {
            dict set summary minimum [expr {double($low)}]
            dict set summary maximum [expr {double($high)}]
        } elseif {[regexp {NORBS\s*(\d+)\s*NATB\s*(\d+)} $line -> orbitals atoms]} {
            dict set summary orbitals [scan $orbitals %d]
            dict set summary atoms [scan $atoms %d]
        }
    }
    return $summary
}

# The larger magnitude of the run's minimum and maximum (gridorb's summary
# line), which the file's 256 stands for; 0 when the summary lacks it.
proc ::gridorb::peakOf {summary} {
    if {![dict exists $summary minimum]} {
        return 0.0
    }
    expr {max(abs([dict get $summary minimum]), abs([dict get $summary maximum]))}
}

# The isovalue a picture opens with, in atomic units: 0.05, or a quarter of
# the peak where 0.05 is more than half of it (a weak orbital would show
# next to nothing).
proc ::gridorb::defaultLevel {peak} {
    expr {0.05 > $peak / 2.0 ? $peak / 4.0 : 0.05}
}

# The level slider runs from 0 to 1 over levels from 1/200 to 9/10 of the
# peak on a logarithmic scale, so small isovalues get as much room as large.
proc ::gridorb::levelAt {position peak} {
    set low [expr {$peak / 200.0}]
    expr {$low * (0.9 * $peak / $low) ** min(max($position, 0.0), 1.0)}
}

proc ::gridorb::levelPosition {level peak} {
    set low [expr {$peak / 200.0}]
    expr {min(max(log($level / $low) / log(0.9 * $peak / $low), 0.0), 1.0)}
}

# gridorb's progress line for an atom: returns the atom number or 0.
proc ::gridorb::progressAtom {line} {
    if {[regexp {PROCESSING ATOM NUMBER\s+(\d+)} $line -> number]} {
        return [scan $number %d]
    }
    return 0
}

# How gridorb ended, for the log.
proc ::gridorb::statusText {status} {
    switch -- [lindex $status 0] {
        NONE {return "gridorb ended with exit status 0."}
        CHILDSTATUS {return "gridorb ended with exit status [lindex $status 2]."}
        CHILDKILLED {return "gridorb ended abnormally: signal [lindex $status 2] ([lindex $status 3])."}
        default {return "gridorb ended: [lindex $status end]"}
    }
}

# Explains in words how a run of gridorb ended. status is the -errorcode of
# closing its pipe (NONE for a clean exit), report its standard error.
# Returns a dict: ok (1 or 0), headline (what happened and what to do next),
# detail (more text, may be empty). Files named in gridorb's report are
# looked at in the current folder, the one gridorb ran in.
proc ::gridorb::describeOutcome {status report {stoppedByUser 0}} {
    set report [string trim [string map {\r ""} $report]]
    set lines [split $report \n]
    set again "Press \u201cCompute orbital\u201d to run it again."
    switch -- [lindex $status 0] {
        NONE {
            return [dict create ok 1 headline "gridorb finished." \
                detail [expr {$report eq "" ? "" : "It wrote on its error output:\n$report"}]]
        }
        CHILDSTATUS {
            set code [lindex $status 2]
            set first [string trim [lindex $lines 0]]
            if {$code == 1 && $stoppedByUser} {
                set headline "The computation was stopped, as you asked. $again"
            } elseif {$code == 1} {
                set headline "gridorb was interrupted before it finished. $again"
            } elseif {$code == 2 && [regexp {\(Z = (\d+)\).*evaluates s and p functions only} $first -> z]} {
                set headline [DFunctionsAdvice [elementSymbol $z]]
            } elseif {$code == 2 && [regexp {basis functions?\M} $first]} {
                set headline "gridorb refused this input: [regsub {^gridorb: } $first ""].\
                    Run the calculation again with MNDO, AM1, PM3 or RM1."
            } elseif {$code == 2} {
                set headline "gridorb refused this input"
                if {$first ne ""} {
                    append headline ": " [regsub {^gridorb: } $first ""]
                }
                set headline "[string trimright $headline .]. "
                if {[regexp {orbital} $first] && ![regexp {orbitals;} $first]} {
                    append headline "Pick an orbital from the list."
                } else {
                    append headline "gridorb handles molecules of up to 50 atoms and\
                        200 orbitals; choose the folder of a smaller one."
                }
            } else {
                set headline "gridorb ended with exit status $code. Its output is\
                    in the log below; check it, then compute again."
            }
            return [dict create ok 0 headline $headline detail $report]
        }
        CHILDKILLED {
            set signal [lindex $status 2]
            if {$signal eq "SIGABRT"} {
                set headline [ExplainFatalReport $lines]
            } elseif {$signal eq "SIGFPE"} {
                set headline "gridorb stopped on a floating-point error. The\
                    wavefunction may hold values that are not numbers; run the\
                    calculation again."
            } elseif {$signal in {SIGKILL SIGTERM SIGINT} && $stoppedByUser} {
                set headline "The computation was stopped, as you asked. $again"
            } elseif {$signal in {SIGKILL SIGTERM SIGINT}} {
                set headline "gridorb was killed ($signal) before it finished. $again"
            } else {
                set headline "gridorb crashed ([lindex $status 3], $signal). Please\
                    report it together with this folder's FOR013."
            }
            set detail $report
            if {$detail ne ""} {
                set detail "gridorb's report:\n$report"
            }
            return [dict create ok 0 headline $headline detail $detail]
        }
        default {
            return [dict create ok 0 \
                headline "gridorb could not be run: [lindex $status end]. Check\
                    that the program named by GRIDORB, or the installed gridorb,\
                    can be started." detail $report]
        }
    }
}

# gridorb's fatal report: "context: reason", then "apparent state: unit N
# named NAME" (or "internal I/O"), perhaps "last format: ...", then "lately ...".
proc ::gridorb::ExplainFatalReport {lines} {
    variable fixWavefunction
    set first [string trim [lindex $lines 0]]
    set context ""
    set reason $first
    regexp {^([^:]+):\s*(.*)$} $first -> context reason
    set file ""
    foreach line $lines {
        if {[regexp {apparent state: unit \d+ named (\S+)} $line -> file]} {
            break
        }
        if {[string match "*internal I/O*" $line]} {
            set file INTERNAL
            break
        }
    }
    set reasonText [string tolower [string index $reason 0]][string range $reason 1 end]
    if {$first eq ""} {
        return "gridorb stopped abnormally without a report. Compute again; if it\
                happens again, please report it with this folder's FOR013."
    }
    if {$file eq "FOR013"} {
        if {[file isdirectory FOR013]} {
            return "FOR013 in this folder is a folder, not a wavefunction file.\
                    Choose the folder of your calculation, or put its FOR013 here."
        }
        if {$context eq "open"} {
            return "gridorb could not open FOR013: $reasonText. Check that FOR013\
                    is in this folder and may be read."
        }
        if {$reason in {"end of file" "off end of record"}} {
            return "gridorb could not read FOR013: the file ends too early or a\
                    record is too short, so it is incomplete or damaged.\
                    $fixWavefunction"
        }
        return "gridorb could not read FOR013: $reasonText. $fixWavefunction"
    }
    if {$file eq "INTERNAL"} {
        return "gridorb did not understand the orbital number it was given\
                ($reasonText). Pick an orbital from the list."
    }
    if {$file ne ""} {
        if {[file isdirectory $file]} {
            return "gridorb could not write $file: this folder holds a folder of\
                    that name. Rename or remove that folder, then compute again."
        }
        if {[file exists $file] && ![file writable $file]} {
            return "gridorb could not write $file: the file may only be read.\
                    Make it writable (chmod u+w $file) or remove it, then compute again."
        }
        return "gridorb could not write $file in this folder: $reasonText. Check\
                that the folder may be written and the disk is not full, then\
                compute again."
    }
    return "gridorb stopped on an input/output error: $first. Check the folder\
            and FOR013, then compute again."
}

# Starts `program orbital` in the current directory without waiting for it.
# Calls {*}$onLine STREAM LINE for every line it writes (STREAM is output or
# errors) and, once it has ended, {*}$onDone STATUS REPORT: STATUS is NONE
# for exit status 0, else the -errorcode of closing its pipe (CHILDSTATUS
# pid code, CHILDKILLED pid signal text); REPORT is all it wrote on standard
# error. Returns the pipe, which identifies the run.
proc ::gridorb::startProgram {program orbital onLine onDone} {
    variable runs
    # Standard error comes back on a pipe of its own, so that the failure
    # report stays apart from the progress lines.
    lassign [chan pipe] errorsIn errorsOut
    if {[catch {open |[list $program $orbital 2>@ $errorsOut] r} chan]} {
        close $errorsIn
        close $errorsOut
        error "gridorb could not be started: [ReasonOf $chan]"
    }
    close $errorsOut
    set runs($chan) [dict create open 2 report "" onLine $onLine onDone $onDone]
    foreach {source stream} [list $chan output $errorsIn errors] {
        fconfigure $source -blocking 0 -translation auto
        fileevent $source readable [list ::gridorb::OnReadable $chan $source $stream]
    }
    return $chan
}

proc ::gridorb::OnReadable {run source stream} {
    variable runs
    while {[gets $source line] >= 0} {
        if {$stream eq "errors"} {
            dict append runs($run) report $line \n
        }
        {*}[dict get $runs($run) onLine] $stream $line
    }
    if {![eof $source]} {
        return
    }
    fileevent $source readable {}
    if {$stream eq "errors"} {
        close $source
    }
    # The run is over once both of its streams have closed.
    dict incr runs($run) open -1
    if {[dict get $runs($run) open] > 0} {
        return
    }
    # Blocking, so that close waits for the program and yields its status.
    fconfigure $run -blocking 1
    set status NONE
    if {[catch {close $run} message options]} {
        set status [dict get $options -errorcode]
        if {[lindex $status 0] ni {CHILDSTATUS CHILDKILLED}} {
            set status [list OTHER $message]
        }
    }
    set done [dict get $runs($run) onDone]
    set report [dict get $runs($run) report]
    unset runs($run)
    {*}$done $status $report
}

# Asks a running program to stop: gridorb then closes its files and exits 1.
proc ::gridorb::interruptProgram {run} {
    catch {exec kill -INT {*}[pid $run]}
}

# ------------------------------------------------------------- ParaView ---

# The level in file units (0..256) of an isovalue in atomic units: the files
# scale the run's peak magnitude to 256.
proc ::gridorb::fileLevel {isovalue peak} {
    expr {$isovalue / $peak * 256.0}
}

# A Python string literal holding text.
proc ::gridorb::PythonString {text} {
    return "\"[string map [list \\ \\\\ \" \\\" \n \\n \r \\r] $text]\""
}

# The ParaView Python script for a ready view of a result: the lobes as
# contours of POS (red) and NEG (blue) at level (file units), and the atoms of
# the atom file as spheres. caption goes into the heading comment only.
proc ::gridorb::paraviewScript {volumePath atomPath level caption} {
    set level [format %.6g $level]
    set caption [string map {\n " " \r " "} $caption]
    return [string map [list @CAPTION@ $caption @VOLUME@ [PythonString $volumePath] \
        @ATOMS@ [PythonString $atomPath] @LEVEL@ $level] {# Written by the gridorb front end: @CAPTION@
from paraview.simple import *

view = GetActiveViewOrCreate("RenderView")
volume = LegacyVTKReader(FileNames=[@VOLUME@])
RenameSource("VELD.VTK", volume)
# The files scale the larger magnitude of the orbital to 256, so the level
# is isovalue / peak x 256.
level = @LEVEL@
for field, name, colour in (("POS", "positive lobe", [0.85, 0.1, 0.1]),
                            ("NEG", "negative lobe", [0.1, 0.25, 0.9])):
    lobe = Contour(Input=volume)
    RenameSource(name, lobe)
    lobe.ContourBy = ["POINTS", field]
    lobe.Isosurfaces = [level]
    lobe.ComputeScalars = 0
    shown = Show(lobe, view)
    ColorBy(shown, None)
    shown.DiffuseColor = colour
    shown.AmbientColor = colour

# TARNEL.COR: four heading lines, then atomic number, x, y, z in Angstrom.
colours = {1: [0.95, 0.95, 0.95], 6: [0.35, 0.35, 0.35], 7: [0.2, 0.3, 0.95],
           8: [0.95, 0.15, 0.1], 9: [0.55, 0.9, 0.3], 15: [1.0, 0.5, 0.0],
           16: [0.95, 0.8, 0.2], 17: [0.1, 0.85, 0.1]}
with open(@ATOMS@) as atoms:
    for number, line in enumerate(atoms.read().splitlines()[4:], 1):
        fields = line.split()
        if len(fields) != 4:
            break
        z = int(fields[0])
        ball = Sphere(Center=[float(value) for value in fields[1:]],
                      Radius=0.25 if z <= 2 else 0.35, ThetaResolution=24, PhiResolution=24)
        RenameSource("atom %d (Z = %d)" % (number, z), ball)
        colour = colours.get(z, [1.0, 0.5, 0.7])
        shown = Show(ball, view)
        shown.DiffuseColor = colour
        shown.AmbientColor = colour

ResetCamera(view)
Render(view)
}]
}

# Starts a viewer (a command list) without waiting for it. Its output is read
# and dropped, and closing the pipe when it has ended collects its exit
# status, so it does not stay behind as a zombie. Calls {*}$onEnd then.
# Returns the pipe.
proc ::gridorb::startViewer {command onEnd} {
    set chan [open |[list {*}$command 2>@1] r]
    fconfigure $chan -blocking 0
    fileevent $chan readable [list ::gridorb::OnViewerOutput $chan $onEnd]
    return $chan
}

proc ::gridorb::OnViewerOutput {chan onEnd} {
    read $chan
    if {![eof $chan]} {
        return
    }
    fconfigure $chan -blocking 1
    catch {close $chan}
    {*}$onEnd
}

# Writes script to a temporary file and starts `program --script=FILE`; the
# file is deleted when ParaView has ended. Returns the pipe.
proc ::gridorb::openInParaView {program script onEnd} {
    set chan [file tempfile path gridorb-view.py]
    fconfigure $chan -encoding utf-8
    puts -nonewline $chan $script
    close $chan
    set ended [list apply {{path onEnd} {file delete $path; {*}$onEnd}} $path $onEnd]
    if {[catch {startViewer [list {*}$program --script=$path] $ended} pipe]} {
        file delete $path
        error $pipe
    }
    return $pipe
}

# Where the front end looks for gridorb, in order, when GRIDORB is not set:
# PREFIX/bin/gridorb when this script is installed as
# PREFIX/share/gridorb/main.tcl, then a gridorb beside the script.
proc ::gridorb::programCandidates {home} {
    set candidates {}
    set share [file dirname $home]
    if {[file tail $home] eq "gridorb" && [file tail $share] eq "share"} {
        lappend candidates [file join [file dirname $share] bin gridorb]
    }
    lappend candidates [file join $home gridorb]
}

# The gridorb program to run: $GRIDORB if set; else the first of the
# programCandidates that can be run; else the one on the search path.
# Returns "" when there is none.
proc ::gridorb::findProgram {home} {
    global env
    if {[info exists env(GRIDORB)] && $env(GRIDORB) ne ""} {
        return $env(GRIDORB)
    }
    foreach candidate [programCandidates $home] {
        if {[file isfile $candidate] && [file executable $candidate]} {
            return $candidate
        }
    }
    set found [auto_execok gridorb]
    return [lindex $found 0]
}

# Where the picture extension may lie: beside the real main.tcl (the build
# tree), then PREFIX/lib/gridorb when this script is installed as
# PREFIX/share/gridorb/main.tcl.
proc ::gridorb::extensionCandidates {home} {
    set name gridorbview[info sharedlibextension]
    set candidates [list [file join $home $name]]
    set share [file dirname $home]
    if {[file tail $home] eq "gridorb" && [file tail $share] eq "share"} {
        lappend candidates [file join [file dirname $share] lib gridorb $name]
    }
    return $candidates
}

# Loads the picture extension. Returns "" when it is loaded, else why not
# (one sentence for the window).
proc ::gridorb::loadExtension {home} {
    if {[namespace exists ::gridorbview]} {
        return ""
    }
    foreach candidate [extensionCandidates $home] {
        if {[file isfile $candidate]} {
            if {[catch {load $candidate Gridorbview} message]} {
                return "The 3D picture is not available: $candidate cannot be\
                        loaded ($message). Reinstall gridorb; the slices still\
                        show the orbital."
            }
            return ""
        }
    }
    return "The 3D picture is not available: its extension is not installed at\
            [join [extensionCandidates $home] " or "]. Reinstall gridorb; the\
            slices still show the orbital."
}

# The real folder of a script, following symbolic links, so that a main.tcl
# linked into a data folder still finds the gridorb of its install.
proc ::gridorb::scriptHome {script} {
    set path [file normalize $script]
    for {set hops 0} {$hops < 20 && [file type $path] eq "link"} {incr hops} {
        set target [file readlink $path]
        set path [file normalize [file join [file dirname $path] $target]]
    }
    file dirname $path
}

set ::gridorb::home [::gridorb::scriptHome [info script]]

# ===================================================== the window ========
# Everything below needs Tk.
if {![info exists ::tk_version]} {
    return
}

namespace eval ::gui {
    variable longest 241          ;# pixels along the longest side of a slice
    variable margin 26            ;# room for axis labels around a slice
    variable inPlaneTolerance 0.6 ;# Angstrom: closer atoms count as in the plane
    variable colours [::gridorb::colourTable]
    variable header {}
    variable volume {}            ;# the result shown (see ::gridorb::readResult)
    variable atoms {}
    variable shown ""             ;# what the pictures show, in words
    variable index                ;# plane index per slice
    array set index {}
    variable slicesStale 0        ;# the slices wait until their tab is shown
    variable extensionProblem ""  ;# why the 3D picture is not available
    variable peak 0.0             ;# a.u. that the file's 256 stands for; 0 unknown
    variable level 0.0            ;# isovalue in file units (0..256)
    variable drag                 ;# the pointer during a drag in the 3D view
    array set drag {x 0 y 0 mode ""}
    variable redraw               ;# pending redraws of the 3D view
    array set redraw {fast "" still ""}
    variable run                  ;# the gridorb run in progress
    array set run {chan "" output {} stopped 0}
    variable pendingLog {}        ;# lines and tags not yet in the log
    variable state                ;# the banner's kind and text
    array set state {kind idle banner ""}
}

proc ::gui::build {} {
    variable longest
    variable margin
    wm title . "gridorb - molecular orbital viewer"
    ttk::style theme use clam
    ttk::style configure Formula.TLabel -font {TkDefaultFont 15 bold}
    ttk::style configure View.TLabel -font {TkDefaultFont 10 bold}
    ttk::style configure Note.TLabel -foreground #6b4e00
    ttk::style configure Toggle.TButton -padding {4 1} -relief flat
    foreach {kind background foreground} {
        info #e8eef5 #1d3557  running #fff4d6 #6b4e00
        ok #e3f4e1 #1e5631    error #fbe3e3 #8b1a1a
    } {
        ttk::style configure Banner$kind.TLabel -background $background \
            -foreground $foreground -padding {10 5} -font {TkDefaultFont 10 bold}
    }
    . configure -background [ttk::style lookup TFrame -background]

    # Folder, molecule and orbital.
    set top [ttk::frame .top -padding {12 8 12 2}]
    ttk::label $top.folderLabel -text "Folder:"
    ttk::entry $top.folder -textvariable ::gui::folder -state readonly -width 60
    ttk::button $top.choose -text "Choose folder\u2026" -command ::gui::chooseFolder
    set molecule [ttk::frame $top.molecule]
    ttk::label $molecule.formula -style Formula.TLabel -textvariable ::gui::formula
    ttk::label $molecule.counts -textvariable ::gui::counts
    pack $molecule.formula -side left
    pack $molecule.counts -side left -padx {18 0} -pady {4 0}
    ttk::label $top.orbitalLabel -text "Orbital:"
    set row [ttk::frame $top.run]
    ttk::combobox $top.orbital -state readonly -width 40 -textvariable ::gui::orbitalLabel
    ttk::button $top.compute -text "Compute orbital" -command ::gui::startRun
    ttk::button $top.stop -text "Stop" -command ::gui::stopRun -state disabled
    # The progress bar comes and goes inside a frame of fixed size, so
    # nothing around it moves.
    ttk::frame $top.progressRoom -width 220 -height 20
    pack propagate $top.progressRoom 0
    ttk::progressbar $top.progress -mode determinate -length 200
    pack $top.orbital -in $row -side left
    pack $top.compute $top.stop -in $row -side left -padx {8 0}
    pack $top.progressRoom -in $row -side left -padx {16 0}
    grid $top.folderLabel $top.folder $top.choose -sticky w -pady 2
    grid configure $top.folder -sticky ew -padx {6 6}
    grid $molecule - - -sticky w -pady {4 2}
    grid $top.orbitalLabel $row - -sticky w -pady 2
    grid configure $row -padx {6 0}
    grid columnconfigure $top 1 -weight 1

    ttk::label .banner -style Bannerinfo.TLabel -textvariable ::gui::bannerText \
        -wraplength 1000 -anchor w

    # The two views: the orbital in 3D, and slices through the grid.
    ttk::notebook .views
    build3dView [ttk::frame .views.three -padding 6]
    buildSlices [ttk::frame .views.slices -padding 6]
    .views add .views.three -text "  Orbital in 3D  "
    .views add .views.slices -text "  Slices through the grid  "
    bind .views <<NotebookTabChanged>> ::gui::onTabChanged

    # What the pictures lack, if anything, under both views.
    ttk::label .note -style Note.TLabel -textvariable ::gui::viewNote -justify left
    bind .note <Configure> {%W configure -wraplength [expr {max(%w - 10, 200)}]}

    # Result files and gridorb's summary, in one line each.
    set result [ttk::frame .result -padding {12 2 12 0}]
    ttk::label $result.filesLabel -text "Files:"
    ttk::entry $result.files -textvariable ::gui::filesText -state readonly
    ttk::button $result.paraview -text "Open in ParaView" -command ::gui::openParaView \
        -state disabled
    ttk::label $result.summary -textvariable ::gui::summary -justify left
    grid $result.filesLabel $result.files $result.paraview -sticky w -pady 1
    grid $result.summary - - -sticky w
    grid configure $result.files -sticky ew -padx {6 6}
    grid columnconfigure $result 1 -weight 1
    if {[auto_execok paraview] eq ""} {
        grid remove $result.paraview
    }

    # gridorb's own lines, folded away until wanted.
    set logBar [ttk::frame .logBar -padding {8 0 12 0}]
    ttk::button $logBar.toggle -style Toggle.TButton -command ::gui::toggleLog \
        -textvariable ::gui::logToggleText
    pack $logBar.toggle -side left
    set log [ttk::frame .log -padding {12 0 12 0}]
    text $log.text -height 5 -width 100 -wrap none -font TkFixedFont \
        -background #fbfbfb -relief flat -state disabled \
        -yscrollcommand [list $log.scroll set]
    ttk::scrollbar $log.scroll -command [list $log.text yview]
    $log.text tag configure command -foreground #555555
    $log.text tag configure error -foreground #b00020
    grid $log.text $log.scroll -sticky nsew
    grid columnconfigure $log 0 -weight 1
    grid rowconfigure $log 0 -weight 1

    grid .top -sticky ew
    grid .banner -sticky ew -padx 12 -pady 4
    grid .views -sticky nsew -padx 12 -pady {2 0}
    grid .note -sticky ew -padx 14
    grid .result -sticky ew
    grid .logBar -sticky ew -pady {2 6}
    grid columnconfigure . 0 -weight 1
    grid rowconfigure . 2 -weight 1
    showLog 0
    bind .banner <Configure> {%W configure -wraplength [expr {%w - 24}]}
    wm protocol . WM_DELETE_WINDOW ::gui::quit
    # Fits a 1366 x 768 screen with its panels; the picture takes what grows.
    wm geometry . 1180x700
    wm minsize . 820 560
}

proc ::gui::build3dView {three} {
    set canvas [canvas $three.canvas -background white -highlightthickness 1 \
        -highlightbackground #c8c8c8 -width 720 -height 400 -cursor fleur]
    image create photo ::gui::picture3d
    $canvas create image 0 0 -anchor nw -image ::gui::picture3d -tags picture
    bind $canvas <Configure> {::gui::placeOverlay; ::gui::scheduleRedraw still}
    bind $canvas <ButtonPress-1> {::gui::dragStart %x %y rotate}
    bind $canvas <Shift-ButtonPress-1> {::gui::dragStart %x %y pan}
    bind $canvas <ButtonPress-2> {::gui::dragStart %x %y pan}
    bind $canvas <B1-Motion> {::gui::dragMove %x %y}
    bind $canvas <B2-Motion> {::gui::dragMove %x %y}
    bind $canvas <ButtonRelease-1> ::gui::dragEnd
    bind $canvas <ButtonRelease-2> ::gui::dragEnd
    bind $canvas <MouseWheel> {::gui::zoomBy [expr {%D > 0 ? 1.15 : 1 / 1.15}]}
    bind $canvas <Button-4> {::gui::zoomBy 1.15}
    bind $canvas <Button-5> {::gui::zoomBy [expr {1 / 1.15}]}

    set side [ttk::frame $three.side -padding {12 0 0 0}]
    ttk::label $side.levelTitle -style View.TLabel -text "Isovalue"
    ttk::scale $side.level -orient horizontal -from 0 -to 1 -length 190 \
        -variable ::gui::levelPosition -command ::gui::onLevel
    bind $side.level <ButtonRelease-1> {::gui::scheduleRedraw still}
    ttk::label $side.levelValue -textvariable ::gui::levelText -width 24
    ttk::label $side.viewTitle -style View.TLabel -text "View"
    set buttons [ttk::frame $side.buttons]
    foreach {axis text} {x "Along x" y "Along y" z "Along z" face-on "Face-on"} {
        ttk::button $buttons.$axis -text $text -width 9 -command [list ::gui::standardView $axis]
    }
    ttk::button $buttons.reset -text "Reset" -width 9 -command {::gui::standardView face-on}
    grid $buttons.x $buttons.y -padx 2 -pady 2
    grid $buttons.z $buttons.face-on -padx 2 -pady 2
    grid $buttons.reset -padx 2 -pady 2
    ttk::button $side.save -text "Save picture\u2026" -command ::gui::savePicture
    ttk::label $side.help -foreground #555555 -justify left -text \
        "Drag to turn the molecule.\nShift-drag to move it.\nWheel to zoom."
    grid $side.levelTitle -sticky w
    grid $side.level -sticky ew -pady {4 0}
    grid $side.levelValue -sticky w -pady {0 8}
    grid $side.viewTitle -sticky w
    grid $buttons -sticky w -pady {2 8}
    grid $side.save -sticky ew -pady {0 8}
    grid $side.help -sticky w
    grid $canvas $side -sticky nsew
    grid configure $side -sticky n
    grid columnconfigure $three 0 -weight 1
    grid rowconfigure $three 0 -weight 1
    set3dEnabled 0
}

proc ::gui::buildSlices {slices} {
    variable longest
    variable margin
    set size [expr {$longest + 2 * $margin}]
    set column 0
    foreach view {xy xz yz} {
        set f [ttk::frame $slices.$view]
        ttk::label $f.title -style View.TLabel -text "[string index $view 0]\u2013[string index $view 1] plane"
        canvas $f.canvas -width $size -height $size -background white \
            -highlightthickness 1 -highlightbackground #c8c8c8
        ttk::scale $f.scale -orient horizontal -from 0 -to 50 \
            -variable ::gui::slider($view) -command [list ::gui::onSlider $view]
        ttk::label $f.where -textvariable ::gui::where($view)
        grid $f.title -sticky w
        grid $f.canvas
        grid $f.scale -sticky ew -pady {6 0}
        grid $f.where -sticky w
        grid $f -row 0 -column $column -padx 6 -sticky n
        image create photo ::gui::picture$view
        incr column
    }
    set legend [ttk::frame $slices.legend]
    set background [ttk::style lookup TFrame -background]
    foreach {key draw text} {
        positive {create rectangle 3 3 17 17 -fill #c81e2d -outline ""} "positive lobe"
        negative {create rectangle 3 3 17 17 -fill #1e5ac8 -outline ""} "negative lobe"
        inPlane {create oval 1 1 19 19 -fill white -outline #202020 -width 2} "atom in the plane"
        offPlane {create oval 4 4 16 16 -outline #707070 -dash {2 2}} "atom off the plane, projected onto it"
    } {
        canvas $legend.$key -width 20 -height 20 -highlightthickness 0 -background $background
        $legend.$key {*}$draw
        ttk::label $legend.${key}Text -text $text
        pack $legend.$key -side left -padx {0 4}
        pack $legend.${key}Text -side left -padx {0 18}
    }
    $legend.inPlane create text 10 10 -text C -font {TkDefaultFont 7 bold}
    grid $legend -row 1 -column 0 -columnspan 3 -sticky w -pady {8 0} -padx 6
}

proc ::gui::banner {kind text} {
    variable state
    set state(kind) $kind
    set state(banner) $text
    set ::gui::bannerText $text
    .banner configure -style Banner$kind.TLabel
}

# Lines go into the log together, a twentieth of a second after the first:
# one insertion per line would cost more than the whole run of gridorb, and
# the picture is drawn before the log.
proc ::gui::log {text {tag ""}} {
    variable pendingLog
    if {![llength $pendingLog]} {
        after 50 ::gui::FlushLog
    }
    lappend pendingLog "$text\n" $tag
}

proc ::gui::FlushLog {} {
    variable pendingLog
    .log.text configure -state normal
    .log.text insert end {*}$pendingLog
    .log.text see end
    .log.text configure -state disabled
    set pendingLog {}
}

proc ::gui::showLog {visible} {
    if {$visible} {
        grid .log -row 6 -column 0 -sticky nsew -pady {0 10}
        set ::gui::logToggleText "\u25be gridorb output"
    } else {
        grid remove .log
        set ::gui::logToggleText "\u25b8 gridorb output"
    }
}

proc ::gui::toggleLog {} {
    showLog [expr {![winfo ismapped .log]}]
}

proc ::gui::set3dEnabled {enabled} {
    set side .views.three.side
    set widgets [list $side.level $side.save {*}[winfo children $side.buttons]]
    foreach widget $widgets {
        $widget state [expr {$enabled ? "!disabled" : "disabled"}]
    }
}

# Forgets the result shown; both views say there is none.
proc ::gui::clearResult {} {
    variable volume
    variable atoms
    variable shown
    if {[dict exists $volume result]} {
        rename [dict get $volume result] ""
    }
    set volume {}
    set atoms {}
    set shown ""
    set ::gui::filesText ""
    set ::gui::volumePath ""
    set ::gui::summary ""
    set ::gui::levelText ""
    .result.paraview state disabled
    ::gui::picture3d blank
    ::gui::picture3d configure -width 1 -height 1
    set3dEnabled 0
    foreach view {xy xz yz} {
        ::gui::picture$view blank
        set canvas .views.slices.$view.canvas
        $canvas delete all
        $canvas create text [expr {[winfo reqwidth $canvas] / 2}] \
            [expr {[winfo reqheight $canvas] / 2}] -fill #909090 \
            -text "No orbital shown yet" -font {TkDefaultFont 10 italic}
        set ::gui::where($view) ""
        .views.slices.$view.scale state disabled
    }
    placeOverlay
}

# Takes the current directory as the working folder: reads FOR013 and fills
# in the molecule; shows an earlier result of this folder if there is one.
proc ::gui::openFolder {} {
    variable header
    variable extensionProblem
    set ::gui::folder [pwd]
    clearResult
    set header {}
    set ::gui::formula "No molecule"
    set ::gui::counts ""
    set ::gui::orbitalLabel ""
    set ::gui::viewNote $extensionProblem
    .top.orbital configure -values {}
    .top.compute state disabled
    if {[catch {::gridorb::readWavefunctionHeader FOR013} header]} {
        set message $header
        set header {}
        banner [expr {[file exists FOR013] ? "error" : "info"}] $message
        return
    }
    set electrons [dict get $header electrons]
    set orbitals [dict get $header orbitals]
    set formula [::gridorb::chemicalFormula [dict get $header atomicNumbers]]
    set ::gui::formula [expr {$formula eq "" ? "No atoms" : [Subscripts $formula]}]
    set ::gui::counts [join [list [Count [dict get $header atoms] atom] \
        [Count $orbitals orbital] [Count $electrons electron]] "  \u00b7  "]
    set labels [::gridorb::orbitalLabels $electrons $orbitals]
    .top.orbital configure -values $labels
    set homo [dict get [::gridorb::frontierOrbitals $electrons $orbitals] homo]
    set ::gui::orbitalLabel [lindex $labels [expr {max($homo, 1) - 1}]]
    set heavy [::gridorb::heavyAtomsNote [dict get $header atomicNumbers]]
    set ::gui::viewNote [join [lsearch -all -inline -not [list $extensionProblem $heavy] ""] "\n"]
    # gridorb would refuse these, or draw something else than the orbital.
    foreach note [list [::gridorb::dFunctionsNote $header] [::gridorb::limitsNote $header]] {
        if {$note ne ""} {
            banner error $note
            return
        }
    }
    .top.compute state !disabled
    banner info "Pick an orbital and press \u201cCompute orbital\u201d."
    # An earlier result is shown only when it is newer than the wavefunction;
    # which orbital it holds is not recorded, so it is not named.
    if {[file isfile VELD.VTK] && [file isfile TARNEL.COR]
            && [file mtime VELD.VTK] >= [file mtime FOR013]} {
        if {[showResult "" 0.0] eq ""} {
            banner info "Showing the result of an earlier run in this folder\
                ([clock format [file mtime VELD.VTK] -format {%Y-%m-%d %H:%M}]);\
                which orbital it holds is not recorded. Pick an orbital and press\
                \u201cCompute orbital\u201d to see a known one."
        }
    }
}

# "Orbital 4 (HOMO, highest occupied)" from the chooser's label.
proc ::gui::OrbitalTitle {orbital} {
    variable header
    set labels [::gridorb::orbitalLabels [dict get $header electrons] [dict get $header orbitals]]
    set note [string trim [regsub {^\s*\d+} [lindex $labels $orbital-1] ""]]
    return "Orbital $orbital ($note)"
}

proc ::gui::Count {n noun} {
    return "$n $noun[expr {$n == 1 ? "" : "s"}]"
}

proc ::gui::Subscripts {formula} {
    string map {0 \u2080 1 \u2081 2 \u2082 3 \u2083 4 \u2084 5 \u2085 6 \u2086 7 \u2087 8 \u2088 9 \u2089} $formula
}

proc ::gui::chooseFolder {} {
    variable run
    if {$run(chan) ne ""} {
        return
    }
    set chosen [tk_chooseDirectory -initialdir [pwd] -mustexist 1 \
        -title "Choose a folder that holds FOR013"]
    if {$chosen eq ""} {
        return
    }
    if {[catch {cd $chosen} message]} {
        banner error "The folder cannot be opened: [::gridorb::ReasonOf $message].\
            Choose another folder."
        return
    }
    openFolder
}

# ---- running gridorb

proc ::gui::startRun {} {
    variable run
    if {$run(chan) ne "" || $::gui::orbitalLabel eq ""} {
        return
    }
    set orbital [::gridorb::orbitalOfLabel $::gui::orbitalLabel]
    set program [::gridorb::findProgram $::gridorb::home]
    clearResult
    if {$program eq ""} {
        finishRun [dict create ok 0 headline "gridorb was not found at\
            [join [::gridorb::programCandidates $::gridorb::home] " or "],\
            nor on the search path. Install gridorb, or name it with the\
            environment variable GRIDORB." detail ""]
        return
    }
    log "\u25b6 gridorb $orbital    (in [pwd])" command
    if {[catch {::gridorb::startProgram $program $orbital ::gui::onLine ::gui::onFinished} chan]} {
        finishRun [dict create ok 0 headline "$chan. Install gridorb, or name\
            it with the environment variable GRIDORB." detail ""]
        return
    }
    array set run [list chan $chan output {} stopped 0 orbital $orbital]
    .top.compute state disabled
    .top.choose state disabled
    .top.orbital state disabled
    .top.stop state !disabled
    .top.progress configure -maximum [expr {[dict get $::gui::header atoms] + 1}] -value 0
    pack .top.progress -in .top.progressRoom -fill x -pady 2
    banner running "Computing orbital $orbital\u2026"
}

proc ::gui::onLine {stream line} {
    variable run
    if {$stream eq "errors"} {
        log $line error
        return
    }
    lappend run(output) $line
    log $line
    set atom [::gridorb::progressAtom $line]
    if {$atom > 0} {
        .top.progress configure -value [expr {$atom - 0.5}]
    }
}

proc ::gui::onFinished {status report} {
    variable run
    set run(chan) ""
    log "\u25a0 [::gridorb::statusText $status]" command
    .top.stop state disabled
    .top.compute state !disabled
    .top.choose state !disabled
    .top.orbital state !disabled
    pack forget .top.progress
    set outcome [::gridorb::describeOutcome $status $report $run(stopped)]
    if {![dict get $outcome ok]} {
        if {$report ne ""} {
            showLog 1
        }
        finishRun $outcome
        return
    }
    set peak [::gridorb::peakOf [::gridorb::parseSummary $run(output)]]
    set problem [showResult [OrbitalTitle $run(orbital)] $peak]
    if {$problem ne ""} {
        finishRun [dict create ok 0 headline "gridorb finished, but its result\
            cannot be shown: [string trimright $problem .]. Compute again; if\
            this happens again, check the folder's VELD.VTK and TARNEL.COR." detail ""]
        return
    }
    set text "[OrbitalTitle $run(orbital)] computed."
    if {[dict get $outcome detail] ne ""} {
        append text " " [dict get $outcome detail]
    }
    banner ok $text
    finishRun $outcome
}

# Every run ends here, computed or not.
proc ::gui::finishRun {outcome} {
    set text [dict get $outcome headline]
    if {![dict get $outcome ok]} {
        banner error $text
        log "\u2716 $text" error
    }
}

proc ::gui::stopRun {} {
    variable run
    if {$run(chan) eq ""} {
        return
    }
    set run(stopped) 1
    ::gridorb::interruptProgram $run(chan)
}

proc ::gui::quit {} {
    variable run
    if {$run(chan) ne ""} {
        ::gridorb::interruptProgram $run(chan)
    }
    exit 0
}

# ---- showing a result

# Reads VELD.VTK and TARNEL.COR of the working folder and shows them. title
# names the orbital ("" for an earlier run, whose orbital is not known);
# peak is the run's largest magnitude in a.u. (0 when not known). Returns ""
# on success, else why the result cannot be shown.
proc ::gui::showResult {title peak} {
    variable volume
    variable atoms
    variable index
    variable run
    variable shown
    variable extensionProblem
    variable slicesStale
    set withExtension [expr {$extensionProblem eq ""}]
    if {[catch {::gridorb::readResult ::gui::result $withExtension} loaded]} {
        clearResult
        return $loaded
    }
    if {[catch {::gridorb::readAtomFile TARNEL.COR} loadedAtoms]} {
        clearResult
        return $loadedAtoms
    }
    set volume $loaded
    set atoms $loadedAtoms
    set shown [expr {$title eq "" ? "Earlier result (which orbital is not recorded)" : $title}]
    set ::gui::peak $peak
    set ::gui::volumePath [file join [pwd] VELD.VTK]
    set ::gui::filesText "$::gui::volumePath    [file join [pwd] TARNEL.COR]"
    .result.paraview state !disabled
    set ::gui::summary ""
    if {$peak > 0} {
        set summary [::gridorb::parseSummary $run(output)]
        set ::gui::summary [format "Orbital values from %s to %s a.u.; the files scale\
            the larger magnitude to 256." [dict get $summary minimum] [dict get $summary maximum]]
    }
    if {$withExtension} {
        set3dEnabled 1
        # The level the picture opens with, in file units.
        if {$peak > 0} {
            set start [expr {[::gridorb::defaultLevel $peak] * 256 / $peak}]
        } else {
            set start 64.0
        }
        set ::gui::levelPosition [::gridorb::levelPosition $start 256.0]
        setLevel $start
        [dict get $volume result] view face-on [Aspect]
        render3d 2
    } else {
        .views select .views.slices
    }
    foreach view {xy xz yz} {
        set count [::gridorb::planeCount $volume $view]
        set index($view) [expr {($count - 1) / 2}]
        .views.slices.$view.scale state !disabled
        .views.slices.$view.scale configure -from 0 -to [expr {$count - 1}]
        set ::gui::slider($view) $index($view)
    }
    # The slices are drawn when their tab is first looked at.
    set slicesStale 1
    if {[.views select] eq ".views.slices"} {
        drawSlices
    }
    placeOverlay
    return ""
}

proc ::gui::onTabChanged {} {
    if {[.views select] eq ".views.slices" && $::gui::slicesStale} {
        drawSlices
    }
}

proc ::gui::drawSlices {} {
    variable slicesStale
    variable volume
    if {$volume eq {}} {
        return
    }
    set slicesStale 0
    foreach view {xy xz yz} {
        drawView $view
    }
}

# ---- the 3D view

proc ::gui::Aspect {} {
    lassign [PictureSize] width height
    expr {double($width) / $height}
}

# The picture fills the canvas (its requested size before it is mapped).
proc ::gui::PictureSize {} {
    set canvas .views.three.canvas
    set width [winfo width $canvas]
    set height [winfo height $canvas]
    if {$width < 32 || $height < 32} {
        set width [winfo reqwidth $canvas]
        set height [winfo reqheight $canvas]
    }
    list [expr {$width - 2}] [expr {$height - 2}]
}

# Renders the picture: supersample 2 for a still picture, 1 while it moves.
proc ::gui::render3d {supersample} {
    variable volume
    if {![dict exists $volume result]} {
        return
    }
    lassign [PictureSize] width height
    [dict get $volume result] render ::gui::picture3d $width $height $supersample
    .views.three.canvas coords picture 1 1
}

# Coalesces redraws: a fast one at the next idle moment, a still one once
# nothing has moved for a quarter of a second.
proc ::gui::scheduleRedraw {kind} {
    variable redraw
    after cancel $redraw(still)
    if {$kind eq "fast"} {
        if {$redraw(fast) eq ""} {
            set redraw(fast) [after idle {set ::gui::redraw(fast) ""; ::gui::render3d 1}]
        }
        set redraw(still) [after 250 {::gui::render3d 2}]
    } else {
        set redraw(still) [after idle {::gui::render3d 2}]
    }
}

proc ::gui::dragStart {x y mode} {
    variable drag
    array set drag [list x $x y $y mode $mode]
}

proc ::gui::dragMove {x y} {
    variable drag
    variable volume
    if {![dict exists $volume result] || $drag(mode) eq ""} {
        return
    }
    lassign [PictureSize] width height
    set result [dict get $volume result]
    if {$drag(mode) eq "rotate"} {
        $result rotate $drag(x) $drag(y) $x $y $width $height
    } else {
        $result pan [expr {$x - $drag(x)}] [expr {$y - $drag(y)}] $height
    }
    set drag(x) $x
    set drag(y) $y
    scheduleRedraw fast
}

proc ::gui::dragEnd {} {
    variable drag
    set drag(mode) ""
}

proc ::gui::zoomBy {factor} {
    variable volume
    if {[dict exists $volume result]} {
        [dict get $volume result] zoom $factor
        scheduleRedraw fast
    }
}

proc ::gui::standardView {axis} {
    variable volume
    if {[dict exists $volume result]} {
        [dict get $volume result] view $axis [Aspect]
        scheduleRedraw still
    }
}

# level in file units (0..256).
proc ::gui::setLevel {level} {
    variable volume
    variable peak
    set ::gui::level $level
    [dict get $volume result] level $level
    if {$peak > 0} {
        set ::gui::levelText [format "\u00b1%.4g a.u." [expr {$level * $peak / 256}]]
    } else {
        set ::gui::levelText [format "\u00b1%.0f%% of the largest value" [expr {$level / 2.56}]]
    }
    placeOverlay
}

proc ::gui::onLevel {position} {
    variable volume
    if {![dict exists $volume result]} {
        return
    }
    setLevel [::gridorb::levelAt $position 256.0]
    scheduleRedraw fast
}

# The orbital's name and the legend, drawn over the picture.
proc ::gui::placeOverlay {} {
    variable shown
    variable volume
    set canvas .views.three.canvas
    $canvas delete overlay
    lassign [PictureSize] width height
    if {![dict exists $volume result]} {
        set text [expr {$::gui::extensionProblem eq "" ? "No orbital shown yet"
                        : "The 3D picture is not available; see the line below."}]
        $canvas create text [expr {$width / 2}] [expr {$height / 2}] -text $text \
            -fill #909090 -font {TkDefaultFont 11 italic} -tags overlay
        return
    }
    $canvas create text 14 12 -anchor nw -text $shown -fill #202020 \
        -font {TkDefaultFont 12 bold} -tags overlay
    set y [expr {$height - 14}]
    set x 14
    foreach {colour sign} {#c81e2d + #1e5ac8 \u2212} {
        $canvas create rectangle $x [expr {$y - 12}] [expr {$x + 12}] $y \
            -fill $colour -outline "" -tags overlay
        set words [expr {$sign eq "+" ? "positive" : "negative"}]
        set item [$canvas create text [expr {$x + 18}] [expr {$y - 6}] -anchor w \
            -text "$words, $sign[string trimleft $::gui::levelText \u00b1]" \
            -fill #202020 -font {TkDefaultFont 10} -tags overlay]
        set x [expr {[lindex [$canvas bbox $item] 2] + 22}]
    }
}

# Asks where to save the picture shown, then saves it.
proc ::gui::savePicture {} {
    variable shown
    if {![dict exists $::gui::volume result]} {
        return
    }
    set name [expr {[regexp {^Orbital (\d+)} $shown -> n] ? "orbital-$n.png" : "orbital.png"}]
    set path [tk_getSaveFile -title "Save picture" -initialdir [pwd] -initialfile $name \
        -defaultextension .png -filetypes {{{PNG image} {.png}}}]
    if {$path ne ""} {
        writePicture $path
    }
}

# The picture as it is shown, twice as large, as a PNG file.
proc ::gui::writePicture {path} {
    lassign [PictureSize] width height
    if {[catch {[dict get $::gui::volume result] save $path [expr {2 * $width}] \
            [expr {2 * $height}]} message]} {
        banner error "The picture could not be saved: $message. Choose another\
            folder or name."
        return 0
    }
    banner ok "Picture saved as $path."
    return 1
}

# ---- the slices

proc ::gui::onSlider {view value} {
    variable index
    variable volume
    if {$volume eq {}} {
        return
    }
    set value [expr {round($value)}]
    if {$value != $index($view)} {
        set index($view) $value
        drawView $view
    }
}
proc ::gui::drawView {view} {
    variable volume
    variable atoms
    variable index
    variable longest
    variable margin
    variable colours
    variable inPlaneTolerance
    set canvas .views.slices.$view.canvas
    set i $index($view)
    set rows [::gridorb::signedSlice $volume $view $i]
    lassign [dict get [::gridorb::pictureSizes $volume $longest] $view] width height
    set image ::gui::picture$view
    $image blank
    $image configure -width $width -height $height
    $image put [::gridorb::pictureRows $rows $width $height $colours] -to 0 0
    $canvas delete all
    # Centred in the room for the longest side; left and bottom are where
    # the axis arrows go.
    set left [expr {$margin + ($longest - $width) / 2}]
    set top [expr {$margin + ($longest - $height) / 2}]
    $canvas create image $left $top -anchor nw -image $image
    $canvas create rectangle $left $top [expr {$left + $width}] \
        [expr {$top + $height}] -outline #b0b0b0
    set dimensions [dict get $volume dimensions]
    lassign [dict get $::gridorb::views $view] normal acrossAxis upAxis
    set columnPixels [expr {double($width - 1) / ([lindex $dimensions $acrossAxis] - 1)}]
    set rowPixels [expr {double($height - 1) / ([lindex $dimensions $upAxis] - 1)}]
    # Axis names: horizontal along the bottom, vertical up the left side.
    set across [string index $view 0]
    set up [string index $view 1]
    set bottom [expr {$top + $height}]
    $canvas create line $left [expr {$bottom + 12}] [expr {$left + 40}] \
        [expr {$bottom + 12}] -arrow last -fill #555555
    $canvas create text [expr {$left + 48}] [expr {$bottom + 12}] -text $across \
        -anchor w -fill #333333 -font {TkDefaultFont 10 italic}
    $canvas create line [expr {$left - 12}] $bottom [expr {$left - 12}] \
        [expr {$bottom - 40}] -arrow last -fill #555555
    $canvas create text [expr {$left - 12}] [expr {$bottom - 50}] -text $up \
        -anchor s -fill #333333 -font {TkDefaultFont 10 italic}
    # Atoms: those off the plane first, so the ones in it are drawn on top.
    set placed [::gridorb::atomsInView $atoms $volume $view $i]
    foreach inPlane {0 1} {
        foreach atom $placed {
            set near [expr {abs([dict get $atom distance]) <= $inPlaneTolerance}]
            if {$near != $inPlane} {
                continue
            }
            set x [expr {$left + [dict get $atom column] * $columnPixels}]
            set y [expr {$top + [dict get $atom row] * $rowPixels}]
            set symbol [dict get $atom symbol]
            if {$inPlane} {
                set r [expr {[string length $symbol] > 1 ? 11 : 9}]
                $canvas create oval [expr {$x - $r}] [expr {$y - $r}] [expr {$x + $r}] \
                    [expr {$y + $r}] -fill white -outline #202020 -width 2
                $canvas create text $x $y -text $symbol -fill #202020 \
                    -font {TkDefaultFont 8 bold}
            } else {
                $canvas create oval [expr {$x - 6}] [expr {$y - 6}] [expr {$x + 6}] \
                    [expr {$y + 6}] -outline #707070 -dash {2 2} -width 1
                $canvas create text [expr {$x + 8}] [expr {$y - 8}] -text $symbol \
                    -fill #707070 -anchor sw -font {TkDefaultFont 8}
            }
        }
    }
    set normal [lindex {x y z} [lindex [dict get $::gridorb::views $view] 0]]
    set ::gui::where($view) [format "%s = %.2f \u00c5    (plane %d of %d)" $normal \
        [::gridorb::planePosition $volume $view $i] [expr {$i + 1}] \
        [::gridorb::planeCount $volume $view]]
}

proc ::gui::openParaView {} {
    set program [auto_execok paraview]
    if {$program eq "" || $::gui::volumePath eq ""} {
        return
    }
    # The view as this window shows it: the same level and the same atoms.
    set folder [file dirname $::gui::volumePath]
    set script [::gridorb::paraviewScript $::gui::volumePath [file join $folder TARNEL.COR] \
        $::gui::level "$::gui::shown, isovalue $::gui::levelText"]
    if {[catch {::gridorb::openInParaView $program $script {}} message]} {
        banner error "ParaView could not be started: [::gridorb::ReasonOf $message].\
            Open VELD.VTK in it yourself."
    }
}


set ::gui::extensionProblem [::gridorb::loadExtension $::gridorb::home]
::gui::build
::gui::openFolder
