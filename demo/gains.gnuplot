# Draws the gains of the eight outputs of [rondel~ 8] over one turn, at three
# distances, with the sum of their squares (the power):
# gnuplot -e "data='gains.txt'; out='gains.png'" gains.gnuplot
# Columns of the data: position, then 8 outputs at distance 1, 8 at 0.5, 8 at 0.25.
set terminal pngcairo size 1100,1000 font "DejaVu Sans,11" noenhanced
set output out

# Neighbouring outputs get hues far apart, none pale on white; each peak
# also carries its output's number.
colours = "#1f77b4 #ff7f0e #2ca02c #d62728 #9467bd #8c564b #e377c2 #8c8c00"
distances = "1 0.5 0.25"
col(d, k) = 1 + 8 * d + k
power(d) = sum [k = 1:8] column(col(d, k))**2

# Every panel has the same margins, so the one legend on the right serves all.
set lmargin at screen 0.07
set rmargin at screen 0.76
set xrange [0:1]
set yrange [0:1.75]
set xtics 0.125
set ytics 0.25
set grid
set ylabel "gain"
set multiplot title "[rondel~ 8]: each output's gain while the source goes once around the circle, recorded from the object in Pd" font ",13"
panel_height = 0.24
panel_gap = 0.065
do for [d = 0:2] {
    top = 0.91 - d * (panel_height + panel_gap)
    set tmargin at screen top
    set bmargin at screen top - panel_height
    dist = word(distances, d + 1)
    set title sprintf("distance %s%s", dist, d == 0 ? " (on the circle)" : "") offset 0, -0.4
    unset label
    do for [k = 1:8] {
        stats data using 1:(column(col(d, k))) name "P" nooutput
        set label sprintf("%d", k) at P_pos_max_y, P_max_y + 0.1 center tc rgb word(colours, k) font ",12"
        if (k == 1) {
            set label "1" at P_pos_max_y + 1, P_max_y + 0.1 center tc rgb word(colours, 1) font ",12"
        }
    }
    if (d == 0) {
        set key at screen 0.775, screen 0.91 left top Left reverse title "output" samplen 2 spacing 1.2
    } else {
        unset key
    }
    if (d == 2) { set xlabel "position (turns)" }
    plot for [k = 1:8] data using 1:(column(col(d, k))) with lines lw 2 lc rgb word(colours, k) title sprintf("%d", k), \
         data using 1:(power(d)) with lines lw 2.5 dt 2 lc rgb "black" title "sum of the squared gains"
}
unset multiplot
