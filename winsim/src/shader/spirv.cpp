#include "shader/spirv.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <glslang/SPIRV/doc.h>

namespace winsim::shader::spirv {

std::string opName(spv::Op op) {
    const std::string name = spv::OpcodeString(static_cast<int>(op));
    return name.rfind("Op", 0) == 0 ? name : "Op" + name;
}

std::string Instruction::string(size_t first) const {
    std::string text;
    for (size_t i = first; i < operands.size(); ++i) {
        for (int byte = 0; byte < 4; ++byte) {
            const char c = static_cast<char>((operands[i] >> (8 * byte)) & 0xFF);
            if (c == 0) return text;
            text += c;
        }
    }
    return text;
}

const Instruction* Module::definition(uint32_t id) const {
    const auto it = definitions.find(id);
    return it == definitions.end() ? nullptr : &instructions[it->second];
}

namespace {

std::optional<uint32_t> firstLiteral(const std::vector<Decoration>* list, spv::Decoration kind) {
    if (!list) return std::nullopt;
    for (const Decoration& d : *list)
        if (d.kind == kind) return d.literals.empty() ? 0u : d.literals[0];
    return std::nullopt;
}

void noteDecoration(Module& module, const Instruction& inst) {
    const bool member = inst.op == spv::OpMemberDecorate || inst.op == spv::OpMemberDecorateString;
    const bool text = inst.op == spv::OpDecorateString || inst.op == spv::OpMemberDecorateString;
    const size_t kindAt = member ? 2 : 1;
    if (inst.operands.size() <= kindAt) return;
    Decoration d{static_cast<spv::Decoration>(inst.operands[kindAt]), {}, {}};
    if (text) d.text = inst.string(kindAt + 1);
    else d.literals.assign(inst.operands.begin() + static_cast<ptrdiff_t>(kindAt + 1), inst.operands.end());
    if (member) module.memberDecorations[{inst.operands[0], inst.operands[1]}].push_back(std::move(d));
    else module.decorations[inst.operands[0]].push_back(std::move(d));
}

bool decodeInstruction(const uint32_t* words, uint32_t count, Instruction& inst) {
    inst.op = static_cast<spv::Op>(words[0] & 0xFFFF);
    bool hasResult = false, hasType = false;
    spv::HasResultAndType(inst.op, &hasResult, &hasType);
    uint32_t at = 1;
    if (hasType) {
        if (at >= count) return false;
        inst.type = words[at++];
    }
    if (hasResult) {
        if (at >= count) return false;
        inst.result = words[at++];
    }
    inst.operands.assign(words + at, words + count);
    return true;
}

}  // namespace

std::optional<uint32_t> Module::decoration(uint32_t id, spv::Decoration kind) const {
    const auto it = decorations.find(id);
    return firstLiteral(it == decorations.end() ? nullptr : &it->second, kind);
}

std::optional<uint32_t> Module::memberDecoration(uint32_t id, uint32_t member, spv::Decoration kind) const {
    const auto it = memberDecorations.find({id, member});
    return firstLiteral(it == memberDecorations.end() ? nullptr : &it->second, kind);
}

std::string Module::semantic(uint32_t id) const {
    const auto it = decorations.find(id);
    if (it == decorations.end()) return {};
    for (const Decoration& d : it->second) {
        if (d.kind != spv::DecorationUserSemantic) continue;
        std::string text = d.text;
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
        return text;
    }
    return {};
}

std::optional<Module> read(const std::vector<uint32_t>& words, std::string* error) {
    if (words.size() < 5 || words[0] != spv::MagicNumber) {
        *error = "not a SPIR-V module";
        return std::nullopt;
    }
    Module module;
    for (size_t at = 5; at < words.size();) {
        const uint32_t count = words[at] >> 16;
        Instruction inst;
        if (count == 0 || at + count > words.size() || !decodeInstruction(&words[at], count, inst)) {
            *error = "truncated SPIR-V instruction";
            return std::nullopt;
        }
        at += count;
        if (inst.result) module.definitions[inst.result] = module.instructions.size();
        if (inst.op == spv::OpDecorate || inst.op == spv::OpMemberDecorate || inst.op == spv::OpDecorateString ||
            inst.op == spv::OpMemberDecorateString)
            noteDecoration(module, inst);
        if (inst.op == spv::OpEntryPoint) {
            if (module.entryFunction || inst.operands.size() < 3) {
                *error = "more than one entry point";
                return std::nullopt;
            }
            module.model = static_cast<spv::ExecutionModel>(inst.operands[0]);
            module.entryFunction = inst.operands[1];
            size_t first = 2 + (inst.string(2).size() + 4) / 4;
            module.interface.assign(inst.operands.begin() + static_cast<ptrdiff_t>(std::min(first, inst.operands.size())),
                                    inst.operands.end());
        }
        module.instructions.push_back(std::move(inst));
    }
    if (!module.entryFunction) {
        *error = "no entry point";
        return std::nullopt;
    }
    return module;
}

}  // namespace winsim::shader::spirv
