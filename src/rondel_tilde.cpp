// rondel~: one signal spread over N outputs, loudspeakers evenly placed on a
// circle. Position (turns), distance from the centre and ramp time (ms) are
// set by messages or by the three right inlets; every move ramps the gains
// linearly, sample by sample, from where they stand to the new targets.
// With -m (Pd 0.54 on) the N outputs leave as one multichannel outlet.

#include <cstddef>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "rondel_tilde.h"

#include "controls.hpp"
#include "gain_law.hpp"
#include "simd.hpp"

#if defined(_WIN32)
#define RONDEL_EXPORT __declspec(dllexport)
#else
#define RONDEL_EXPORT __attribute__((visibility("default")))
#endif

static t_class *rondel_class;

/* ---------------------- host functions -------------------------- */

    /* Multichannel signals came with Pd 0.54. The functions for them are
    looked up when the class is set up, never linked, so that one plug-in
    loads in every Pd; null where the host lacks them. */
#ifndef CLASS_MULTICHANNEL
#define CLASS_MULTICHANNEL 0x10
#endif

typedef void (*t_rondel_setmultiout)(t_signal **sig, int nchans);

static struct
{
    t_rondel_setmultiout h_setmultiout; /* replaces an output signal */
} rondel_host;

    /* head of a signal from Pd 0.54 on: the channel count follows the
    sample rate, where older hosts keep the reference count */
typedef struct _rondel_mcsignal
{
    int s_length;
    t_sample *s_vec;
    t_float s_sr;
    int s_nchans;
} t_rondel_mcsignal;

    /* only for hosts that have multichannel signals */
static int rondel_nchans(const t_signal *sig)
{
    int nchans;
    memcpy(&nchans, (const char *)sig + offsetof(t_rondel_mcsignal, s_nchans),
        sizeof(nchans));
    return (nchans);
}

static void rondel_findhost(void)
{
#if defined(_WIN32)
    HMODULE pd = GetModuleHandleA("pd.dll");
    rondel_host.h_setmultiout = (t_rondel_setmultiout)(pd ?
        GetProcAddress(pd, "signal_setmultiout") : 0);
#else
    rondel_host.h_setmultiout =
        (t_rondel_setmultiout)dlsym(RTLD_DEFAULT, "signal_setmultiout");
#endif
}

/* -------------------------- signal ------------------------------ */

static const t_rondel_performers *rondel_performers_cpu;  /* set at setup */

static void rondel_dsp(t_rondel *x, t_signal **sp)
{
    int n = sp[0]->s_n, nout = x->x_nout;
    t_int vec[kMaxOutputs + 3];
    if (nout < 2 || nout > kMaxOutputs)
        return;
        /* a multichannel class makes its own output signals: one of N
        channels with -m, else N of one channel each */
    if (rondel_host.h_setmultiout)
    {
        if (x->x_multi)
            rondel_host.h_setmultiout(&sp[1], nout);
        else for (int k = 0; k < nout; k++)
            rondel_host.h_setmultiout(&sp[1 + k], 1);
            /* like Pd's own filters: one signal to place, one channel */
        int nchans = rondel_nchans(sp[0]);
        if (nchans != 1)
        {
            pd_error(x, "rondel~: can't take multichannel inputs "
                "(%d channels): outputs silent", nchans);
            for (int k = 0; k < (x->x_multi ? 1 : nout); k++)
                dsp_add_zero(sp[1 + k]->s_vec, (x->x_multi ? nout : 1) * n);
            return;
        }
    }
    vec[0] = (t_int)x;
    vec[1] = (t_int)sp[0]->s_vec;
        /* with -m the channels lie one after the other in one vector */
    for (int k = 0; k < nout; k++)
        vec[2 + k] = (t_int)(x->x_multi ? sp[1]->s_vec + k * n : sp[1 + k]->s_vec);
    vec[nout + 2] = (t_int)n + 1;
    dsp_addv((*rondel_performers_cpu)[nout], nout + 3, vec);
}

    /* the widest vector path this CPU runs; RONDEL_SIMD may ask for a
    narrower one (to compare paths), and pd -verbose tells which it is */
static void rondel_choosesimd(void)
{
#if RONDEL_DISPATCH
    static constexpr auto sse2 = rondel_performers<rondel::lanes::Sse2>;
    rondel::Simd s = rondel::x86_path(getenv("RONDEL_SIMD"));
    rondel_performers_cpu = s == rondel::Simd::avx2 ?
        &rondel_performers_avx2 : &sse2;
#else
    static constexpr auto portable =
        rondel_performers<rondel::lanes::Portable<t_sample>>;
    rondel::Simd s = rondel::Simd::portable;
    rondel_performers_cpu = &portable;
#endif
    logpost(NULL, PD_VERBOSE, "rondel~: %s perform routines",
        rondel::simd_name(s));
}

/* ------------------------- control ------------------------------ */

    /* new targets for the stored position and distance, then a ramp
    towards them from wherever the gains stand now */
static void rondel_move(t_rondel *x)
{
    if (x->x_nout < 2 || x->x_nout > kMaxOutputs)
        return;
    rondel::kTargetRoutines[x->x_nout](x->x_pos, x->x_dist, x->x_target);
    rondel::restart_ramp(rondel_rampstate(x), x->x_ramp);
}

static void rondel_floatval(t_rondel *x, t_floatarg f)
{
    x->x_pos = rondel::clamp_position(rondel::message_float(f));
    rondel_move(x);
}

static void rondel_floatdist(t_rondel *x, t_floatarg f)
{
    x->x_dist = rondel::clamp_distance(rondel::message_float(f));
    rondel_move(x);
}

static void rondel_intline(t_rondel *x, t_floatarg f)
{
    x->x_ramp = rondel::ramp_length(x->x_sr, rondel::message_float(f));
}

/* ------------------------ lifecycle ----------------------------- */

static int rondel_fellback;     /* -m without multichannel said once */

    /* [rondel~ [-m] [N]]: flags first, as Pd's own objects take them;
    anything after N is ignored */
static void *rondel_new(t_symbol *s, int argc, t_atom *argv)
{
    int multi = 0;
    t_float f = 0;
    (void)s;
    while (argc && argv->a_type == A_SYMBOL &&
        argv->a_w.w_symbol->s_name[0] == '-')
    {
        if (!strcmp(argv->a_w.w_symbol->s_name, "-m"))
            multi = 1;
        else
        {
            pd_error(0, "rondel~: unknown flag %s (usage: rondel~ [-m] [N])",
                argv->a_w.w_symbol->s_name);
            return (0);
        }
        argc--, argv++;
    }
    if (argc && argv->a_type != A_FLOAT)
    {
        pd_error(0, "rondel~: N must be a number (usage: rondel~ [-m] [N])");
        return (0);
    }
    if (argc)
        f = argv->a_w.w_float;
    if (multi && !rondel_host.h_setmultiout)
    {
        if (!rondel_fellback)
            post("rondel~: -m needs Pd 0.54 or newer (multichannel signals): "
                "separate outlets instead");
        rondel_fellback = 1;
        multi = 0;
    }
    t_rondel *x = (t_rondel *)pd_new(rondel_class);
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("val"));
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("dist"));
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("line"));
    x->x_nout = rondel::output_count(rondel::message_float(f));
    x->x_multi = multi;
    for (int k = 0; k < (multi ? 1 : x->x_nout); k++)
        outlet_new(&x->x_obj, &s_signal);
    x->x_sr = rondel::whole_rate(rondel::message_float(sys_getsr()));
    for (int k = 0; k < kMaxOutputs; k++)
    {
        x->x_gain[k] = x->x_start[k] = x->x_target[k] = 0;
        x->x_step[k] = 0;
    }
        /* output 1 carries the input and keeps it: the state reads
        "position 0, on the circle" and the first countdown lands there */
    x->x_gain[0] = x->x_start[0] = x->x_target[0] = 1;
    x->x_ramp = x->x_count = x->x_length = rondel::default_ramp(x->x_sr);
    x->x_dist = 1;
    x->x_pos = 0;
    return (x);
}

extern "C" RONDEL_EXPORT void rondel_tilde_setup(void)
{
    rondel_findhost();
    rondel_class = class_new(gensym("rondel~"), (t_newmethod)rondel_new, 0,
        sizeof(t_rondel),
        rondel_host.h_setmultiout ? CLASS_MULTICHANNEL : CLASS_DEFAULT,
        A_GIMME, 0);
    class_addmethod(rondel_class, (t_method)rondel_floatval, gensym("val"),
        A_DEFFLOAT, 0);
    class_addmethod(rondel_class, (t_method)rondel_floatdist, gensym("dist"),
        A_DEFFLOAT, 0);
    class_addmethod(rondel_class, (t_method)rondel_intline, gensym("line"),
        A_DEFFLOAT, 0);
    CLASS_MAINSIGNALIN(rondel_class, t_rondel, x_f);
    class_addmethod(rondel_class, (t_method)rondel_dsp, gensym("dsp"), A_CANT, 0);
    class_sethelpsymbol(rondel_class, gensym("rondel~"));
    rondel_choosesimd();
    post("rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet");
}
