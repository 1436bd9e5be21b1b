#!/usr/bin/env python3
"""Writes rondel~-help.pd.in and rondel~-meta.pd.in: object indices and
connections are kept by name here instead of by hand, and both files take
their description from one place. Run it after editing; the output is
committed (the build fills in the version).

The layout assumes Pd's font size 12 (7 pixels a character, 16 a line of
text, boxes 21 high). bash scripts/help_screenshots.sh shows the result."""

import pathlib

DESCRIPTION = "spread one signal over N loudspeakers on a circle"
KEYWORDS = "signal spatialization panning multichannel"
LICENSE = "BSD-3-Clause"
AUTHOR = "the rondel~ developers"


class Canvas:
    def __init__(self, header):
        self.lines = [header]
        self.names = {}
        self.wires = []
        self.count = 0

    def add(self, line, name=None):
        self.lines.append(line + ";")
        if name:
            self.names[name] = self.count
        self.count += 1

    def obj(self, x, y, text, name=None):
        self.add(f"#X obj {x} {y} {text}", name)

    def msg(self, x, y, text, name=None):
        self.add(f"#X msg {x} {y} {text}", name)

    def text(self, x, y, text, width=None):
        # A bare semicolon would end the comment and send the rest as a message.
        assert ";" not in text.replace("\\;", ""), text
        self.add(f"#X text {x} {y} {text}" + (f", f {width}" if width else ""))

    def number(self, x, y, width, name, lo=0, hi=0):
        self.add(f"#X floatatom {x} {y} {width} {lo} {hi} 0 - - - 0", name)

    def sub(self, canvas, x, y, name):
        """Embeds a subpatch canvas as one box."""
        self.lines.extend(canvas.render())
        self.lines.append(f"#X restore {x} {y} pd {name};")
        self.count += 1

    def rule(self, y, label="empty", width=660, height=1):
        self.obj(8, y, f"cnv {height} {width} {height} empty empty {label} 8 12 0 13 #000000 #000000 0")

    def wire(self, a, outlet, b, inlet):
        self.wires.append((a, outlet, b, inlet))

    def render(self):
        out = list(self.lines)
        for a, o, b, i in self.wires:
            out.append(f"#X connect {self.names[a]} {o} {self.names[b]} {i};")
        return out


def slider(width, init_value=None):
    """A horizontal slider 0 ... 1 without a label (cords come in from above);
    with init_value it starts there and sends it at load."""
    init, value = (0, 0) if init_value is None else (1, round(init_value * (width - 1) * 100))
    return f"hsl {width} 19 0 1 0 {init} empty empty empty -2 -10 0 12 #dfdfdf #000000 #000000 {value} 1"


def reference():
    ref = Canvas("#N canvas 700 60 560 610 reference 0;")
    ref.obj(40, 14, "rondel~")
    ref.text(110, 15, f"- {DESCRIPTION}")
    ref.obj(8, 45, "cnv 5 540 5 empty empty INLETS: 8 18 0 13 #202020 #000000 0")
    ref.obj(10, 75, "cnv 1 540 1 empty empty 1st: 8 12 0 13 #7c7c7c #000000 0")
    ref.text(100, 80, "signal - the sound to spread. A float here is a constant input.", 58)
    ref.text(100, 120, "val <float> - move to a position on the circle \\, in turns (0.25 is a quarter turn \\, "
                       "default 0). Only the fraction of a turn matters. Negative values act as 0 \\, and so do "
                       "NaN and infinities: put [wrap] in front to sweep below zero.", 58)
    ref.text(100, 195, "dist <float> - move to a distance from the centre: 0 centre ... 1 on the circle "
                       "(clamped \\, default 1).", 58)
    ref.text(100, 232, "line <float> - ramp time in ms for the next moves (default 50 \\, negative acts as 0).", 58)
    for y, ordinal, what in ((280, "2nd", "position \\, as val"), (310, "3rd", "distance \\, as dist"),
                             (340, "4th", "ramp time in ms \\, as line")):
        ref.obj(10, y, f"cnv 1 540 1 empty empty {ordinal}: 8 12 0 13 #7c7c7c #000000 0")
        ref.text(100, y + 5, f"float - {what}.", 58)
    ref.obj(8, 375, "cnv 2 540 2 empty empty OUTLETS: 8 12 0 13 #202020 #000000 0")
    ref.text(100, 385, "1st ... Nth: signal - the input times each loudspeaker's gain. Loudspeaker k sits at "
                       "(k - 1)/N turns.", 58)
    ref.obj(8, 430, "cnv 2 540 2 empty empty ARGUMENT: 8 12 0 13 #202020 #000000 0")
    ref.text(100, 440, "1) float - number of outputs N \\, 2 to 16 (default 2). Below 2 gives 2 \\, above 16 "
                       "gives 16 \\, fractions are dropped.", 58)
    ref.text(100, 480, "A new object sits at position 0 on the circle: outlet 1 passes the input.", 58)
    ref.obj(8, 515, "cnv 2 540 2 empty empty FLAG: 8 12 0 13 #202020 #000000 0")
    ref.text(100, 525, "-m - before N: the N outputs leave as one outlet of N channels (Pd 0.54 and later \\, "
                       "separate outlets in older Pd).", 58)
    ref.obj(8, 585, "cnv 5 540 5 empty empty empty 8 18 0 13 #202020 #000000 0")
    return ref


# Sum of the squared gains (power) against distance, from the gain law; a
# range where it also depends on the position (tests/unit_tests.cpp checks
# these figures).
LOUDNESS = [
    ("1 (circle)", "1 (0 dB)", "1 (0 dB)", "1 (0 dB)"),
    ("0.75", "0.96 ... 1.15", "0.96 ... 1.15", "0.96 ... 1.15"),
    ("0.5", "0.98 ... 1.125", "1.125 (+0.5 dB)", "1.125 (+0.5 dB)"),
    ("0.25", "0.93 ... 0.98", "1.56 (+1.9 dB)", "1.56 (+1.9 dB)"),
    ("0.125", "0.85 ... 0.87", "1.9 (+2.8 dB)", "2.53 (+4 dB)"),
    ("0 (centre)", "0.75 (-1.25 dB)", "2 (+3 dB)", "4 (+6 dB)"),
]


def multichannel_page():
    """The -m flag: one multichannel outlet. Opens without error in every Pd:
    [snake~] is only named, since Pd before 0.54 has none."""
    mc = Canvas("#N canvas 660 90 600 520 multichannel 0;")
    mc.text(20, 15, "One outlet of N channels: rondel~ -m N", None)
    mc.text(20, 45, "With the flag -m (before N \\, as in Pd's own objects) the N outputs leave as one multichannel signal of N channels: channel k carries exactly what outlet k of [rondel~ N] carries. The inlets are the same. One cable then reaches [dac~] \\, [snake~ out N] or any multichannel chain.", 76)
    mc.obj(30, 150, "osc~ 440", "osc")
    mc.obj(30, 180, "*~ 0.1", "quiet")
    mc.add("#X floatatom 120 180 6 0 1 2 position - - 0", "pos")
    mc.obj(30, 225, "rondel~ -m 4", "r")
    mc.obj(30, 275, "dac~ 1 2 3 4", "dac")
    mc.wire("osc", 0, "quiet", 0)
    mc.wire("quiet", 0, "r", 0)
    mc.wire("pos", 0, "r", 1)
    mc.wire("r", 0, "dac", 0)
    mc.text(170, 225, "one cable \\, four channels: [dac~] spreads them over its outputs 1 to 4", 40)
    mc.text(20, 320, "Multichannel signals came with Pd 0.54. In older versions -m gives N separate outlets instead \\, with one line in the console saying so \\, and the patch keeps working (here only outlet 1 is wired then).", 76)
    mc.text(20, 390, "The input takes one channel. Like Pd's own filters and [env~] \\, rondel~ refuses a multichannel input: it posts an error and its outputs stay silent until the input has one channel again. Take one channel out with [snake~ out] \\, or add the channels up first.", 76)
    return mc


def gain_law():
    law = Canvas("#N canvas 640 40 620 810 gain-law 0;")
    law.text(20, 15, "How the gains are found")
    law.text(20, 45, "Each loudspeaker gets a gain from its distance d to the source along the circle (in "
                     "turns \\, 0 to 0.5) and from the distance from the centre (dist). With N loudspeakers a "
                     "loudspeaker sounds while N * d * dist < 1 \\, and its gain is sqrt(1 - N * d * dist) "
                     "times (dist/2 + 0.5).", 78)
    law.text(20, 130, "On the circle (dist 1) only the one or two loudspeakers around the source sound \\, and "
                      "the squares of their gains add up to 1: a source a fraction s of the way from one "
                      "loudspeaker to the next gives them sqrt(1 - s) and sqrt(s). Towards the centre the sound "
                      "reaches more loudspeakers \\, and at the centre all of them get 0.5 (for two "
                      "loudspeakers \\, sqrt(0.5) \\, since there the factor for distance is taken under the "
                      "root).", 78)
    law.text(20, 250, "Examples with 4 loudspeakers (at 0 \\, 0.25 \\, 0.5 and 0.75 turn):", 78)
    for i, line in enumerate(["position 0 \\, dist 1: 1 0 0 0",
                              "position 0.125 \\, dist 1: 0.7071 0.7071 0 0",
                              "position 0.1 \\, dist 1: 0.7746 0.6325 0 0",
                              "position 0 \\, dist 0.5: 0.75 0.5303 0 0.5303",
                              "position 0 \\, dist 0.25: 0.625 0.5413 0.4419 0.5413",
                              "any position \\, dist 0: 0.5 0.5 0.5 0.5"]):
        law.text(40, 278 + 20 * i, line, 60)
    law.text(20, 410, "Every move (val or dist) ramps each gain in a straight line from where it stands to its "
                      "new value. With a ramp of R samples the new gains are reached exactly on the (R + 1)th "
                      "sample.", 78)

    law.text(20, 470, "Loudness")
    law.text(20, 495, "Constant power holds on the circle only. From there to distance 0.5 the sum of the "
                      "squared gains stays between 0.93 and 1.16 (-0.3 to +0.6 dB) \\, but further in it "
                      "grows with the number of loudspeakers: at the centre it is N/4 \\, so 8 loudspeakers "
                      "sound 3 dB louder there than on the circle \\, 16 loudspeakers 6 dB \\, and 3 "
                      "loudspeakers 1.25 dB softer. Sum of the squared gains:", 78)
    columns = (20, 140, 290, 440)
    for x, head in zip(columns, ("distance", "N = 3", "N = 8", "N = 16")):
        law.text(x, 600, head)
    for row, cells in enumerate(LOUDNESS):
        for x, cell in zip(columns, cells):
            law.text(x, 625 + 20 * row, cell)
    law.text(20, 755, "Where a range is given the sum depends on the position too. Lower the input towards "
                      "the centre where the rise matters.", 78)
    return law


def meta_lines(canvas, x, lines):
    """One comment a line, at Pd's default width of 60 characters (the
    package script reads DESCRIPTION from it as it stands): a line that
    wraps gets the room of two."""
    y = 10
    for line in lines:
        canvas.text(x, y, line)
        y += 20 * (1 + len(line) // 60) + 10


def meta():
    m = Canvas("#N canvas 700 100 480 350 META 0;")
    meta_lines(m, 12, [f"DESCRIPTION {DESCRIPTION}", f"KEYWORDS {KEYWORDS}", f"LICENSE {LICENSE}",
                       "VERSION @PROJECT_VERSION@", f"AUTHOR {AUTHOR}", "INLET_0 signal val dist line",
                       "INLET_1 float", "INLET_2 float", "INLET_3 float", "OUTLET_N signal"])
    return m


def meta_file():
    """The library's meta file, beside the help."""
    m = Canvas("#N canvas 20 20 480 200 META 1;")
    meta_lines(m, 10, ["NAME rondel~", f"AUTHOR {AUTHOR}", "VERSION @PROJECT_VERSION@", f"LICENSE {LICENSE}",
                       f"DESCRIPTION {DESCRIPTION}"])
    top = Canvas("#N canvas 20 20 420 200 10;")
    top.sub(m, 10, 10, "META")
    return top


def main_canvas():
    m = Canvas("#N canvas 200 40 700 795 12;")
    m.obj(26, 13, "rondel~")
    m.text(96, 14, f"- {DESCRIPTION}")
    m.sub(reference(), 480, 13, "reference")
    m.text(590, 14, "<= click")
    m.rule(46)
    m.text(30, 56, "[rondel~] sends its input to N outputs standing for N loudspeakers evenly placed around a "
                   "circle. Set where the sound is with a position on the circle (in turns) and a distance "
                   "from the centre. Every move ramps the gains over the ramp time \\, sample by sample \\, so "
                   "nothing clicks. A new object sits at position 0 on the circle: outlet 1 passes the input.", 88)

    # The signal runs straight down the left edge into the object; the
    # controls stand to the right and feed the other three inlets, each from
    # its own column, so no cord crosses a box or a comment.
    for x, title in ((30, "test sound"), (140, "position (turns)"), (420, "distance"), (570, "ramp (ms)")):
        m.text(x, 150, title)
    m.obj(30, 175, "osc~ 330", "osc")
    m.obj(30, 205, "*~ 0.1", "quiet")
    m.wire("osc", 0, "quiet", 0)

    # position: a slider, and a sweep once round either way through [wrap]
    m.msg(140, 175, "0 \\, 1 4000", "cw")
    m.msg(230, 175, "0 \\, -1 4000", "ccw")
    m.obj(140, 215, "line 0 50", "sweep")
    m.obj(140, 245, "wrap", "wrap")
    m.text(230, 215, "one turn each way: negative positions act as 0 \\, so [wrap] keeps a sweep below 0 going "
                     "round", 25)
    m.obj(140, 285, slider(200), "pos")
    m.number(140, 312, 6, "posnum")
    for name in ("cw", "ccw"):
        m.wire(name, 0, "sweep", 0)
    m.wire("sweep", 0, "wrap", 0)
    m.wire("wrap", 0, "pos", 0)
    m.wire("pos", 0, "posnum", 0)

    # distance: starts on the circle, as the object does
    for i, (x, value) in enumerate(((420, "0"), (455, "0.5"), (504, "1"))):
        m.msg(x, 245, value, f"d{i}")
        m.wire(f"d{i}", 0, "dist", 0)
    m.obj(420, 285, slider(110, init_value=1), "dist")
    m.number(420, 312, 6, "distnum", 0, 1)
    m.wire("dist", 0, "distnum", 0)

    # ramp: shows the object's 50 ms from the start
    m.obj(570, 175, "loadbang", "lb")
    m.msg(570, 245, "50", "r50")
    m.msg(610, 245, "2000", "r2000")
    m.number(570, 285, 6, "ramp", 0, 10000)
    m.wire("lb", 0, "r50", 0)
    m.wire("r50", 0, "ramp", 0)
    m.wire("r2000", 0, "ramp", 0)

    m.obj(30, 420, "rondel~ 4", "r")
    m.wire("quiet", 0, "r", 0)
    m.wire("posnum", 0, "r", 1)
    m.wire("distnum", 0, "r", 2)
    m.wire("ramp", 0, "r", 3)
    m.text(115, 423, "4 outputs: loudspeakers at 0 \\, 1/4 \\, 1/2 and 3/4 turn", 60)

    # listening on a stereo card: a fold-down of the four loudspeakers
    m.obj(30, 500, "output~", "out")
    for k, side in ((0, 0), (3, 0), (1, 1), (2, 1)):
        m.wire("r", k, "out", side)
    m.text(30, 565, "raise the level to listen (that also turns DSP on). On two channels loudspeakers 1 and "
                    "4 play left \\, 2 and 3 right. With four loudspeakers use [dac~ 1 2 3 4] instead.", 66)

    # level of each loudspeaker
    for k in range(4):
        x = 160 + 70 * k
        m.obj(x, 500, "env~", f"env{k}")
        m.number(x, 528, 5, f"lvl{k}")
        m.wire("r", k, f"env{k}", 0)
        m.wire(f"env{k}", 0, f"lvl{k}", 0)
    m.text(460, 500, "level of each loudspeaker in dB (100 = full scale)", 28)

    # further pages, one row each
    pages = [(gain_law(), "gain-law", "how the gains are found \\, and why the centre is louder"),
             (multichannel_page(), "multichannel", "rondel~ -m N: one outlet of N channels (Pd 0.54 on)")]
    for i, (page, name, note) in enumerate(pages):
        y = 640 + 30 * i
        m.sub(page, 30, y, name)
        m.text(165, y + 1, note, 70)
    m.sub(meta(), 30, 705, "META")
    m.rule(740)
    m.text(20, 753, "see also:")
    for x, name in ((100, "wrap"), (145, "line~"), (195, "vline~"), (250, "dac~")):
        m.obj(x, 752, name)
    m.text(330, 753, "updated for rondel~ @PROJECT_VERSION@ (Pd 0.53 or later)")
    return m


here = pathlib.Path(__file__).parent
here.joinpath("rondel~-help.pd.in").write_text("\n".join(main_canvas().render()) + "\n")
here.joinpath("rondel~-meta.pd.in").write_text("\n".join(meta_file().render()) + "\n")
