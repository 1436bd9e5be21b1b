# Draws the gains of the eight outputs of [rondel~ 8] over one turn, at three
# distances: gnuplot -e "data='gains.txt'; out='gains.png'" gains.gnuplot
set terminal pngcairo size 1100,900 font "DejaVu Sans,11" noenhanced
set output out
set multiplot layout 3,1 title "[rondel~ 8]: gain of each output while the source goes once around the circle" font ",14"
set xrange [0:1]
set yrange [0:1.05]
set xtics 0.125
set grid
set key outside right
set ylabel "gain"
titles = "1 2 3 4 5 6 7 8"
do for [d = 0:2] {
    dist = word("1 0.5 0.25", d + 1)
    set title sprintf("distance %s%s", dist, d == 0 ? " (on the circle)" : "")
    if (d == 2) { set xlabel "position (turns)" }
    plot for [k = 1:8] data using 1:(column(1 + 8 * d + k)) with lines lw 2 title sprintf("out %d", k)
}
unset multiplot
