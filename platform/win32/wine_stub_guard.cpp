#include "platform/win32/wine_stub_guard.h"

#include <windows.h>

namespace {

// EXCEPTION_WINE_STUB, raised by the code Wine generates for each function
// that a DLL's spec file lists as a stub.
constexpr DWORD kWineStubException = 0x80000100;

} // namespace

// The filter of the guarded range below, called by __C_specific_handler while
// the exception is dispatched (with the stack still whole).
extern "C" __attribute__((used)) LONG kestrove_wine_stub_filter(EXCEPTION_POINTERS* exception,
                                                                void* /*establisherFrame*/) {
    return exception->ExceptionRecord->ExceptionCode == kWineStubException
               ? EXCEPTION_EXECUTE_HANDLER
               : EXCEPTION_CONTINUE_SEARCH;
}

// int kestrove_call_unless_wine_stub(void (*call)(void*), void* data):
// returns 0 when the call returned, 1 when the filter took its exception.
// GCC has no __try; this is the frame MSVC makes for one: the system's
// __C_specific_handler, with a scope table of one range whose filter is the
// function above and whose handler starts at .Lstub. The handler runs after
// RtlUnwindEx has unwound every frame below this one. The nop keeps the call's
// return address (the ControlPc the handler compares) inside the range.
asm(R"(
    .text
    .globl kestrove_call_unless_wine_stub
    .def kestrove_call_unless_wine_stub; .scl 2; .type 32; .endef
    .seh_proc kestrove_call_unless_wine_stub
kestrove_call_unless_wine_stub:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Lguarded_begin, .Lguarded_end, kestrove_wine_stub_filter, .Lstub
    .text
    movq %rcx, %rax
    movq %rdx, %rcx
.Lguarded_begin:
    callq *%rax
    nop
.Lguarded_end:
    xorl %eax, %eax
    addq $40, %rsp
    ret
.Lstub:
    movl $1, %eax
    addq $40, %rsp
    ret
    .seh_endproc
)");

extern "C" int kestrove_call_unless_wine_stub(void (*call)(void*), void* data);

namespace kestrove::win32 {

bool CallUnlessWineStub(void (*call)(void*), void* data) {
    return kestrove_call_unless_wine_stub(call, data) == 0;
}

} // namespace kestrove::win32
