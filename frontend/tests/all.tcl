# Runs the front end's logic tests (no window needed).
# Usage: tclsh all.tcl MAIN_TCL STANDIN_GRIDORB SCRATCH_DIR ?EXTENSION?
# With EXTENSION (the built gridorbview module) its tests run too.
# The arguments are ours, not tcltest's options.
lassign $argv ::mainScript ::standin ::scratch ::extension
set argv {}
package require tcltest 2.5
namespace import ::tcltest::*

namespace eval ::test {}
testConstraint extension [expr {$::extension ne "" && ![catch {load $::extension Gridorbview}]}]
set ::dataDir [file join [file dirname [file normalize [info script]]] data]
file delete -force $::scratch
file mkdir $::scratch
source $::mainScript

configure -verbose {body error}
foreach testFile [lsort [glob -directory [file dirname [info script]] *.test]] {
    source $testFile
}
set failed $::tcltest::numTests(Failed)
set total $::tcltest::numTests(Total)
cleanupTests
puts "[expr {$total - $failed}] passed, $failed failed"
exit [expr {$failed > 0 || $total == 0}]
