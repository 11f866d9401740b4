# Drives the front end in a test: wish runs this file instead of main.tcl
# (a stand-in wish on the search path puts it in front), it sources the
# main.tcl it was given, then plays the steps of GUI_TEST_STEPS as a user
# would and writes what the window showed to GUI_TEST_REPORT, with
# screenshots beside it. Steps:
#   compute          press "Compute orbital" and wait for the run to end
#   view:AXIS        press a view button (x, y, z, face-on)
#   drag             turn the molecule with a drag of the left button
#   level            move the isovalue slider
#   save             save the picture as picture.png
#   slices           show the slices tab
#   reopen           open the folder again, as "Choose folder..." does
#   shot:NAME[:both] screenshot NAME.png of the window; ":both" asks the
#                    test to check it for shaded red and blue
#   speed            time press-to-picture and frames of the render call
set report $::env(GUI_TEST_REPORT)
set folder [file dirname $report]
set script [lindex $argv 0]
set argv [lrange $argv 1 end]
source $script

proc note {line} {
    lappend ::lines $line
}

proc median {values} {
    set sorted [lsort -real $values]
    lindex $sorted [expr {[llength $sorted] / 2}]
}

# Waits until the run in progress has ended and the window has caught up.
proc waitForRun {} {
    while {$::gui::run(chan) ne ""} {
        vwait ::gui::run(chan)
    }
    update
}

# Presses Compute; returns the milliseconds until the 3D picture is on screen.
proc compute {} {
    if {[.top.compute instate disabled]} {
        return -1
    }
    set ::pictureShownAt 0
    set start [clock microseconds]
    .top.compute invoke
    waitForRun
    if {!$::pictureShownAt} {
        return -1
    }
    expr {($::pictureShownAt - $start) / 1000.0}
}

# The moment the picture is shown: showResult has rendered it, and the
# window has drawn it.
trace add execution ::gui::showResult leave {apply {{args} {
    update idletasks
    set ::pictureShownAt [clock microseconds]
}}}

proc photoChecksum {} {
    binary scan [::gui::picture3d data -format ppm] c* bytes
    set sum 0
    foreach b $bytes {
        set sum [expr {($sum * 31 + $b) & 0xffffffff}]
    }
    return $sum
}

proc screenshot {name} {
    update
    after 300 {set ::settled 1}
    vwait ::settled
    update
    set path [file join $::folder $name.png]
    if {[catch {exec xwd -silent -id [winfo id [winfo toplevel .views]] | xwdtopnm 2>/dev/null | pnmtopng > $path} message]} {
        note "error screenshot $name: $message"
    }
    return $path
}

set ::lines {}
set canvas .views.three.canvas
update
foreach step [split $::env(GUI_TEST_STEPS)] {
    lassign [split $step :] what name extra
    switch -- $what {
        compute {
            note "computed_ms [compute] $::gui::shown"
        }
        reopen {
            ::gui::openFolder
            update
            note "reopened $::gui::shown"
        }
        view {
            .views.three.side.buttons.$name invoke
            update
        }
        drag {
            set before [photoChecksum]
            lassign [::gui::PictureSize] width height
            set x [expr {$width / 2}]
            set y [expr {$height / 2}]
            event generate $canvas <ButtonPress-1> -x $x -y $y
            for {set i 1} {$i <= 12} {incr i} {
                event generate $canvas <Motion> -x [expr {$x + 9 * $i}] -y [expr {$y + 5 * $i}] -state 0x100
                update
            }
            event generate $canvas <ButtonRelease-1> -x [expr {$x + 108}] -y [expr {$y + 60}]
            after 400 {set ::settled 1}
            vwait ::settled
            update
            note "drag changed [expr {[photoChecksum] != $before}]"
        }
        level {
            set before $::gui::levelText
            .views.three.side.level set [expr {$::gui::levelPosition + 0.15}]
            after 400 {set ::settled 1}
            vwait ::settled
            update
            note "level $before -> $::gui::levelText"
        }
        save {
            set path [file join $folder picture.png]
            ::gui::writePicture $path
            note "saved [expr {[file exists $path] ? [file size $path] : 0}] $path"
        }
        slices {
            .views select .views.slices
            update
        }
        shot {
            note "shot $name [screenshot $name] $extra"
        }
        speed {
            set presses {}
            for {set i 0} {$i < 11} {incr i} {
                lappend presses [compute]
            }
            note "speed press_to_picture_ms median [median $presses] of [lsort -real $presses]"
            set result [dict get $::gui::volume result]
            set frames {}
            for {set i 0} {$i < 30} {incr i} {
                $result rotate 400 300 [expr {400 + 6 * $i}] 300 800 600
                lappend frames [expr {[lindex [time {$result render ::gui::picture3d 800 600 1}] 0] / 1000.0}]
            }
            set still [lindex [time {$result render ::gui::picture3d 800 600 2} 5] 0]
            note "speed frame_800x600_ms median [median $frames] ([format %.0f [expr {1000 / [median $frames]}]] frames/s), still [format %.1f [expr {$still / 1000.0}]]"
        }
    }
}

set chan [open $report.part w]
puts $chan "pid [pid]"
puts $chan "status [expr {$::gui::state(kind) eq "error" ? "failed" : "ok"}]"
puts $chan "banner $::gui::state(banner)"
puts $chan "viewnote [string map {\n " / "} $::gui::viewNote]"
puts $chan "shown $::gui::shown"
foreach line $::lines {
    puts $chan $line
}
close $chan
file rename -force $report.part $report
exit 0
