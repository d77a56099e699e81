#include "shader/isa.h"

#include <cpuid.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace winsim::shader {
namespace {

// CPUID leaf 1, ECX bit 29 (clang does not know the name for __builtin_cpu_supports).
bool hasF16c() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_F16C);
}

Isa detect() {
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") && hasF16c();
    return avx2 && avx512 ? Isa::Avx512 : avx2 ? Isa::Avx2 : Isa::Sse2;
}

Isa lower(Isa a, Isa b) { return static_cast<int>(a) < static_cast<int>(b) ? a : b; }

// WINSIM_ISA, when it names a path; anything else is reported once and ignored.
Isa requested(Isa widest) {
    const char* name = std::getenv("WINSIM_ISA");
    if (!name || !*name) return widest;
    for (Isa isa : {Isa::Sse2, Isa::Avx2, Isa::Avx512})
        if (std::strcmp(name, isaName(isa)) == 0) return lower(isa, widest);
    std::fprintf(stderr, "winsim: WINSIM_ISA=%s is none of sse2, avx2, avx512; using %s\n", name, isaName(widest));
    return widest;
}

std::atomic<Isa>& current() {
    static std::atomic<Isa> isa{requested(processorIsa())};
    return isa;
}

}  // namespace

Isa processorIsa() {
    static const Isa isa = detect();
    return isa;
}

Isa activeIsa() { return current().load(std::memory_order_relaxed); }

Isa useIsa(Isa isa) {
    const Isa chosen = lower(isa, processorIsa());
    current().store(chosen, std::memory_order_relaxed);
    return chosen;
}

const char* isaName(Isa isa) {
    switch (isa) {
        case Isa::Avx512: return "avx512";
        case Isa::Avx2: return "avx2";
        case Isa::Sse2: break;
    }
    return "sse2";
}

}  // namespace winsim::shader
