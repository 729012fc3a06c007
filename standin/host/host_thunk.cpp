// The one way the stand-in host calls into gauge code: a thunk that sets the stack's alignment,
// hands the callee marked callee-saved registers, records what came back, and ends the call in
// its own exception handler when the callee does not return (standin_host.h).
#include "standin_host.h"

#include <stddef.h>
#include <stdio.h>

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
    uint32_t fpu_control;            // 68: the x87 control word before the call
    // Written by the handler alone: the exception that ended the call.
    uint32_t fault_code, fault_address, fault_detail;
};
// The thunk's entry in the thread's exception-handler chain, on its own stack for the length of
// the call: the system's registration (previous, handler) with the call's frame after it, so the
// handler finds the call it ends from the registration it is handed, not from a global.
struct THUNK_GUARD {
    void *previous;                  // 0
    const void *handler;             // 4
    THUNK_FRAME *frame;              // 8
};
#pragma pack(pop)
static_assert(offsetof(THUNK_FRAME, handed) == 20 && offsetof(THUNK_FRAME, returned) == 40 &&
                  offsetof(THUNK_FRAME, result) == 60 && offsetof(THUNK_FRAME, fpu_control) == 68,
              "the thunk's offsets");
static_assert(sizeof(THUNK_GUARD) == 12, "the guard the thunk pushes");

extern "C" EXCEPTION_DISPOSITION __cdecl panel_host_thunk_fault(EXCEPTION_RECORD *exception, void *registration,
                                                                CONTEXT *context, void *dispatcher);
extern "C" char panel_host_thunk_resume[];

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
    "  pushl %eax\n"                  // the guard at -24(%ebp): frame, handler, previous
    "  pushl $_panel_host_thunk_fault\n"
    "  pushl %fs:0\n"
    "  movl %esp, %fs:0\n"
    "  fnstcw 68(%eax)\n"
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
    "  movl -24(%ebp), %ecx\n"       // the guard leaves the chain, with any the callee left
    "  movl %ecx, %fs:0\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n"
    // Where the handler resumes a call that did not return: the callee's stack, direction flag
    // and x87 registers are left behind, the control word put back as it was.
    ".globl _panel_host_thunk_resume\n"
    "_panel_host_thunk_resume:\n"
    "  cld\n"
    "  movl panel_host_thunk_frame, %ecx\n"
    "  fninit\n"
    "  fldcw 68(%ecx)\n"
    "  jmp 3b\n");

// Any exception the callee leaves unhandled ends its call: noted in the frame, and the thread
// resumes in the thunk, which returns as from a call that returned. An unwind passing through
// (someone else's) is not ours to stop.
extern "C" EXCEPTION_DISPOSITION __cdecl panel_host_thunk_fault(EXCEPTION_RECORD *exception, void *registration,
                                                                CONTEXT *context, void *)
{
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    THUNK_FRAME *frame = ((THUNK_GUARD *)registration)->frame;
    frame->fault_code = exception->ExceptionCode;
    frame->fault_address = (uint32_t)(uintptr_t)exception->ExceptionAddress;
    frame->fault_detail = exception->NumberParameters ? (uint32_t)exception->ExceptionInformation[0] : 0;
    context->Eip = (DWORD)(uintptr_t)panel_host_thunk_resume;
    context->Esp = (DWORD)(uintptr_t)registration;  // inside the thunk's own frame
    return ExceptionContinueExecution;
}

// For callers that do not look at the record: a call that did not return ends the process, as
// the exception would have.
[[noreturn]] static void end_process_after(const CallRecord &record)
{
    if (record.fault_code == UNPROVIDED_SERVICE_EXCEPTION)
        fprintf(stderr,
                "error: the gauge called the host service at byte %u of PANELS, which this host does not provide "
                "(only the variable fetch at byte %u is)\n",
                record.fault_detail, PANELS_FETCH_VAR_AT);
    else
        fprintf(stderr, "error: the gauge crashed: exception 0x%08X at address 0x%08X\n", record.fault_code,
                record.fault_address);
    fflush(stderr);
    ExitProcess(record.fault_code == UNPROVIDED_SERVICE_EXCEPTION ? 3 : 4);
}

double call_routine(const void *routine, const uint32_t *args, uint32_t count, uint32_t stack_mod16,
                    bool fpu_result, CallRecord *record)
{
    // Fresh marks on every call, so a callee cannot pass by restoring an older call's values.
    static uint32_t serial;
    ++serial;
    THUNK_FRAME frame = {routine, args, count, stack_mod16 & 12u, fpu_result,
                         {0xB0000000u | serial, 0x51000000u | serial, 0xD1000000u | serial, 0xE8000000u | serial, 0},
                         {0, 0, 0, 0, 0}, 0.0, 0, 0, 0, 0};
    panel_host_thunk(&frame);
    CallRecord result;
    memcpy(result.handed, frame.handed, sizeof result.handed);
    memcpy(result.returned, frame.returned, sizeof result.returned);
    result.fault_code = frame.fault_code;
    result.fault_address = frame.fault_address;
    result.fault_detail = frame.fault_detail;
    if (result.faulted() && !record)
        end_process_after(result);
    if (!result.faulted() && !result.kept()) {
        HostState &state = current_host_state();
        ++state.broken_calls;
        state.last_broken = result;
    }
    if (record)
        *record = result;
    return frame.result;
}

uint32_t broken_calls()
{
    return current_host_state().broken_calls;
}

CallRecord last_broken_call()
{
    return current_host_state().last_broken;
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
