// Runs generated patches in the real Pd host, headless and faster than real
// time, and hands back what the objects' outlets carried.
#pragma once

#include <string>
#include <vector>

namespace rondel::test {

/// A message sent at a time, in samples from the start; times that are
/// multiples of 64 land just before the block that starts there.
struct Event {
    int at;
    std::string to;       ///< receiver: "o<j>in<i>" is inlet i of object j; "pd" the host
    std::string message;  ///< e.g. "val 0.25", "0.5", "dsp 0"; "nan" sends a NaN float
};

/// A patch: objects `[rondel~ ARGS]` inside one subpatch, all fed by one
/// source, every outlet recorded from the start for `samples` samples.
struct Scenario {
    std::vector<std::string> objects = {"4"};  ///< creation arguments, one object each
    std::string source = "osc~ 1000";          ///< the input, recorded too
    int samples = 4096;                        ///< recorded length
    int record_at = 0;                         ///< first recorded sample (a block boundary)
    int duration = 0;                          ///< logical time to run, 0: `record_at` + `samples`
    std::string block;                         ///< block~ arguments of the subpatch (size, overlap); empty: none
    bool own_buffer = false;                   ///< feed each object through its own [*~ 1], whose buffer
                                               ///< Pd may hand on as one of the object's outlets
    int rate = 44100;
    bool finite = false;                       ///< also record whether each outlet is finite
    std::string environment;                   ///< NAME=VALUE words for the host's environment
    std::string pd_flags;                      ///< more flags for pd, e.g. -verbose
    bool split_multichannel = false;           ///< objects made with -m feed [snake~ out N], whose
                                               ///< outlets are recorded (hosts with multichannel signals)
    std::vector<Event> events;
};

/// What one run produced.
struct Recording {
    std::vector<float> input;
    std::vector<std::vector<std::vector<float>>> outlets;   ///< [object][outlet][sample]
    std::vector<std::vector<std::vector<float>>> finite;    ///< 1 where finite, per outlet
    std::string log;                                        ///< everything the host printed
    bool ok = false;                                        ///< the host ran and the files were read
};

/// Outlet counts the scenario's objects are recorded with (one per object).
Recording run_in_pd(const Scenario& s, const std::vector<int>& outlets);

/// Marks a log whose host exited with an error (a crash, or a finding of valgrind or a sanitizer).
inline constexpr const char* kHostFailed = "[pd exit status ";

/// Runs pd on a patch text and returns its log; `extra` goes on the command
/// line, `environment` (NAME=VALUE words) into pd's environment.
std::string run_patch(const std::string& patch, const std::string& extra = "", const std::string& environment = "");

/// The host's version, e.g. {0, 57}; {0, 0} if it could not be read.
struct PdVersion {
    int major = 0, minor = 0;
    /// Whether the host has multichannel signals (Pd 0.54 on).
    bool multichannel() const { return major > 0 || minor >= 54; }
};

/// Version of the pd the tests run (RONDEL_PD), asked once.
PdVersion host_version();

/// The pd command the tests run: RONDEL_PD from the environment, else the one found at build time.
std::string pd_command();

/// Folder for this run's files, made anew.
std::string scratch_dir();

/// What the host does with samples. Its recording (tabwrite~) may clear -0
/// and values below 2^-63 to +0: Pd on x86 and armhf does, on arm64 it keeps
/// both, Pd64 on x86 keeps tiny floats but clears -0. Pd64 computes in double.
struct HostTraits {
    bool known = false;               ///< the probe ran and matched one of the rules below
    bool keeps_negative_zero = true;  ///< -0 stays -0 (else +0)
    bool keeps_tiny = true;           ///< values below 2^-63 stay (else +0)
    bool double_samples = false;      ///< signals are doubles (Pd64)
    std::string log;                  ///< what the host printed while probed
    /// The sample as the recording holds it.
    float recorded(float x) const;
};

/// Found out once per run from the host: -0, tiny values and a value past
/// float precision recorded and read back.
const HostTraits& host_traits();

/// Line the plug-in posts once when it loads.
inline constexpr const char* kBanner = "rondel~ ZEBRIM Corvalle Veltria - Ilan Vesquet";

/// How often `what` occurs in `text`.
inline int count_of(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace rondel::test
