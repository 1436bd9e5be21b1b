// The stand-in host: class and method registry, symbols, cleared records,
// inlets that turn floats into messages, outlets, the sample rate, the DSP
// routines of one object and the console; with STANDIN_MULTICHANNEL also
// multichannel signals, as Pd has them from 0.54 on.
#define PD_INTERNAL
#include "standin.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct _class {
    t_symbol* name = nullptr;
    t_newmethod newmethod = nullptr;
    size_t size = 0;
    int flags = 0;
    bool gimme = false;  // constructor takes (symbol, argc, argv)
    int signal_onset = -1;
    t_symbol* help = nullptr;
    std::map<std::string, t_method> methods;
};

struct _inlet {
    t_object* owner;
    t_symbol* from;
    t_symbol* to;
};

struct _outlet {
    t_object* owner;
    t_symbol* kind;
};

namespace {

struct Objects {
    std::map<std::string, std::unique_ptr<t_symbol>> symbols;
    std::map<std::string, std::unique_ptr<t_class>> classes;
    std::map<void*, std::vector<std::unique_ptr<t_inlet>>> inlets;
    std::map<void*, std::vector<std::unique_ptr<t_outlet>>> outlets;
    std::vector<std::vector<t_int>> chain;  // each routine and its arguments
    std::vector<std::unique_ptr<t_signal>> signals;      // given out by standin_signal
    std::vector<std::unique_ptr<t_sample[]>> vectors;
    std::vector<std::unique_ptr<t_signal>> made;         // by the last DSP build
    std::vector<std::unique_ptr<t_sample[]>> made_vectors;
    std::map<int, t_sample*> reuse;  // setmultiout call -> vector to hand out
    int setmultiout_calls = 0;
    std::string posts;
    t_float sr = 44100;
};

Objects& host()
{
    static Objects o;
    return o;
}

// From Pd 0.54 on the channel count follows the sample rate, in the place
// where older hosts keep the reference count.
struct McHead {
    int s_length;
    t_sample* s_vec;
    t_float s_sr;
    int s_nchans;
};

// A signal whose vector is `vec`, or a new one; kept until the next DSP build if `made` there.
t_signal* new_signal(int length, int nchans, t_sample* vec, bool made)
{
    auto& signals = made ? host().made : host().signals;
    auto& vectors = made ? host().made_vectors : host().vectors;
    auto sig = std::make_unique<t_signal>();
    sig->s_n = length;
    sig->s_sr = host().sr;
    if (!vec) {
        const size_t size = static_cast<size_t>(length) * nchans;
        vectors.push_back(std::make_unique<t_sample[]>(size + 1));
        vec = vectors.back().get();
        // What the host makes for an output may hold an earlier signal.
        if (made)
            for (size_t i = 0; i < size; ++i)
                vec[i] = 7;
    }
    sig->s_vec = vec;
#ifdef STANDIN_MULTICHANNEL
    std::memcpy(reinterpret_cast<char*>(sig.get()) + offsetof(McHead, s_nchans), &nchans, sizeof nchans);
#else
    (void)nchans;
#endif
    signals.push_back(std::move(sig));
    return signals.back().get();
}

t_int* zero_routine(t_int* w)
{
    t_sample* out = reinterpret_cast<t_sample*>(w[1]);
    for (int i = 0; i < static_cast<int>(w[2]); ++i)
        out[i] = 0;
    return w + 3;
}

void add_routine(t_perfroutine f, int n, const t_int* vec)
{
    std::vector<t_int> r(1, reinterpret_cast<t_int>(f));
    r.insert(r.end(), vec, vec + n);
    host().chain.push_back(std::move(r));
}

void post_line(const char* prefix, const char* fmt, va_list ap)
{
    char line[1024];
    std::vsnprintf(line, sizeof line, fmt, ap);
    host().posts += prefix;
    host().posts += line;
    host().posts += "\n";
}

}  // namespace

extern "C" {

t_symbol s_signal = {"signal", nullptr, nullptr};

t_symbol* gensym(const char* s)
{
    if (!std::strcmp(s, "signal"))
        return &s_signal;
    auto& slot = host().symbols[s];
    if (!slot) {
        slot = std::make_unique<t_symbol>();
        char* name = static_cast<char*>(std::malloc(std::strlen(s) + 1));
        std::strcpy(name, s);
        slot->s_name = name;
        slot->s_thing = nullptr;
        slot->s_next = nullptr;
    }
    return slot.get();
}

t_class* class_new(t_symbol* name, t_newmethod newmethod, t_method, size_t size, int flags, t_atomtype arg, ...)
{
    auto c = std::make_unique<t_class>();
    c->name = name;
    c->newmethod = newmethod;
    c->size = size;
    c->flags = flags;
    c->gimme = arg == A_GIMME;
    t_class* p = c.get();
    host().classes[name->s_name] = std::move(c);
    return p;
}

void class_addmethod(t_class* c, t_method fn, t_symbol* sel, t_atomtype, ...)
{
    c->methods[sel->s_name] = fn;
}

void class_domainsignalin(t_class* c, int onset) { c->signal_onset = onset; }

void class_sethelpsymbol(t_class* c, t_symbol* s) { c->help = s; }

t_pd* pd_new(t_class* c)
{
    void* x = std::calloc(1, c->size);
    *static_cast<t_class**>(x) = c;
    return static_cast<t_pd*>(x);
}

t_inlet* inlet_new(t_object* owner, t_pd*, t_symbol* s1, t_symbol* s2)
{
    auto& list = host().inlets[owner];
    list.push_back(std::make_unique<_inlet>(_inlet{owner, s1, s2}));
    return list.back().get();
}

t_outlet* outlet_new(t_object* owner, t_symbol* s)
{
    auto& list = host().outlets[owner];
    list.push_back(std::make_unique<_outlet>(_outlet{owner, s}));
    return list.back().get();
}

t_float sys_getsr(void) { return host().sr; }

void dsp_addv(t_perfroutine f, int n, t_int* vec) { add_routine(f, n, vec); }

void dsp_add_zero(t_sample* out, int n)
{
    const t_int args[] = {reinterpret_cast<t_int>(out), n};
    add_routine(zero_routine, 2, args);
}

#ifdef STANDIN_MULTICHANNEL
__declspec(dllexport) void signal_setmultiout(t_signal** sig, int nchans)
{
    auto it = host().reuse.find(host().setmultiout_calls++);
    *sig = new_signal((*sig)->s_n, nchans, it == host().reuse.end() ? nullptr : it->second, true);
}
#endif

void post(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    post_line("", fmt, ap);
    va_end(ap);
}

void pd_error(const void*, const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    post_line("error: ", fmt, ap);
    va_end(ap);
}

// Like Pd started without -verbose: verbose lines are not shown.
void logpost(const void*, int level, const char* fmt, ...)
{
    if (level > PD_DEBUG)
        return;
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    host().posts += line;
    host().posts += "\n";
}

void standin_set_samplerate(t_float sr) { host().sr = sr; }

t_class* standin_find_class(const char* name)
{
    auto it = host().classes.find(name);
    return it == host().classes.end() ? nullptr : it->second.get();
}

void* standin_create(t_class* c, int argc, t_atom* argv)
{
    if (c->gimme)
        return reinterpret_cast<void* (*)(t_symbol*, int, t_atom*)>(c->newmethod)(c->name, argc, argv);
    // A_DEFFLOAT: a missing or non-float argument arrives as 0.
    return reinterpret_cast<void* (*)(t_floatarg)>(c->newmethod)(
        argc && argv[0].a_type == A_FLOAT ? argv[0].a_w.w_float : 0);
}

void* standin_new(t_class* c, t_float arg)
{
    t_atom a;
    a.a_type = A_FLOAT;
    a.a_w.w_float = arg;
    return standin_create(c, 1, &a);
}

bool standin_multichannel(void)
{
#ifdef STANDIN_MULTICHANNEL
    return true;
#else
    return false;
#endif
}

t_signal* standin_signal(int length, int nchans) { return new_signal(length, nchans, nullptr, false); }

void standin_reuse(int call, t_sample* vec) { host().reuse[call] = vec; }

bool standin_message(void* obj, const char* selector, bool has_arg, t_float f)
{
    t_class* c = *static_cast<t_class**>(obj);
    auto it = c->methods.find(selector);
    if (it == c->methods.end() || !std::strcmp(selector, "dsp"))
        return false;
    // A_DEFFLOAT: a missing argument arrives as 0.
    reinterpret_cast<void (*)(void*, t_floatarg)>(it->second)(obj, has_arg ? f : 0);
    return true;
}

bool standin_inlet_float(void* obj, int inlet, t_float f)
{
    auto& list = host().inlets[obj];
    if (inlet < 1 || inlet > static_cast<int>(list.size()))
        return false;
    const t_inlet& in = *list[inlet - 1];
    if (std::strcmp(in.from->s_name, "float"))
        return false;
    return standin_message(obj, in.to->s_name, true, f);
}

int standin_signal_outlets(void* obj)
{
    int n = 0;
    for (auto& o : host().outlets[obj])
        n += o->kind == &s_signal;
    return n;
}

int standin_extra_inlets(void* obj) { return static_cast<int>(host().inlets[obj].size()); }

bool standin_dsp(void* obj, t_signal** sp)
{
    t_class* c = *static_cast<t_class**>(obj);
    auto it = c->methods.find("dsp");
    host().chain.clear();
    host().made.clear();
    host().made_vectors.clear();
    host().setmultiout_calls = 0;
    if (it == c->methods.end())
        return false;
    reinterpret_cast<void (*)(void*, t_signal**)>(it->second)(obj, sp);
    host().reuse.clear();
    return !host().chain.empty();
}

void standin_run(void)
{
    for (auto& r : host().chain)
        reinterpret_cast<t_perfroutine>(r[0])(r.data());
}

const char* standin_posts(void) { return host().posts.c_str(); }

void standin_class_info(t_class* c, int* signal_inlet_onset, const char** help, size_t* size)
{
    *signal_inlet_onset = c->signal_onset;
    *help = c->help ? c->help->s_name : nullptr;
    *size = c->size;
}

int standin_class_flags(t_class* c) { return c->flags; }

}  // extern "C"
