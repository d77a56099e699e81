// Blocks and control flow of the SPIR-V translation: lane masks per block, edges for phis,
// loops that run again while lanes wait at their header.
#include "shader/decoder.h"

namespace winsim::shader {

using spirv::Instruction;

namespace {
bool isTerminator(spv::Op op) {
    return op == spv::OpBranch || op == spv::OpBranchConditional || op == spv::OpSwitch || op == spv::OpKill ||
           op == spv::OpReturn || op == spv::OpReturnValue || op == spv::OpUnreachable;
}

std::vector<uint32_t> targets(const Instruction& inst) {
    if (inst.op == spv::OpBranch) return {inst.operands[0]};
    if (inst.op == spv::OpBranchConditional) return {inst.operands[1], inst.operands[2]};
    return {};
}
}  // namespace

bool Decoder::collectBlocks(size_t at) {
    const auto& code = m_.instructions;
    for (; at < code.size() && code[at].op != spv::OpFunctionEnd; ++at) {
        const Instruction& inst = code[at];
        if (inst.op == spv::OpFunction) return fail("function calls are not supported");
        if (inst.op == spv::OpLabel) {
            blockIndex_[inst.result] = blocks_.size();
            blocks_.push_back({inst.result, at, at, blocks_.empty() ? kEntryRegister : newRegister()});
        } else if (blocks_.empty()) {
            if (inst.op != spv::OpFunctionParameter) continue;
            return fail("entry point with parameters");
        }
        if (inst.op == spv::OpLoopMerge) blocks_.back().loopMerge = inst.operands[0];
        if (isTerminator(inst.op)) blocks_.back().last = at;
        if (inst.op == spv::OpPhi)
            for (size_t i = 1; i < inst.operands.size(); i += 2) edgeMasks_[{inst.operands[i], blocks_.back().label}] = 0;
    }
    if (blocks_.empty()) return fail("empty entry point");
    for (auto& [edge, reg] : edgeMasks_) {
        reg = newRegister();
        p_.clearedEachRun.push_back(reg);
    }
    for (size_t i = 1; i < blocks_.size(); ++i) p_.clearedEachRun.push_back(blocks_[i].mask);
    return checkEdges();
}

// Every branch goes forward in block order, except the back edge of a loop from inside it to
// its header; loop bodies are marked for masked writes.
bool Decoder::checkEdges() {
    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (!blocks_[i].loopMerge) continue;
        const auto merge = blockIndex_.find(blocks_[i].loopMerge);
        if (merge == blockIndex_.end() || merge->second <= i) return fail("unstructured loop");
        for (size_t j = i; j < merge->second; ++j) blocks_[j].inLoop = true;
    }
    for (size_t i = 0; i < blocks_.size(); ++i) {
        for (uint32_t target : targets(m_.instructions[blocks_[i].last])) {
            const auto found = blockIndex_.find(target);
            if (found == blockIndex_.end()) return fail("branch to an unknown block");
            const size_t t = found->second;
            if (t > i) continue;
            const Block& header = blocks_[t];
            if (!header.loopMerge || blockIndex_[header.loopMerge] <= i) return fail("unstructured control flow");
        }
    }
    return true;
}

void Decoder::addLanes(uint32_t from, uint32_t to, uint32_t cond, bool negate) {
    p_.ops.push_back({Code::AddLanes, false, blocks_[blockIndex_[to]].mask, kNone, cond, negate ? 1u : 0u});
    const auto edge = edgeMasks_.find({from, to});
    if (edge != edgeMasks_.end()) p_.ops.push_back({Code::AddLanes, false, edge->second, kNone, cond, negate ? 1u : 0u});
}

bool Decoder::terminator(const Block& b, const Instruction& inst) {
    switch (inst.op) {
        case spv::OpBranch: addLanes(b.label, inst.operands[0], kNone, false); return true;
        case spv::OpBranchConditional: {
            const auto* cond = value(inst.operands[0]);
            if (!cond) return false;
            if (inst.operands[1] == inst.operands[2]) {
                addLanes(b.label, inst.operands[1], kNone, false);
                return true;
            }
            addLanes(b.label, inst.operands[1], (*cond)[0], false);
            addLanes(b.label, inst.operands[2], (*cond)[0], true);
            return true;
        }
        case spv::OpKill:
            p_.ops.push_back({Code::Kill, false, kKilledRegister});
            p_.usesKill = true;
            return true;
        case spv::OpReturn:
        case spv::OpUnreachable: return true;
        default: return fail("unsupported instruction " + spirv::opName(inst.op));
    }
}

// Phis take each component from the edge the lane came in by. Inside loops they go through
// temporaries, as a header's phis may read each other.
bool Decoder::phis(const Block& b, size_t& at) {
    std::vector<std::pair<uint32_t, uint32_t>> moves;  // destination, temporary
    for (; m_.instructions[at].op == spv::OpPhi; ++at) {
        const Instruction& inst = m_.instructions[at];
        std::vector<uint32_t> regs(components(inst.type));
        for (uint32_t c = 0; c < regs.size(); ++c) {
            regs[c] = newRegister();
            uint32_t target = regs[c];
            if (masked_) {
                target = newRegister();
                p_.ops.push_back({Code::Copy, false, target, regs[c]});
                moves.emplace_back(regs[c], target);
            }
            for (size_t i = 0; i + 1 < inst.operands.size(); i += 2) {
                const uint32_t edge = edgeMasks_.at({inst.operands[i + 1], b.label});
                pendingPhis_.push_back({p_.ops.size(), inst.operands[i], c});
                p_.ops.push_back({Code::Select, false, target, edge, kNone, target});
            }
        }
        values_[inst.result] = std::move(regs);
    }
    for (const auto& [dst, tmp] : moves) p_.ops.push_back({Code::Copy, true, dst, tmp});
    for (const auto& [edge, reg] : edgeMasks_)
        if (edge.second == b.label) p_.ops.push_back({Code::ClearMask, false, reg});
    return true;
}

bool Decoder::block(size_t index) {
    Block& b = blocks_[index];
    current_ = b.label;
    masked_ = b.inLoop;
    b.startOp = p_.ops.size();
    // A loop's merge block starts by sending the loop round again while lanes wait at its header.
    for (const Block& header : blocks_)
        if (header.loopMerge == b.label) p_.ops.push_back({Code::LoopEnd, false, kNone, header.mask, static_cast<uint32_t>(header.startOp)});
    p_.ops.push_back({Code::Block, false, kExecRegister, b.mask, kNone});
    size_t at = b.first + 1;
    if (!phis(b, at)) return false;
    for (; at < b.last; ++at)
        if (!instruction(m_.instructions[at])) return false;
    return terminator(b, m_.instructions[b.last]);
}

bool Decoder::function() {
    size_t at = 0;
    const auto& code = m_.instructions;
    while (at < code.size() && !(code[at].op == spv::OpFunction && code[at].result == m_.entryFunction)) ++at;
    if (at == code.size()) return fail("entry function missing");
    for (size_t other = 0; other < code.size(); ++other)
        if (code[other].op == spv::OpFunction && other != at) return fail("function calls are not supported");
    if (!collectBlocks(at + 1)) return false;
    std::vector<size_t> blockOps;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        blockOps.push_back(p_.ops.size());
        if (!block(i)) return false;
    }
    // Skipping a block jumps to the start of the next one (or the end).
    for (size_t i = 0; i < blocks_.size(); ++i) {
        size_t op = blocks_[i].startOp;
        while (p_.ops[op].code != Code::Block) ++op;
        p_.ops[op].b = static_cast<uint32_t>(i + 1 < blocks_.size() ? blocks_[i + 1].startOp : p_.ops.size());
    }
    for (const PendingPhi& phi : pendingPhis_) {
        const auto* v = value(phi.value);
        if (!v || phi.component >= v->size()) return false;
        p_.ops[phi.op].b = (*v)[phi.component];
    }
    return true;
}

bool Decoder::run() {
    return globals() && function();
}

}  // namespace winsim::shader
