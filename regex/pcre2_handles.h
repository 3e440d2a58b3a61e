#pragma once
// Inside the regex layer (and its fuzz target) only: the one place where
// PCRE2's 16-bit handles get their owners.

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <memory>

namespace novel::pcre2 {

struct CodeDeleter {
    void operator()(pcre2_code_16* code) const { pcre2_code_free_16(code); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context_16* context) const {
        pcre2_compile_context_free_16(context);
    }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data_16* data) const { pcre2_match_data_free_16(data); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context_16* context) const { pcre2_match_context_free_16(context); }
};
struct JitStackDeleter {
    void operator()(pcre2_jit_stack_16* stack) const { pcre2_jit_stack_free_16(stack); }
};
using CodePtr = std::unique_ptr<pcre2_code_16, CodeDeleter>;
using CompileContextPtr = std::unique_ptr<pcre2_compile_context_16, CompileContextDeleter>;
using MatchDataPtr = std::unique_ptr<pcre2_match_data_16, MatchDataDeleter>;
using MatchContextPtr = std::unique_ptr<pcre2_match_context_16, MatchContextDeleter>;
using JitStackPtr = std::unique_ptr<pcre2_jit_stack_16, JitStackDeleter>;

}  // namespace novel::pcre2
