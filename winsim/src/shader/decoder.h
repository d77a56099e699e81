// The translation of a SPIR-V module into a flat register program (see code.h).
#pragma once
#include <map>
#include <unordered_map>

#include "shader/code.h"
#include "shader/spirv.h"

namespace winsim::shader {

enum class Scalar { Float, Int, UInt, Bool, None };

// A pointer with constant indices: into a variable's registers, or to bytes of a constant buffer.
struct Pointer {
    spv::StorageClass storage;
    uint32_t variable;
    uint32_t first;   // first register component of the variable it points at
    uint32_t type;    // pointee type
    uint32_t offset;  // constant buffers: byte offset
    uint32_t slot;    // constant buffers: register b#
    bool rowMajor;    // constant buffers: layout of a matrix member
    uint32_t matrixStride;
};

class Decoder {
public:
    Decoder(const spirv::Module& module, Program& program, std::string* error)
        : m_(module), p_(program), error_(error) {}
    bool run();

private:
    struct Block {
        uint32_t label;
        size_t first, last;  // instruction range, terminator included
        uint32_t mask;
        uint32_t loopMerge = 0;  // set on loop headers
        bool inLoop = false;
        size_t startOp = 0;
    };
    struct PendingPhi {
        size_t op;
        uint32_t value;
        uint32_t component;
    };

    // decode.cpp: module structure, globals, blocks and control flow
    bool globals();
    bool global(const spirv::Instruction& inst);
    bool variable(const spirv::Instruction& inst);
    bool function();
    bool collectBlocks(size_t begin);
    bool checkEdges();
    bool block(size_t index);
    bool phis(const Block& b, size_t& at);
    bool terminator(const Block& b, const spirv::Instruction& inst);
    void addLanes(uint32_t from, uint32_t to, uint32_t cond, bool negate);

    // decode_ops.cpp: one instruction of a block body
    bool instruction(const spirv::Instruction& inst);
    bool extInst(const spirv::Instruction& inst);
    bool load(const spirv::Instruction& inst);
    bool store(const spirv::Instruction& inst);
    bool accessChain(const spirv::Instruction& inst);
    bool composite(const spirv::Instruction& inst);
    bool matrixProduct(const spirv::Instruction& inst);
    bool image(const spirv::Instruction& inst);
    bool componentwise(const spirv::Instruction& inst, Code code, size_t operands, size_t firstOperand = 0);

    // types and values
    uint32_t components(uint32_t type) const;
    Scalar scalar(uint32_t type) const;
    const spirv::Instruction* type(uint32_t id) const { return m_.definition(id); }
    uint32_t constantRegister(uint32_t bits);
    uint32_t uniformRegister(uint32_t slot, uint32_t offset);
    bool constant(const spirv::Instruction& inst);
    const std::vector<uint32_t>* value(uint32_t id);
    uint32_t emit(Code code, uint32_t a, uint32_t b = kNone, uint32_t c = kNone, uint32_t d = kNone);
    uint32_t newRegister() { return p_.registerCount++; }
    bool fail(std::string reason);

    const spirv::Module& m_;
    Program& p_;
    std::string* error_;
    uint32_t glsl_ = 0;  // the GLSL.std.450 import
    std::unordered_map<uint32_t, std::vector<uint32_t>> values_;
    std::unordered_map<uint32_t, Pointer> pointers_;
    std::unordered_map<uint32_t, std::vector<uint32_t>> variables_;
    std::unordered_map<uint32_t, uint32_t> textures_, samplers_;
    std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> sampled_;
    std::map<uint32_t, uint32_t> constantRegisters_;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> uniformRegisters_;
    std::vector<Block> blocks_;
    std::unordered_map<uint32_t, size_t> blockIndex_;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> edgeMasks_;
    std::vector<PendingPhi> pendingPhis_;
    bool masked_ = false;
    uint32_t current_ = 0;  // label of the block being decoded
};

}  // namespace winsim::shader
