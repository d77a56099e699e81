// The specialiser walks the program once in execution order. Lane masks are tracked as "no lane"
// or "every lane that runs"; a block with no lane is skipped as the interpreter would skip it, and
// any mask it cannot decide leaves the program as it was. Values are tracked as constants, or as
// the register that holds them, so that copies, stores and decided selects emit nothing. Before
// an operation overwrites a register that other values still live in, those values move to a
// fresh register.
#include "shader/specialize.h"

#include <cstring>
#include <map>
#include <optional>

#include "shader/kernel.h"

namespace winsim::shader {

uint32_t uniformBits(const UniformSource& uniform, const std::vector<uint8_t>& constants) {
    uint32_t bits = 0;
    if (uniform.slot == 0 && uniform.offset + 4 <= constants.size()) std::memcpy(&bits, constants.data() + uniform.offset, 4);
    return bits;
}

namespace {

enum class Mask : uint8_t { Unknown, Empty, Entry };  // Entry: the lanes the run started with

bool isResource(Code code) { return code == Code::Sample || code == Code::Fetch; }

class Specializer {
public:
    Specializer(const Program& in, const std::vector<uint8_t>& constants)
        : in_(in), out_(in), value_(in.registerCount), mask_(in.registerCount, Mask::Unknown), alias_(in.registerCount) {
        out_.ops.clear();
        out_.clearedEachRun.clear();
        out_.usesKill = false;  // a kill that runs leaves the program as decoded
        for (uint32_t r = 0; r < in.registerCount; ++r) alias_[r] = r;
        for (const auto& [reg, bits] : in.constants) value_[reg] = bits;
        for (const UniformSource& u : in.uniforms) value_[u.reg] = uniformBits(u, constants);
        for (uint32_t r : in.clearedEachRun) mask_[r] = Mask::Empty;
        mask_[kEntryRegister] = Mask::Entry;
    }

    bool run();
    Program& result() { return out_; }

private:
    bool step(size_t& pc);
    std::optional<bool> known(uint32_t reg) const;
    void rename(uint32_t dst, uint32_t src);
    uint32_t read(uint32_t reg);
    void write(uint32_t reg);
    void arithmetic(const Op& op);
    void resource(const Op& op);
    uint32_t fold(const Op& op) const;
    uint32_t constantRegister(uint32_t bits);
    void dropDeadOps();

    const Program& in_;
    Program out_;
    std::vector<std::optional<uint32_t>> value_;  // a constant, the same in every lane
    std::vector<Mask> mask_;
    std::vector<uint32_t> alias_;  // the register that holds the value, kNone for an unplaced constant
    std::map<uint32_t, uint32_t> constantRegisters_;
    bool running_ = false;  // a block has started, so the active lanes are the entry lanes
};

bool Specializer::run() {
    for (size_t pc = 0; pc < in_.ops.size(); ++pc)
        if (!step(pc)) return false;
    for (Varying& v : out_.outputs)
        for (uint32_t& r : v.registers) r = read(r);
    dropDeadOps();
    return true;
}

bool Specializer::step(size_t& pc) {
    const Op& op = in_.ops[pc];
    if (op.masked) return false;
    switch (op.code) {
        case Code::Block:
            if (mask_[op.a] == Mask::Empty) {
                if (op.b <= pc) return false;
                pc = op.b - 1;
                return true;
            }
            if (mask_[op.a] != Mask::Entry) return false;
            mask_[op.a] = Mask::Empty;
            running_ = true;
            return true;
        case Code::AddLanes: {
            const std::optional<bool> condition = op.b == kNone ? std::optional<bool>(true) : known(op.b);
            if (!running_ || !condition) return false;
            if (*condition != (op.b != kNone && op.c)) mask_[op.dst] = Mask::Entry;
            return true;
        }
        case Code::ClearMask: mask_[op.dst] = Mask::Empty; return true;
        case Code::Store:
            if (!running_) return false;
            rename(op.dst, op.a);
            return true;
        case Code::Copy: rename(op.dst, op.a); return true;
        case Code::Select:
            if (const auto condition = known(op.a)) rename(op.dst, *condition ? op.b : op.c);
            else arithmetic(op);
            return true;
        case Code::Kill:
        case Code::LoopEnd: return false;
        case Code::Sample:
        case Code::Fetch: resource(op); return true;
        default: arithmetic(op); return true;
    }
}

// Whether every running lane of a mask or boolean is known to be set, or known to be clear.
std::optional<bool> Specializer::known(uint32_t reg) const {
    if (mask_[reg] != Mask::Unknown) return mask_[reg] == Mask::Entry;
    if (value_[reg] && (*value_[reg] == 0 || *value_[reg] == ~0u)) return *value_[reg] != 0;
    return std::nullopt;
}

void Specializer::rename(uint32_t dst, uint32_t src) {
    alias_[dst] = alias_[src];
    value_[dst] = value_[src];
    mask_[dst] = mask_[src];
}

uint32_t Specializer::read(uint32_t reg) {
    if (reg == kNone) return kNone;
    if (alias_[reg] == kNone) alias_[reg] = constantRegister(*value_[reg]);
    return alias_[reg];
}

// `reg` is about to be overwritten: values that still live in it move to a fresh register.
void Specializer::write(uint32_t reg) {
    uint32_t saved = kNone;
    for (uint32_t r = 0; r < alias_.size(); ++r) {
        if (r == reg || alias_[r] != reg) continue;
        if (saved == kNone) {
            saved = out_.registerCount++;
            out_.ops.push_back({Code::Copy, false, saved, reg});
        }
        alias_[r] = saved;
    }
    alias_[reg] = reg;
    value_[reg].reset();
    mask_[reg] = Mask::Unknown;
}

void Specializer::arithmetic(const Op& op) {
    const bool constant = (op.a == kNone || value_[op.a]) && (op.b == kNone || value_[op.b]) && (op.c == kNone || value_[op.c]);
    if (constant) {
        const uint32_t bits = fold(op);
        alias_[op.dst] = kNone;  // placed in a register only if an operation reads it
        value_[op.dst] = bits;
        mask_[op.dst] = Mask::Unknown;
        return;
    }
    Op e = op;
    e.a = read(op.a);
    e.b = read(op.b);
    e.c = read(op.c);
    write(op.dst);
    out_.ops.push_back(e);
}

void Specializer::resource(const Op& op) {
    Op e = op;
    e.a = read(op.a);
    e.b = read(op.b);
    e.d = read(op.d);
    for (uint32_t c = 0; c < 4; ++c) write(op.dst + c);
    out_.ops.push_back(e);
}

// Runs the operation itself on one group of constants, so a folded value is bit for bit what
// the interpreter would have computed in every lane.
uint32_t Specializer::fold(const Op& op) const {
    static_assert(sizeof(Register) <= 4096, "four registers fit on the stack");
    Register regs[4]{};  // operands the operation does not name read as zero, never as garbage
    Op e = op;
    uint32_t* operands[3] = {&e.a, &e.b, &e.c};
    for (uint32_t i = 0; i < 3; ++i) {
        if (*operands[i] == kNone) continue;
        for (uint32_t& lane : regs[i].group[0].u) lane = *value_[*operands[i]];
        *operands[i] = i;
    }
    e.dst = 3;
    kernel::run<F4, 1>(&e, 1, regs, [](const Op&, int) {});
    return regs[3].group[0].u[0];
}

uint32_t Specializer::constantRegister(uint32_t bits) {
    const auto [it, added] = constantRegisters_.try_emplace(bits, 0);
    if (added) {
        it->second = out_.registerCount++;
        out_.constants.emplace_back(it->second, bits);
    }
    return it->second;
}

// Backwards from the outputs: an operation stays if a later one, or an output, reads what it writes.
void Specializer::dropDeadOps() {
    std::vector<bool> live(out_.registerCount);
    for (const Varying& v : out_.outputs)
        for (uint32_t r : v.registers) live[r] = true;
    std::vector<Op> kept;
    for (auto it = out_.ops.rbegin(); it != out_.ops.rend(); ++it) {
        const Op& op = *it;
        const uint32_t width = isResource(op.code) ? 4 : 1;
        bool needed = false;
        for (uint32_t c = 0; c < width; ++c) needed = needed || live[op.dst + c];
        if (!needed) continue;
        for (uint32_t c = 0; c < width; ++c) live[op.dst + c] = false;
        for (uint32_t r : {op.a, op.b, isResource(op.code) ? op.d : op.c})
            if (r != kNone) live[r] = true;
        kept.push_back(op);
    }
    out_.ops.assign(kept.rbegin(), kept.rend());
}

}  // namespace

bool specialize(const Program& program, const std::vector<uint8_t>& constants, Program& out) {
    Specializer s(program, constants);
    if (!s.run()) return false;
    out = std::move(s.result());
    return true;
}

}  // namespace winsim::shader
