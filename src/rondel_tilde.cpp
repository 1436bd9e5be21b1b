// rondel~: one signal spread over N outputs, loudspeakers evenly placed on a
// circle. Position (turns), distance from the centre and ramp time (ms) are
// set by messages or by the three right inlets; every move ramps the gains
// linearly, sample by sample, from where they stand to the new targets.

#include <cstdlib>

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

/* -------------------------- signal ------------------------------ */

static const t_rondel_performers *rondel_performers_cpu;  /* set at setup */

template <int N>
static void rondel_dspadd(t_rondel *x, t_signal **sp)
{
    t_int vec[N + 3];
    vec[0] = (t_int)x;
    for (int k = 0; k <= N; k++)
        vec[1 + k] = (t_int)sp[k]->s_vec;
    vec[N + 2] = (t_int)sp[0]->s_n + 1;
    dsp_addv((*rondel_performers_cpu)[N], N + 3, vec);
}

static constexpr auto rondel_dspadders = rondel::per_count<void (*)(t_rondel *, t_signal **)>(
    [](auto n) { return &rondel_dspadd<decltype(n)::value>; });

static void rondel_dsp(t_rondel *x, t_signal **sp)
{
    if (x->x_nout >= 2 && x->x_nout <= kMaxOutputs)
        rondel_dspadders[x->x_nout](x, sp);
}

    /* the widest vector path this CPU runs; RONDEL_SIMD may ask for a
    narrower one (to compare paths), and pd -verbose tells which it is */
static void rondel_choosesimd(void)
{
#if RONDEL_DISPATCH
    static constexpr auto sse2 = rondel_performers<rondel::lanes::Sse2>;
    static const rondel::Simd paths[] = {rondel::Simd::sse2, rondel::Simd::avx2};
    rondel::Simd s = rondel::choose_simd(paths, 2, getenv("RONDEL_SIMD"));
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
    x->x_pos = rondel::clamp_position(f);
    rondel_move(x);
}

static void rondel_floatdist(t_rondel *x, t_floatarg f)
{
    x->x_dist = rondel::clamp_distance(f);
    rondel_move(x);
}

static void rondel_intline(t_rondel *x, t_floatarg f)
{
    x->x_ramp = rondel::ramp_length(x->x_sr, f);
}

/* ------------------------ lifecycle ----------------------------- */

static void *rondel_new(t_floatarg f)
{
    t_rondel *x = (t_rondel *)pd_new(rondel_class);
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("val"));
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("dist"));
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("line"));
    x->x_nout = rondel::output_count(f);
    for (int k = 0; k < x->x_nout; k++)
        outlet_new(&x->x_obj, &s_signal);
    x->x_sr = rondel::whole_rate(sys_getsr());
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
    rondel_class = class_new(gensym("rondel~"), (t_newmethod)rondel_new, 0,
        sizeof(t_rondel), CLASS_DEFAULT, A_DEFFLOAT, 0);
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
