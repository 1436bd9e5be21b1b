// The stand-in host: class and method registry, symbols, cleared records,
// inlets that turn floats into messages, outlets, the sample rate, one DSP
// routine at a time and the console.
#define PD_INTERNAL
#include "standin.h"

#include <cstdarg>
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
    std::vector<t_int> chain;  // the routine and its arguments
    std::string posts;
    t_float sr = 44100;
};

Objects& host()
{
    static Objects o;
    return o;
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

t_class* class_new(t_symbol* name, t_newmethod newmethod, t_method, size_t size, int, t_atomtype, ...)
{
    auto c = std::make_unique<t_class>();
    c->name = name;
    c->newmethod = newmethod;
    c->size = size;
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

void dsp_addv(t_perfroutine f, int n, t_int* vec)
{
    auto& chain = host().chain;
    chain.assign(1, reinterpret_cast<t_int>(f));
    chain.insert(chain.end(), vec, vec + n);
}

void post(const char* fmt, ...)
{
    char line[1024];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    host().posts += line;
    host().posts += "\n";
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

void* standin_new(t_class* c, t_float arg)
{
    return reinterpret_cast<void* (*)(t_floatarg)>(c->newmethod)(arg);
}

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
    if (it == c->methods.end())
        return false;
    reinterpret_cast<void (*)(void*, t_signal**)>(it->second)(obj, sp);
    return !host().chain.empty();
}

void standin_run(void)
{
    auto& chain = host().chain;
    if (!chain.empty())
        reinterpret_cast<t_perfroutine>(chain[0])(chain.data());
}

const char* standin_posts(void) { return host().posts.c_str(); }

void standin_class_info(t_class* c, int* signal_inlet_onset, const char** help, size_t* size)
{
    *signal_inlet_onset = c->signal_onset;
    *help = c->help ? c->help->s_name : nullptr;
    *size = c->size;
}

}  // extern "C"
