/* rondel~'s record and its perform routine, shared by the plug-in's main
file and the file that builds the perform routines for wider vectors. */

#pragma once

#include <array>

#include "m_pd.h"

#include "gain_ramp.hpp"
#include "per_count.hpp"

using rondel::kMaxOutputs;

typedef struct _rondel
{
    t_object x_obj;
    float x_dist;                   /* 0 centre ... 1 on the circle */
    float x_pos;                    /* position in turns, never negative */
    float x_gain[kMaxOutputs];      /* gain of the last processed sample */
    float x_start[kMaxOutputs];     /* gain the running ramp started from */
    float x_target[kMaxOutputs];    /* gain at the end of the ramp */
    double x_step[kMaxOutputs];     /* per-sample step of the running ramp */
    int x_sr;                       /* sample rate at creation, whole Hz */
    int x_count;                    /* samples left to the snap */
    int x_length;                   /* length of the running ramp */
    int x_ramp;                     /* ramp length for the next move */
    int x_nout;                     /* number of outputs, 2 ... 16 */
    int x_multi;                    /* outputs as one N-channel outlet */
    t_float x_f;                    /* main inlet's scalar */
} t_rondel;

static inline rondel::RampState rondel_rampstate(t_rondel *x)
{
    return {x->x_gain, x->x_start, x->x_step, x->x_target,
        &x->x_count, &x->x_length};
}

    /* one block: the input spread over N outputs on the vector lanes L */
template <int N, class L>
static t_int *rondel_perform(t_int *w)
{
    t_rondel *x = (t_rondel *)(w[1]);
    const t_sample *in = (t_sample *)(w[2]);
    t_sample *out[N];
    for (int k = 0; k < N; k++)
        out[k] = (t_sample *)(w[3 + k]);
    int n = (int)(w[N + 3]) - 1;
    rondel::ramp_block<N, t_sample, L>(in, out, n, rondel_rampstate(x));
    return (w + N + 4);
}

    /* the perform routines for every N on the lanes L */
template <class L>
static constexpr auto rondel_performers = rondel::per_count<t_perfroutine>(
    [](auto n) -> t_perfroutine { return &rondel_perform<decltype(n)::value, L>; });

typedef std::array<t_perfroutine, kMaxOutputs + 1> t_rondel_performers;

#if PD_FLOATSIZE == 32 && (defined(__i386__) || defined(__x86_64__))
#define RONDEL_DISPATCH 1   /* SSE2 everywhere, AVX2 where the CPU has it */
    /* built in their own file, with AVX2 enabled */
extern const t_rondel_performers rondel_performers_avx2;
#endif
