#include "crashreport/RaiseCapture.h"

#include "crashreport/ExceptionReporter.h"
#include "os/Text.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iterator>

#ifdef __GNUC__
#include <cxxabi.h>
#include <unwind.h>
#endif

#ifdef _MSC_VER
#define CRASHREPORT_NOINLINE __declspec(noinline)
#else
#define CRASHREPORT_NOINLINE __attribute__((noinline))
#endif

namespace crashreport {
namespace {

// Exception codes of the C++ runtimes and of the unwinding machinery.
constexpr DWORD kGccThrow = 0x20474343;        // STATUS_GCC_THROW: every throw of a mingw program
constexpr DWORD kGccUnwind = 0x21474343;       // STATUS_GCC_UNWIND
constexpr DWORD kGccForcedUnwind = 0x22474343; // STATUS_GCC_FORCED
constexpr DWORD kMsvcThrow = 0xE06D7363;       // every throw of an MSVC program
constexpr DWORD kStatusUnwind = 0xC0000027;    // STATUS_UNWIND
constexpr DWORD kUnwindingFlags = 0x02 | 0x04 | 0x20;  // EXCEPTION_UNWINDING, _EXIT_UNWIND, _TARGET_UNWIND

// Where a raise happened, as far as the program is concerned.
struct RaiseSite {
    CONTEXT context;
    std::uintptr_t address;
    bool returnAddress;  // the address after the call that raised it
    bool rethrow;        // raised again by a rethrow of the runtime
};

struct ThreadState {
    RaiseRecord record;
    bool valid;
    bool paused;
    bool busy;
};

DWORD g_flsSlot = FLS_OUT_OF_INDEXES;
std::uintptr_t g_programStart = 0;
std::uintptr_t g_programEnd = 0;

void CALLBACK FreeThreadState(void* state) {
    if (state) VirtualFree(state, 0, MEM_RELEASE);
}

// Allocated outside the heap: the handler also runs for faults that may have
// left the heap locked.
ThreadState* CurrentState(bool create) {
    if (g_flsSlot == FLS_OUT_OF_INDEXES) return nullptr;
    auto* state = static_cast<ThreadState*>(FlsGetValue(g_flsSlot));
    if (state || !create) return state;
    state = static_cast<ThreadState*>(VirtualAlloc(nullptr, sizeof(ThreadState), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (state && !FlsSetValue(g_flsSlot, state)) {
        VirtualFree(state, 0, MEM_RELEASE);
        state = nullptr;
    }
    return state;
}

// Throws of the C++ runtimes and failures (severity "error"); informational
// raises (debug output, thread names, breakpoints) and unwinding are not
// exceptions of the program.
bool IsProgramRaise(const EXCEPTION_RECORD& exception) {
    if (exception.ExceptionFlags & kUnwindingFlags) return false;
    const DWORD code = exception.ExceptionCode;
    if (code == kStatusUnwind || code == kGccUnwind || code == kGccForcedUnwind) return false;
    return code == kGccThrow || code == kMsvcThrow || (code & 0xC0000000) == 0xC0000000;
}

std::uintptr_t StackPointer(const CONTEXT& context) {
#ifdef _WIN64
    return static_cast<std::uintptr_t>(context.Rsp);
#else
    return context.Esp;
#endif
}

bool InProgram(std::uintptr_t address) {
    return address >= g_programStart && address < g_programEnd;
}

#if defined(_M_X64) || defined(__x86_64__)

// The runtime routines between a throw statement and the system's raise. They
// are linked into the program, so the raise site is the first program frame
// that is none of them.
enum class Machinery { None, Throw, Rethrow };

Machinery RaiseMachinery(std::uintptr_t functionStart) {
    const std::uintptr_t throwing[] = {
#ifdef __GNUC__
        reinterpret_cast<std::uintptr_t>(&_Unwind_RaiseException),
        reinterpret_cast<std::uintptr_t>(&__cxxabiv1::__cxa_throw),
#endif
        reinterpret_cast<std::uintptr_t>(&RecordRaiseHere),
        reinterpret_cast<std::uintptr_t>(&ReportException),
    };
    const std::uintptr_t rethrowing[] = {
#ifdef __GNUC__
        reinterpret_cast<std::uintptr_t>(&_Unwind_Resume_or_Rethrow),
        reinterpret_cast<std::uintptr_t>(&__cxxabiv1::__cxa_rethrow),
#endif
        reinterpret_cast<std::uintptr_t>(static_cast<void (*)(std::exception_ptr)>(&std::rethrow_exception)),
    };
    for (std::uintptr_t start : throwing)
        if (start == functionStart) return Machinery::Throw;
    for (std::uintptr_t start : rethrowing)
        if (start == functionStart) return Machinery::Rethrow;
    return Machinery::None;
}

std::uintptr_t FunctionStart(std::uintptr_t address) {
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(address, &imageBase, nullptr);
    return function ? static_cast<std::uintptr_t>(imageBase + function->BeginAddress) : 0;
}

// One frame outward; false when the stack cannot be followed further.
bool StepOut(CONTEXT& context, std::uintptr_t stackLow, std::uintptr_t stackHigh) {
    if (context.Rsp < stackLow || context.Rsp + sizeof(DWORD64) > stackHigh) return false;
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    if (function) {
        PVOID handlerData = nullptr;
        DWORD64 establisherFrame = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                         &establisherFrame, nullptr);
    } else {  // a leaf function: the return address is at the stack pointer
        context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
        context.Rsp += sizeof(DWORD64);
    }
    return context.Rip != 0 && context.Rsp >= stackLow && context.Rsp < stackHigh;
}

// Moves the context out to the first frame of the program that is not the
// raising machinery. Stays put when the raise happened in the program itself
// (a fault) or when no program frame is found.
void FindRaiseSite(RaiseSite& site, std::uintptr_t stackLow, std::uintptr_t stackHigh) {
    constexpr int kDeepestSearch = 64;
    CONTEXT context = site.context;
    bool rethrow = false;
    for (int depth = 0; depth <= kDeepestSearch; ++depth) {
        const std::uintptr_t ip = static_cast<std::uintptr_t>(context.Rip);
        const Machinery machinery = RaiseMachinery(FunctionStart(depth == 0 ? ip : ip - 1));
        rethrow = rethrow || machinery == Machinery::Rethrow;
        if (InProgram(ip) && machinery == Machinery::None) {
            site.context = context;
            site.address = ip;
            site.returnAddress = depth > 0;
            site.rethrow = rethrow;
            return;
        }
        if (!StepOut(context, stackLow, stackHigh)) break;
    }
}

// Follows the frames outward from the raise site and marks the slots of the
// copied stack that hold their return addresses. Stops at the first function
// that has no unwind data: its frame size is unknown.
void MarkReturnSlots(RaiseRecord& record, std::uintptr_t stackLow, std::uintptr_t stackHigh) {
    constexpr int kDeepestWalk = 16384;
    CONTEXT context = record.context;
    const std::uintptr_t copyEnd = record.stackAddress + record.stackBytes;
    for (int depth = 0; depth < kDeepestWalk; ++depth) {
        DWORD64 imageBase = 0;
        if (!RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr)) return;
        if (!StepOut(context, stackLow, stackHigh)) {
            if (context.Rip == 0) record.framesKnownBytes = record.stackBytes;  // the outermost frame
            return;
        }
        const std::uintptr_t slot = static_cast<std::uintptr_t>(context.Rsp) - sizeof(DWORD64);
        if (slot < record.stackAddress || slot + sizeof(DWORD64) > copyEnd) return;
        const std::size_t index = (slot - record.stackAddress) / sizeof(DWORD64);
        record.returnSlots[index / 8] |= static_cast<std::uint8_t>(1u << (index % 8));
        record.framesKnownBytes = slot + sizeof(DWORD64) - record.stackAddress;
    }
}

#else

void FindRaiseSite(RaiseSite&, std::uintptr_t, std::uintptr_t) {}
void MarkReturnSlots(RaiseRecord&, std::uintptr_t, std::uintptr_t) {}

#endif

const NT_TIB* ThreadInformation() {
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"  // GCC 12 takes the segment read for an array access
#endif
    return reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
}

void Record(RaiseRecord& record, const RaiseSite& site, const EXCEPTION_RECORD& exception, StackBounds stack) {
    record.exception = exception;
    record.exception.ExceptionRecord = nullptr;
    record.context = site.context;
    record.raiseAddress = site.address;
    record.raiseIsReturnAddress = site.returnAddress;

    const std::uintptr_t top = StackPointer(record.context);
    record.stackAddress = top;
    record.stackBytes = 0;
    if (top >= stack.low && top < stack.high) {
        record.stackBytes = std::min<std::size_t>(stack.high - top, kStackSnapshotBytes);
        std::memcpy(record.stack, reinterpret_cast<const void*>(top), record.stackBytes);
    }
    record.framesKnownBytes = 0;
    std::memset(record.returnSlots, 0, sizeof record.returnSlots);
    MarkReturnSlots(record, stack.low, stack.high);
}

void Capture(ThreadState& state, const EXCEPTION_RECORD& exception, const CONTEXT& context) {
    const StackBounds stack = CurrentStackBounds();
    RaiseSite site{context, reinterpret_cast<std::uintptr_t>(exception.ExceptionAddress), false, false};
    FindRaiseSite(site, stack.low, stack.high);
    // "throw;" and std::rethrow_exception raise an exception that was thrown
    // before: the report wants its first throw site, recorded then.
    if (site.rethrow && state.valid) return;
    Record(state.record, site, exception, stack);
    state.valid = true;
}

// Faults that leave the thread's state undefined. Inside the program's own
// code nothing handles them, so the first sight of one is reported; elsewhere
// a system DLL may handle a fault of its own, and only an unhandled one is.
bool IsFatalFault(const EXCEPTION_RECORD& exception) {
    if (exception.ExceptionFlags & kUnwindingFlags) return false;
    if (exception.ExceptionCode == EXCEPTION_STACK_OVERFLOW) return true;  // too little stack is left anywhere
    return IsHardwareFault(exception.ExceptionCode) && InProgram(reinterpret_cast<std::uintptr_t>(exception.ExceptionAddress));
}

FaultHandler g_faultHandler = nullptr;

LONG CALLBACK OnRaise(EXCEPTION_POINTERS* pointers) {
    // First, with as little stack as possible: a stack overflow has almost none left.
    if (g_faultHandler && IsFatalFault(*pointers->ExceptionRecord)) g_faultHandler(pointers);
    if (!IsProgramRaise(*pointers->ExceptionRecord)) return EXCEPTION_CONTINUE_SEARCH;
    const DWORD lastError = GetLastError();
    ThreadState* state = CurrentState(true);
    if (state && !state->paused && !state->busy) {
        state->busy = true;
        Capture(*state, *pointers->ExceptionRecord, *pointers->ContextRecord);
        state->busy = false;
    }
    SetLastError(lastError);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool IsHardwareFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
        return true;
    default:
        return false;
    }
}

StackBounds CurrentStackBounds() {
    const NT_TIB* tib = ThreadInformation();
    return {reinterpret_cast<std::uintptr_t>(tib->StackLimit), reinterpret_cast<std::uintptr_t>(tib->StackBase)};
}

void RecordFault(RaiseRecord& record, const EXCEPTION_RECORD& exception, const CONTEXT& context, StackBounds stack) {
    // A fault happened where the context points, in whichever module.
    const RaiseSite site{context, reinterpret_cast<std::uintptr_t>(exception.ExceptionAddress), false, false};
    Record(record, site, exception, stack);
}

void InstallRaiseCapture(FaultHandler onFault) {
    g_faultHandler = onFault;
    if (g_flsSlot != FLS_OUT_OF_INDEXES) return;
    const auto program = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(program);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(program + dos->e_lfanew);
    g_programStart = reinterpret_cast<std::uintptr_t>(program);
    g_programEnd = g_programStart + nt->OptionalHeader.SizeOfImage;
    g_flsSlot = FlsAlloc(&FreeThreadState);
    if (g_flsSlot != FLS_OUT_OF_INDEXES) AddVectoredExceptionHandler(1, &OnRaise);
}

const RaiseRecord* LastRaise() {
    const ThreadState* state = CurrentState(false);
    return state && state->valid ? &state->record : nullptr;
}

void ForgetLastRaise() {
    ThreadState* state = CurrentState(false);
    if (!state) return;
    os::SecureWipe(state->record.stack, state->record.stackBytes);
    state->record.stackBytes = 0;
    state->valid = false;
}

CRASHREPORT_NOINLINE void RecordRaiseHere() {
    ThreadState* state = CurrentState(true);
    if (!state) return;
    CONTEXT context;
    RtlCaptureContext(&context);
    EXCEPTION_RECORD exception{};
#ifdef _WIN64
    exception.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
#else
    exception.ExceptionAddress = reinterpret_cast<void*>(context.Eip);
#endif
    Capture(*state, exception, context);
}

PausedRaiseCapture::PausedRaiseCapture() {
    ThreadState* state = CurrentState(true);
    wasPaused_ = state && state->paused;
    if (state) state->paused = true;
}

PausedRaiseCapture::~PausedRaiseCapture() {
    if (ThreadState* state = CurrentState(false)) state->paused = wasPaused_;
}

}  // namespace crashreport
