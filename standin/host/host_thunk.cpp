// The one way the stand-in host calls into gauge code: a thunk that sets the stack's alignment,
// hands the callee marked callee-saved registers and records what came back (standin_host.h).
#include "standin_host.h"

#include <stddef.h>

namespace panel_host {

using namespace host_contract;

// What the thunk reads and writes; the offsets are the assembly's.
#pragma pack(push, 4)
struct THUNK_FRAME {
    const void *routine;             // 0
    const uint32_t *args;            // 4
    uint32_t count;                  // 8
    uint32_t stack_mod16;            // 12
    uint32_t fpu_result;             // 16
    uint32_t handed[SAVED_COUNT];    // 20: EBX ESI EDI EBP, then the thunk's expected ESP at 36
    uint32_t returned[SAVED_COUNT];  // 40
    double result;                   // 60
};
#pragma pack(pop)
static_assert(offsetof(THUNK_FRAME, handed) == 20 && offsetof(THUNK_FRAME, returned) == 40 &&
                  offsetof(THUNK_FRAME, result) == 60,
              "the thunk's offsets");

// The callee may leave EBP or ESP anywhere, so the thunk keeps its own frame and the frame's
// address in memory (one host thread, no nested calls through it), not in a register.
extern "C" void __cdecl panel_host_thunk(THUNK_FRAME *frame);
__asm__(
    ".data\n"
    "panel_host_thunk_ebp: .long 0\n"
    "panel_host_thunk_frame: .long 0\n"
    ".text\n"
    ".globl _panel_host_thunk\n"
    "_panel_host_thunk:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  movl 8(%ebp), %eax\n"
    "  movl %ebp, panel_host_thunk_ebp\n"
    "  movl %eax, panel_host_thunk_frame\n"
    "  andl $-16, %esp\n"
    "  movl 8(%eax), %ecx\n"          // pad = -(4 * count + stack_mod16) & 15
    "  leal (,%ecx,4), %edx\n"
    "  addl 12(%eax), %edx\n"
    "  negl %edx\n"
    "  andl $15, %edx\n"
    "  subl %edx, %esp\n"
    "  movl %esp, 36(%eax)\n"         // where a callee that removes its arguments leaves ESP
    "  movl 4(%eax), %edx\n"
    "1:\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "  pushl -4(%edx,%ecx,4)\n"
    "  decl %ecx\n"
    "  jmp 1b\n"
    "2:\n"
    "  movl 20(%eax), %ebx\n"
    "  movl 24(%eax), %esi\n"
    "  movl 28(%eax), %edi\n"
    "  movl 32(%eax), %ebp\n"
    "  call *(%eax)\n"
    "  movl panel_host_thunk_frame, %ecx\n"
    "  movl %ebx, 40(%ecx)\n"
    "  movl %esi, 44(%ecx)\n"
    "  movl %edi, 48(%ecx)\n"
    "  movl %ebp, 52(%ecx)\n"
    "  movl %esp, 56(%ecx)\n"
    "  cmpl $0, 16(%ecx)\n"
    "  je 3f\n"
    "  fstpl 60(%ecx)\n"
    "3:\n"
    "  movl panel_host_thunk_ebp, %ebp\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

static uint32_t broken_call_count;
static CallRecord last_broken;

double call_routine(const void *routine, const uint32_t *args, uint32_t count, uint32_t stack_mod16,
                    bool fpu_result, CallRecord *record)
{
    // Fresh marks on every call, so a callee cannot pass by restoring an older call's values.
    static uint32_t serial;
    ++serial;
    THUNK_FRAME frame = {routine, args, count, stack_mod16 & 12u, fpu_result,
                         {0xB0000000u | serial, 0x51000000u | serial, 0xD1000000u | serial, 0xE8000000u | serial, 0},
                         {0, 0, 0, 0, 0}, 0.0};
    panel_host_thunk(&frame);
    CallRecord result;
    memcpy(result.handed, frame.handed, sizeof result.handed);
    memcpy(result.returned, frame.returned, sizeof result.returned);
    if (!result.kept()) {
        ++broken_call_count;
        last_broken = result;
    }
    if (record)
        *record = result;
    return frame.result;
}

uint32_t broken_calls()
{
    return broken_call_count;
}

CallRecord last_broken_call()
{
    return last_broken;
}

void call_gauge_at(GAUGEHDR *gauge, int32_t service_id, uint32_t extra, uint32_t stack_mod16, CallRecord *record)
{
    const void *callback = pointer_at<const void>(gauge, GAUGEHDR_CALLBACK_AT);
    if (!callback)
        return;
    const uint32_t args[3] = {(uint32_t)(uintptr_t)gauge, (uint32_t)service_id, extra};
    call_routine(callback, args, 3, stack_mod16, false, record);
}

double call_string_at(ELEMENT_STRING *element, uint32_t stack_mod16, CallRecord *record)
{
    const void *update = pointer_at<const void>(element, STRING_UPDATE_AT);
    if (!update)
        return 0.0;
    const uint32_t args[1] = {(uint32_t)(uintptr_t)element};
    return call_routine(update, args, 1, stack_mod16, true, record);
}

}  // namespace panel_host
