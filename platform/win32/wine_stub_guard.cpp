#include "platform/win32/wine_stub_guard.h"

#include <windows.h>

// int kestrove_call_guarded(void (*call)(void*), void* data, void** resume):
// saves every register the Windows x64 convention preserves, stores its stack
// pointer in *resume and calls call(data); returns 0. Execution continued at
// kestrove_call_guarded_resume with that stack pointer restores the registers
// and returns 1 from the same call, whatever the frames below did to them.
//
// Why not a __try frame (__C_specific_handler with a scope table): Wine's
// generated stubs adjust the stack without unwind information, so the search
// for frame handlers gets lost in them and never reaches ours. A vectored
// handler sees the exception first, before any frame is searched.
asm(R"(
    .text
    .globl kestrove_call_guarded
    .globl kestrove_call_guarded_resume
    .def kestrove_call_guarded; .scl 2; .type 32; .endef
    .seh_proc kestrove_call_guarded
kestrove_call_guarded:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rdi
    .seh_pushreg %rdi
    pushq %rsi
    .seh_pushreg %rsi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    subq $200, %rsp
    .seh_stackalloc 200
    movaps %xmm6, 32(%rsp)
    .seh_savexmm %xmm6, 32
    movaps %xmm7, 48(%rsp)
    .seh_savexmm %xmm7, 48
    movaps %xmm8, 64(%rsp)
    .seh_savexmm %xmm8, 64
    movaps %xmm9, 80(%rsp)
    .seh_savexmm %xmm9, 80
    movaps %xmm10, 96(%rsp)
    .seh_savexmm %xmm10, 96
    movaps %xmm11, 112(%rsp)
    .seh_savexmm %xmm11, 112
    movaps %xmm12, 128(%rsp)
    .seh_savexmm %xmm12, 128
    movaps %xmm13, 144(%rsp)
    .seh_savexmm %xmm13, 144
    movaps %xmm14, 160(%rsp)
    .seh_savexmm %xmm14, 160
    movaps %xmm15, 176(%rsp)
    .seh_savexmm %xmm15, 176
    .seh_endprologue
    movq %rsp, (%r8)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    xorl %eax, %eax
    jmp .Lrestore
kestrove_call_guarded_resume:
    movl $1, %eax
.Lrestore:
    movaps 32(%rsp), %xmm6
    movaps 48(%rsp), %xmm7
    movaps 64(%rsp), %xmm8
    movaps 80(%rsp), %xmm9
    movaps 96(%rsp), %xmm10
    movaps 112(%rsp), %xmm11
    movaps 128(%rsp), %xmm12
    movaps 144(%rsp), %xmm13
    movaps 160(%rsp), %xmm14
    movaps 176(%rsp), %xmm15
    addq $200, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rsi
    popq %rdi
    popq %rbx
    popq %rbp
    ret
    .seh_endproc
)");

extern "C" int kestrove_call_guarded(void (*call)(void*), void* data, void** resume);
extern "C" void kestrove_call_guarded_resume();

namespace kestrove::win32 {

namespace {

// EXCEPTION_WINE_STUB, raised by the code Wine generates for each function
// that a DLL of Wine's declares but does not implement.
constexpr DWORD kWineStubException = 0x80000100;

// The stack pointer of this thread's innermost guarded call; null outside.
thread_local void* t_resume = nullptr;

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode != kWineStubException || t_resume == nullptr) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    // Continue where the guarded call returns 1. Wine's stub raises a
    // non-continuable exception, but a vectored handler's answer is taken as
    // it is (the dispatcher checks only frame handlers' answers).
    exception->ContextRecord->Rsp = reinterpret_cast<DWORD64>(t_resume);
    exception->ContextRecord->Rip =
        reinterpret_cast<DWORD64>(reinterpret_cast<void*>(&kestrove_call_guarded_resume));
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

bool CallUnlessWineStub(void (*call)(void*), void* data) {
    // The handler is there only while a guarded call runs.
    void* handler = AddVectoredExceptionHandler(1, OnException);
    if (handler == nullptr) {
        call(data);
        return true;
    }
    void* const outer = t_resume;
    const int stub = kestrove_call_guarded(call, data, &t_resume);
    t_resume = outer;
    RemoveVectoredExceptionHandler(handler);
    return stub == 0;
}

} // namespace kestrove::win32
