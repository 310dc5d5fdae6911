#pragma once

// Runs a piece of a test on a small call stack of its own, on the calling
// thread (so the main run loop and every main-thread check still hold), with
// an unmapped page below it. Work that recurses once per level of a tree
// deeper than the stack's bytes / 16 (a call costs at least 16 bytes) then
// crashes in any build, whatever the process's own stack limit.
#include <cstddef>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define SMALL_STACK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SMALL_STACK_ASAN 1
#endif
#endif
#ifdef SMALL_STACK_ASAN
#include <sanitizer/common_interface_defs.h>
#endif

namespace shelltest {

namespace smallstack {

struct Run {
    const std::function<void()>* work = nullptr;
    ucontext_t caller {};
    ucontext_t own {};
    const void* callerBottom = nullptr;
    std::size_t callerSize = 0;
};

inline thread_local Run* current = nullptr;

inline void entry()
{
    Run* run = current;
#ifdef SMALL_STACK_ASAN
    __sanitizer_finish_switch_fiber(nullptr, &run->callerBottom, &run->callerSize);
#endif
    (*run->work)();
#ifdef SMALL_STACK_ASAN
    // This stack is never entered again.
    __sanitizer_start_switch_fiber(nullptr, run->callerBottom, run->callerSize);
#endif
    swapcontext(&run->own, &run->caller);
}

} // namespace smallstack

inline void runOnSmallStack(std::size_t bytes, const std::function<void()>& work)
{
    const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    bytes = (bytes + page - 1) / page * page;
    void* block = mmap(nullptr, bytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    ASSERT_EQ(mprotect(block, page, PROT_NONE), 0); // the stack grows down into it
    char* stack = static_cast<char*>(block) + page;

    smallstack::Run run;
    run.work = &work;
    ASSERT_EQ(getcontext(&run.own), 0);
    run.own.uc_stack.ss_sp = stack;
    run.own.uc_stack.ss_size = bytes;
    run.own.uc_link = nullptr;
    makecontext(&run.own, smallstack::entry, 0);
    smallstack::Run* outer = smallstack::current;
    smallstack::current = &run;
#ifdef SMALL_STACK_ASAN
    void* fakeStack = nullptr;
    __sanitizer_start_switch_fiber(&fakeStack, stack, bytes);
#endif
    swapcontext(&run.caller, &run.own);
#ifdef SMALL_STACK_ASAN
    __sanitizer_finish_switch_fiber(fakeStack, nullptr, nullptr);
#endif
    smallstack::current = outer;
    munmap(block, bytes + page);
}

} // namespace shelltest
