// A stand-in for the few parts of the Pd host that rondel~ uses, built as
// pd.dll so that the real plug-in can be loaded and driven on Windows
// (under Wine) without Pd. These are its extra entry points for the test.
// Built twice: as an older host, and (STANDIN_MULTICHANNEL) as one with
// multichannel signals, which exports signal_setmultiout.
#pragma once

#include "m_pd.h"

#ifdef PD_INTERNAL
#define STANDIN_API __declspec(dllexport)
#else
#define STANDIN_API __declspec(dllimport)
#endif

extern "C" {
/// Sample rate that sys_getsr reports.
STANDIN_API void standin_set_samplerate(t_float sr);
/// The class registered under `name`, or null.
STANDIN_API t_class* standin_find_class(const char* name);
/// Calls the class's constructor with one float argument.
STANDIN_API void* standin_new(t_class* c, t_float arg);
/// Calls the class's constructor with these creation arguments; null if it refused.
STANDIN_API void* standin_create(t_class* c, int argc, t_atom* argv);
/// Whether this stand-in has multichannel signals.
STANDIN_API bool standin_multichannel(void);
/// A signal of `nchans` channels of `length` samples each, as the host hands it over.
STANDIN_API t_signal* standin_signal(int length, int nchans);
/// Makes the `call`-th signal_setmultiout (from 0) of the next DSP build hand out
/// this vector, as a host hands a freed input's vector on to an output.
STANDIN_API void standin_reuse(int call, t_sample* vec);
/// Sends a message with one float (or none) to the object's first inlet; false if it has no such method.
STANDIN_API bool standin_message(void* obj, const char* selector, bool has_arg, t_float f);
/// Sends a float to inlet `inlet` (counted from 0); false if there is no such float inlet.
STANDIN_API bool standin_inlet_float(void* obj, int inlet, t_float f);
/// Number of signal outlets the object made.
STANDIN_API int standin_signal_outlets(void* obj);
/// Number of inlets the object made beside its first.
STANDIN_API int standin_extra_inlets(void* obj);
/// Asks the object to add its routine for these signals (inputs first); false if it added none.
STANDIN_API bool standin_dsp(void* obj, t_signal** sp);
/// Runs the routines added by the last standin_dsp once: one block.
STANDIN_API void standin_run(void);
/// Everything the plug-in posted, one line each.
STANDIN_API const char* standin_posts(void);
/// What the class registered: the main signal inlet's onset (-1: none), its help symbol, its record size.
STANDIN_API void standin_class_info(t_class* c, int* signal_inlet_onset, const char** help, size_t* size);
/// The flags the class was made with.
STANDIN_API int standin_class_flags(t_class* c);
}
