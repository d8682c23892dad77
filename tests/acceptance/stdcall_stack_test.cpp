// Every export of the shipping 32-bit DLLs removes exactly its own arguments from the stack, as a
// stdcall caller expects: the expert program pushes the arguments and never pops them itself, so an
// export that removed too few or too many bytes would corrupt its caller's stack on return.
//
// Each export is called from assembly with a zeroed argument block of its parameter list's size,
// and the stack pointer before the arguments were pushed is compared with the one after the call
// returned. Zero arguments are safe for every export: numbers of zero and null strings.
#if defined(_WIN32) && defined(__i386__)

#include <gtest/gtest.h>

#include <string>

#include "export_table.h"
#include "loaded_library.h"

namespace kelpa::test {
namespace {

// x87 status word: TOP, the register-stack pointer, in bits 11 to 13. With the register stack
// empty it is 0; a pushed double result makes it 7.
constexpr unsigned kX87TopMask = 0x3800;

// MXCSR bits 0 to 5 are sticky exception flags that any arithmetic may raise; the rest is control.
constexpr unsigned kMxcsrExceptionFlags = 0x3F;

unsigned X87StatusWord() {
    unsigned short status = 0;
    asm volatile("fnstsw %0" : "=m"(status));
    return status;
}

unsigned X87ControlWord() {
    unsigned short control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    return control;
}

unsigned SseControlStatus() {
    unsigned mxcsr = 0;
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return mxcsr;
}

struct CallRecord {
    int esp_change;       // ESP after the call minus ESP before the arguments: 0 when all were removed
    int x87_values_left;  // values left on the x87 register stack: 1 for a double result, else 0
};

// Pushes `argument_words` zero words, calls `function`, and puts ESP and the x87 register stack
// back as they were before the call, whatever the callee did. ESI keeps the caller's ESP across the
// call (the callee preserves it); nothing is addressed through ESP while it is moved.
CallRecord CallWithZeroedArguments(void* function, int argument_words) {
    int esp_change = argument_words;
    int x87_values_left = 0;
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "1:\n\t"
        "pushl $0\n\t"
        "decl %%ecx\n\t"
        "jnz 1b\n\t"
        "call *%%ebx\n\t"
        "movl %%esp, %%ecx\n\t"
        "subl %%esi, %%ecx\n\t"
        "movl %%esi, %%esp\n\t"
        // Pop whatever the callee left on the x87 register stack (a double result), counting.
        "xorl %%edi, %%edi\n\t"
        "2:\n\t"
        "fnstsw %%ax\n\t"
        "testl %[top_mask], %%eax\n\t"
        "jz 3f\n\t"
        "fstp %%st(0)\n\t"
        "incl %%edi\n\t"
        "cmpl $8, %%edi\n\t"
        "jb 2b\n\t"
        "3:\n\t"
        : "+c"(esp_change), "=D"(x87_values_left)
        : "b"(function), [top_mask] "i"(kX87TopMask)
        : "eax", "edx", "esi", "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6",
          "xmm7");
    return {esp_change, x87_values_left};
}

// The harness itself tells the conventions apart: a cdecl function leaves its arguments for the
// caller to remove, and a double result stays on the x87 register stack.
[[gnu::noinline]] int __cdecl CallerRemovesTwoWords(int, int) { return 0; }
[[gnu::noinline]] int __stdcall CalleeRemovesTwoWords(int, int) { return 0; }
[[gnu::noinline]] double __stdcall CalleeReturnsDouble(int) { return 1.5; }

TEST(StdcallStackHarness, SeesWhoRemovesTheArgumentsAndWhereTheResultIs) {
    const CallRecord cdecl_call = CallWithZeroedArguments(reinterpret_cast<void*>(&CallerRemovesTwoWords), 2);
    EXPECT_EQ(cdecl_call.esp_change, -8);
    EXPECT_EQ(cdecl_call.x87_values_left, 0);
    const CallRecord stdcall_call =
        CallWithZeroedArguments(reinterpret_cast<void*>(&CalleeRemovesTwoWords), 2);
    EXPECT_EQ(stdcall_call.esp_change, 0);
    EXPECT_EQ(stdcall_call.x87_values_left, 0);
    const CallRecord double_call = CallWithZeroedArguments(reinterpret_cast<void*>(&CalleeReturnsDouble), 1);
    EXPECT_EQ(double_call.esp_change, 0);
    EXPECT_EQ(double_call.x87_values_left, 1);
    EXPECT_EQ(X87StatusWord() & kX87TopMask, 0u);
}

class StdcallStack : public ::testing::TestWithParam<ExpectedExport> {};

TEST_P(StdcallStack, ExportRemovesExactlyItsArgumentsAndReturnsInTheRightRegister) {
    const ExpectedExport& row = GetParam();
    LoadedLibrary library{std::string(row.deliverable)};
    ASSERT_TRUE(library.IsLoaded());
    void* function = library.ByName(std::string(row.name).c_str());
    ASSERT_NE(function, nullptr);
    const int argument_bytes = StdcallArgumentBytes(row.parameters);
    ASSERT_GT(argument_bytes, 0);
    ASSERT_EQ(argument_bytes % 4, 0);
    ASSERT_EQ(X87StatusWord() & kX87TopMask, 0u) << "the x87 register stack is not empty before the call";

    const unsigned x87_control = X87ControlWord();
    const unsigned sse_control = SseControlStatus();
    const CallRecord record = CallWithZeroedArguments(function, argument_bytes / 4);

    EXPECT_EQ(argument_bytes + record.esp_change, argument_bytes) << "bytes removed by " << row.name;
    EXPECT_EQ(record.x87_values_left, row.returns_double ? 1 : 0) << row.name;
    // The caller's floating-point settings are its own: rounding, precision and exception masks
    // stay as they were.
    EXPECT_EQ(X87ControlWord(), x87_control);
    EXPECT_EQ(SseControlStatus() & ~kMxcsrExceptionFlags, sse_control & ~kMxcsrExceptionFlags);
}

INSTANTIATE_TEST_SUITE_P(EveryExport, StdcallStack, ::testing::ValuesIn(kExpectedExports),
                         [](const auto& info) {
                             return std::string(info.param.deliverable) + "_" + std::string(info.param.name);
                         });

}  // namespace
}  // namespace kelpa::test

#endif
