// A call into gauge code that does not return: a crash, or a service the host does not provide.
// The stand-in host's thunk ends the call in its own handler and returns to the caller with the
// exception in the record, leaving the thread's handler chain, the x87 unit and the direction
// flag as they were before the call, so the host can go on and the bench can end its run itself.
#include "test_support.h"

using namespace panel_host;

namespace {

// A callee that leaves everything wrong before it writes through a null pointer: three values
// on the x87 stack, a control word of its own, the direction flag set, the host's registers
// and the stack pointer changed.
extern "C" void __stdcall fault_probe_crashes(uint32_t);
extern "C" char fault_probe_crash_site[];
__asm__(".text\n"
        "_fault_probe_crashes@4:\n"
        "  fld1\n"
        "  fld1\n"
        "  fld1\n"
        "  pushl $0x0C7F\n"
        "  fldcw (%esp)\n"
        "  std\n"
        "  movl $0x5A5A5A5A, %ebx\n"
        "  movl $0x5A5A5A5A, %esi\n"
        "  subl $256, %esp\n"
        "  xorl %eax, %eax\n"
        ".globl _fault_probe_crash_site\n"
        "_fault_probe_crash_site:\n"
        "  movl %eax, (%eax)\n"
        "  ret $4\n");

// A callee that calls the host's service at a byte offset, as a module does through PANELS.
extern "C" void __stdcall fault_probe_calls_service(uint32_t byte_offset)
{
    typedef void(__cdecl * SERVICE)(void);
    ((SERVICE *)panels())[byte_offset / 4]();
}

extern "C" void __stdcall fault_probe_returns(uint32_t) {}

void *handler_chain()
{
    void *chain;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(chain));
    return chain;
}

struct X87State {
    uint16_t control, tags;
};

X87State x87_state()
{
    uint8_t environment[28];
    __asm__ volatile("fnstenv %0\n\tfldenv %0" : "=m"(environment));
    X87State state;
    memcpy(&state.control, environment, 2);
    memcpy(&state.tags, environment + 8, 2);
    return state;
}

void set_x87_control(uint16_t control)
{
    __asm__ volatile("fldcw %0" ::"m"(control));
}

bool direction_flag_set()
{
    uint32_t flags;
    __asm__ volatile("pushfl\n\tpopl %0" : "=r"(flags));
    return flags & 0x400;
}

TEST(HostFaultTest, ACrashEndsTheCallAndLeavesTheHostAsItWas)
{
    const uint32_t argument = 7;
    void *chain_before = handler_chain();
    // 53-bit precision, as msvcrt starts a program: not what resetting the x87 unit gives.
    const uint16_t start_control = x87_state().control;
    set_x87_control(0x027F);
    const X87State x87_before = x87_state();
    const uint32_t broken_before = broken_calls();
    for (bool fpu_result : {false, true}) {
        SCOPED_TRACE(fpu_result ? "a routine with an x87 result" : "a routine without one");
        CallRecord record;
        EXPECT_EQ(call_routine((const void *)&fault_probe_crashes, &argument, 1, 4, fpu_result, &record), 0.0);
        ASSERT_TRUE(record.faulted());
        EXPECT_EQ(record.fault_code, 0xC0000005u) << "an access violation";
        EXPECT_EQ(record.fault_address, (uint32_t)(uintptr_t)fault_probe_crash_site);
        EXPECT_EQ(handler_chain(), chain_before) << "the thunk's handler left the chain";
        const X87State x87_after = x87_state();
        EXPECT_EQ(x87_after.control, x87_before.control) << "the host's control word";
        EXPECT_EQ(x87_after.tags, 0xFFFF) << "the callee's x87 values dropped";
        EXPECT_FALSE(direction_flag_set());
    }
    set_x87_control(start_control);
    EXPECT_EQ(broken_calls(), broken_before) << "a call that did not return broke no register";
    // The thunk is ready for the next call.
    CallRecord next;
    call_routine((const void *)&fault_probe_returns, &argument, 1, 4, false, &next);
    EXPECT_FALSE(next.faulted());
    EXPECT_TRUE(next.kept()) << test_support::describe(next);
}

TEST(HostFaultTest, AnUnprovidedServiceEndsTheCallWithItsByteOffset)
{
    void *chain_before = handler_chain();
    for (uint32_t offset : {0u, 44u, 156u, 164u, (PANELS_SLOTS - 1) * 4}) {
        SCOPED_TRACE("the service at byte " + std::to_string(offset));
        const uint32_t calls_before = unprovided_calls();
        CallRecord record;
        call_routine((const void *)&fault_probe_calls_service, &offset, 1, 4, false, &record);
        ASSERT_TRUE(record.faulted());
        EXPECT_EQ(record.fault_code, UNPROVIDED_SERVICE_EXCEPTION);
        EXPECT_EQ(record.fault_detail, offset);
        EXPECT_EQ(unprovided_calls(), calls_before + 1);
        EXPECT_EQ(last_unprovided_service(), offset);
        EXPECT_EQ(handler_chain(), chain_before);
    }
}

}  // namespace
