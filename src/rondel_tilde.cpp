// rondel~: one signal spread over N outputs, loudspeakers evenly placed on a
// circle. Position (turns), distance from the centre and ramp time (ms) are
// set by messages or by the three right inlets; every move ramps the gains
// linearly, sample by sample, from where they stand to the new targets.

#include "exact_float.hpp"

#include "m_pd.h"

#include "controls.hpp"
#include "gain_law.hpp"
#include "gain_ramp.hpp"
#include "per_count.hpp"

#if defined(_WIN32)
#define RONDEL_EXPORT __declspec(dllexport)
#else
#define RONDEL_EXPORT __attribute__((visibility("default")))
#endif

using rondel::kMaxOutputs;

static t_class *rondel_class;

typedef struct _rondel
{
    t_object x_obj;
    float x_dist;                   /* 0 centre ... 1 on the circle */
    float x_pos;                    /* position in turns, never negative */
    float x_gain[kMaxOutputs];      /* current gain per output */
    float x_target[kMaxOutputs];    /* gain at the end of the ramp */
    float x_inc[kMaxOutputs];       /* per-sample gain step */
    int x_sr;                       /* sample rate at creation, whole Hz */
    int x_count;                    /* samples left to the snap */
    int x_ramp;                     /* ramp length for the next move */
    int x_nout;                     /* number of outputs, 2 ... 16 */
    t_float x_f;                    /* main inlet's scalar */
} t_rondel;

    /* the control path is 32-bit in every Pd: with 64-bit samples (Pd64)
    only the last product, input times gain, is taken in double */
static_assert(sizeof(t_sample) == sizeof(float) || sizeof(t_sample) == sizeof(double),
    "rondel~ is built for 32-bit or 64-bit samples");

/* -------------------------- signal ------------------------------ */

template <int N>
static t_int *rondel_perform(t_int *w)
{
    t_rondel *x = (t_rondel *)(w[1]);
    const t_sample *in = (t_sample *)(w[2]);
    t_sample *out[N];
    for (int k = 0; k < N; k++)
        out[k] = (t_sample *)(w[3 + k]);
    int n = (int)(w[N + 3]) - 1;
    rondel::ramp_block<N>(in, out, n,
        {x->x_gain, x->x_inc, x->x_target, &x->x_count});
    return (w + N + 4);
}

template <int N>
static void rondel_dspadd(t_rondel *x, t_signal **sp)
{
    t_int vec[N + 3];
    vec[0] = (t_int)x;
    for (int k = 0; k <= N; k++)
        vec[1 + k] = (t_int)sp[k]->s_vec;
    vec[N + 2] = (t_int)sp[0]->s_n + 1;
    dsp_addv(rondel_perform<N>, N + 3, vec);
}

static constexpr auto rondel_dspadders = rondel::per_count<void (*)(t_rondel *, t_signal **)>(
    [](auto n) { return &rondel_dspadd<decltype(n)::value>; });

static void rondel_dsp(t_rondel *x, t_signal **sp)
{
    if (x->x_nout >= 2 && x->x_nout <= kMaxOutputs)
        rondel_dspadders[x->x_nout](x, sp);
}

/* ------------------------- control ------------------------------ */

    /* new targets for the stored position and distance, then a ramp
    towards them from wherever the gains stand now */
static void rondel_move(t_rondel *x)
{
    if (x->x_nout < 2 || x->x_nout > kMaxOutputs)
        return;
    rondel::kTargetRoutines[x->x_nout](x->x_pos, x->x_dist, x->x_target);
    rondel::restart_ramp(x->x_gain, x->x_target, x->x_inc, x->x_count, x->x_ramp);
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

static void *rondel_new(t_floatarg f)
{
    t_rondel *x = (t_rondel *)pd_new(rondel_class);
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("val"));
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("dist"));
    inlet_new(&x->x_obj, &x->x_obj.ob_pd, gensym("float"), gensym("line"));
    x->x_nout = rondel::output_count(rondel::message_float(f));
    for (int k = 0; k < x->x_nout; k++)
        outlet_new(&x->x_obj, &s_signal);
    x->x_sr = rondel::whole_rate(rondel::message_float(sys_getsr()));
    for (int k = 0; k < kMaxOutputs; k++)
    {
        x->x_inc[k] = 0;
        x->x_gain[k] = 0;
        x->x_target[k] = 0;
    }
        /* output 1 carries the input and keeps it: the state reads
        "position 0, on the circle" and the first countdown lands there */
    x->x_gain[0] = 1;
    x->x_target[0] = 1;
    x->x_ramp = x->x_count = rondel::default_ramp(x->x_sr);
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
    post("rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet");
}
