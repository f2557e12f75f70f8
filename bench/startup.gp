# SPDX-License-Identifier: GPL-2.0-or-later
# The plot of bench/startup: time and memory (peak, and private at the end)
# against the number of entries, for quorvane and its two references (and the
# program from before a change, when before=1). Set data and output first.
set terminal pngcairo size 1100,480 font ",10"
set output output
set multiplot layout 1,2
set logscale xy
set grid
set xlabel "entries"
set key top left
set format x "%.0s%c"

before_time = ""
before_memory = ""
if (exists("before") && before) {
    before_time = ", data using 1:11 with linespoints lw 1 lc rgb '#7fa7e0' pt 6 title 'quorvane before, first map', data using 1:12 with linespoints lw 1 lc rgb '#7fa7e0' dt 2 pt 4 title 'quorvane before, idle'"
    before_memory = ", data using 1:13 with linespoints lw 1 lc rgb '#7fa7e0' pt 6 title 'quorvane before, peak', data using 1:17 with linespoints lw 1 lc rgb '#7fa7e0' dt 2 pt 4 title 'quorvane before, private'"
}

set title "Start-up time (medians)"
set ylabel "ms"
plot data using 1:2 with linespoints lw 2 lc rgb "#1f5fbf" pt 7 title "quorvane, first map", \
     data using 1:3 with linespoints lw 2 lc rgb "#1f5fbf" dt 2 pt 5 title "quorvane, idle", \
     data using 1:5 with linespoints lw 2 lc rgb "#444444" pt 7 title "naive floor, first map", \
     data using 1:6 with linespoints lw 2 lc rgb "#444444" dt 2 pt 5 title "naive floor, idle", \
     data using 1:8 with linespoints lw 2 lc rgb "#c0392b" pt 7 title "zenity --list, first map", \
     data using 1:9 with linespoints lw 2 lc rgb "#c0392b" dt 2 pt 5 title "zenity --list, idle" \
     @before_time

set title "Resident memory (medians)"
set ylabel "MB"
plot data using 1:4 with linespoints lw 2 lc rgb "#1f5fbf" pt 7 title "quorvane, peak", \
     data using 1:14 with linespoints lw 2 lc rgb "#1f5fbf" dt 2 pt 5 title "quorvane, private", \
     data using 1:7 with linespoints lw 2 lc rgb "#444444" pt 7 title "naive floor, peak", \
     data using 1:15 with linespoints lw 2 lc rgb "#444444" dt 2 pt 5 title "naive floor, private", \
     data using 1:10 with linespoints lw 2 lc rgb "#c0392b" pt 7 title "zenity --list, peak", \
     data using 1:16 with linespoints lw 2 lc rgb "#c0392b" dt 2 pt 5 title "zenity --list, private" \
     @before_memory
unset multiplot
