#!/usr/bin/env python3
"""Writes rondel~-help.pd.in: object indices and connections are kept by
name here instead of by hand. Run it after editing; the output is committed
(the build fills in the version)."""

import pathlib


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
        self.add(f"#X text {x} {y} {text}" + (f", f {width}" if width else ""))

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


ref = Canvas("#N canvas 700 60 560 502 reference 0;")
ref.obj(40, 14, "rondel~")
ref.text(110, 15, "- spread one signal over N loudspeakers on a circle")
ref.obj(8, 45, "cnv 5 540 5 empty empty INLETS: 8 18 0 13 #202020 #000000 0")
ref.obj(10, 75, "cnv 1 540 1 empty empty 1st: 8 12 0 13 #7c7c7c #000000 0")
ref.text(100, 80, "signal - the sound to spread. A float here is a constant input.", 58)
ref.text(100, 120, "val <float> - move to a position on the circle \\, in turns (0.25 is a quarter turn). Only the fraction of a turn matters. Negative values act as 0 \\, and so do NaN and infinities.", 58)
ref.text(100, 187, "dist <float> - move to a distance from the centre: 0 centre ... 1 on the circle (clamped).", 58)
ref.text(100, 224, "line <float> - ramp time in ms for the next moves (default 50 \\, negative acts as 0).", 58)
for y, ordinal, what in ((262, "2nd", "position \\, as val"), (292, "3rd", "distance \\, as dist"),
                         (322, "4th", "ramp time in ms \\, as line")):
    ref.obj(10, y, f"cnv 1 540 1 empty empty {ordinal}: 8 12 0 13 #7c7c7c #000000 0")
    ref.text(100, y + 5, f"float - {what}.", 58)
ref.obj(8, 357, "cnv 2 540 2 empty empty OUTLETS: 8 12 0 13 #202020 #000000 0")
ref.text(100, 367, "1st ... Nth: signal - the input times each loudspeaker's gain. Loudspeaker k sits at (k - 1)/N turns.", 58)
ref.obj(8, 412, "cnv 2 540 2 empty empty ARGUMENT: 8 12 0 13 #202020 #000000 0")
ref.text(100, 422, "1) float - number of outputs N \\, 2 to 16 (default 2). Below 2 gives 2 \\, above 16 gives 16 \\, fractions are dropped.", 58)
ref.obj(8, 472, "cnv 5 540 5 empty empty empty 8 18 0 13 #202020 #000000 0")

law = Canvas("#N canvas 640 80 600 520 gain-law 0;")
law.text(20, 15, "How the gains are found", None)
law.text(20, 45, "Each loudspeaker gets a gain from its distance d to the source along the circle (in turns \\, 0 to 0.5) and from the distance from the centre (dist). With N loudspeakers a loudspeaker sounds while N * d * dist < 1 \\, and its gain is sqrt(1 - N * d * dist) times (dist/2 + 0.5).", 76)
law.text(20, 140, "On the circle (dist 1) only the one or two loudspeakers around the source sound \\, and the squares of their gains add up to 1: a source a fraction s of the way from one loudspeaker to the next gives them sqrt(1 - s) and sqrt(s). Towards the centre the sound reaches more loudspeakers \\, and at the centre all of them get 0.5 (for two loudspeakers \\, sqrt(0.5) \\, since there the factor for distance is taken under the root).", 76)
law.text(20, 265, "Examples with 4 loudspeakers (at 0 \\, 0.25 \\, 0.5 and 0.75 turn):", 76)
law.text(40, 295, "position 0 \\, dist 1: 1 0 0 0", 60)
law.text(40, 315, "position 0.125 \\, dist 1: 0.7071 0.7071 0 0", 60)
law.text(40, 335, "position 0.1 \\, dist 1: 0.7746 0.6325 0 0", 60)
law.text(40, 355, "position 0 \\, dist 0.5: 0.75 0.5303 0 0.5303", 60)
law.text(40, 375, "position 0 \\, dist 0.25: 0.625 0.5413 0.4419 0.5413", 60)
law.text(40, 395, "any position \\, dist 0: 0.5 0.5 0.5 0.5", 60)
law.text(20, 430, "Every move (val or dist) ramps each gain in a straight line from where it stands to its new value. With a ramp of R samples the new gains are reached exactly on sample R + 1.", 76)

meta = Canvas("#N canvas 700 100 420 200 META 0;")
meta.text(12, 10, "DESCRIPTION spread one signal over N loudspeakers on a circle")
meta.text(12, 30, "KEYWORDS signal spatialization panning multichannel")
meta.text(12, 50, "LICENSE BSD-3-Clause")
meta.text(12, 70, "VERSION @PROJECT_VERSION@")
meta.text(12, 90, "INLET_0 signal val dist line")
meta.text(12, 110, "INLET_1 float")
meta.text(12, 130, "INLET_2 float")
meta.text(12, 150, "INLET_3 float")
meta.text(12, 170, "OUTLET_N signal")

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


m = Canvas("#N canvas 200 40 700 620 12;")
m.obj(26, 13, "rondel~")
m.text(96, 14, "- spread one signal over N loudspeakers on a circle")
m.sub(ref, 480, 13, "reference")
m.text(590, 14, "<= click")
m.rule(46)
m.text(30, 56, "[rondel~] sends its input to N outputs standing for N loudspeakers evenly placed around a circle. Set where the sound is with a position on the circle (in turns) and a distance from the centre. Every move ramps the gains over the ramp time \\, sample by sample \\, so nothing clicks.", 86)

m.obj(30, 145, "tgl 19 0 empty empty empty 17 7 0 10 #dfdfdf #000000 #000000 0 1", "dsp")
m.text(56, 145, "DSP on / off")
m.msg(30, 172, "\\; pd dsp \\$1", "dspmsg")
m.wire("dsp", 0, "dspmsg", 0)
m.obj(260, 145, "hsl 162 19 0 1 0 0 empty empty position\\ (turns) -2 -10 0 12 #dfdfdf #000000 #000000 0 1", "pos")
m.add("#X floatatom 260 172 6 0 0 0 - - - 0", "posnum")
m.obj(450, 145, "hsl 100 19 0 1 0 0 empty empty distance -2 -10 0 12 #dfdfdf #000000 #000000 10000 1", "dist")
m.add("#X floatatom 450 172 6 0 1 0 - - - 0", "distnum")
m.add("#X floatatom 590 145 6 0 10000 2 ramp\\ ms - - 0", "ramp")
m.wire("pos", 0, "posnum", 0)
m.wire("dist", 0, "distnum", 0)

m.obj(30, 240, "osc~ 330", "osc")
m.text(30, 215, "test sound")
m.obj(30, 270, "*~ 0.1", "quiet")
m.wire("osc", 0, "quiet", 0)
m.text(140, 215, "or as messages:")
for i, (name, text) in enumerate([("v1", "val 0.125"), ("v2", "val 0.5"), ("v3", "dist 0"),
                                  ("v4", "dist 1"), ("v5", "line 2000"), ("v6", "line 50")]):
    m.msg(140, 240 + 25 * i, text, name)

m.obj(260, 400, "rondel~ 4", "r")
m.wire("quiet", 0, "r", 0)
m.wire("posnum", 0, "r", 1)
m.wire("distnum", 0, "r", 2)
m.wire("ramp", 0, "r", 3)
for v in ("v1", "v2", "v3", "v4", "v5", "v6"):
    m.wire(v, 0, "r", 0)
m.text(350, 400, "4 outputs: loudspeakers at 0 \\, 1/4 \\, 1/2 and 3/4 turn", 40)

for k in range(4):
    x = 260 + 80 * k
    m.obj(x, 450, "env~", f"env{k}")
    m.add(f"#X floatatom {x} 478 5 0 0 0 - - - 0", f"lvl{k}")
    m.wire("r", k, f"env{k}", 0)
    m.wire(f"env{k}", 0, f"lvl{k}", 0)
m.text(580, 450, "level in dB (100 = full scale)", 14)
m.obj(260, 515, "dac~ 1 2 3 4", "dac")
for k in range(4):
    m.wire("r", k, "dac", k)

m.sub(multichannel_page(), 30, 400, "multichannel")
m.text(30, 425, "-m: one outlet of N channels", 30)
m.sub(law, 30, 450, "gain-law")
m.text(30, 475, "how the gains are found", 24)
m.sub(meta, 30, 515, "META")
m.rule(555)
m.text(20, 568, "see also:")
m.obj(100, 567, "line~")
m.obj(150, 567, "vline~")
m.obj(205, 567, "*~")
m.obj(235, 567, "dac~")
m.text(460, 568, "updated for rondel~ @PROJECT_VERSION@")

out = pathlib.Path(__file__).with_name("rondel~-help.pd.in")
out.write_text("\n".join(m.render()) + "\n")
