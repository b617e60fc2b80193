// The entry points of the C++ runtime that ostrel's extension modules reach, for builds that
// link the C++ runtime into each module (OSTREL_STATIC_CXX_RUNTIME, see CMakeLists.txt).
//
// The modules are compiled without exceptions: a C++ exception leaving the library could only
// end the process. Defining here the few functions that would throw one (allocation failure,
// the library's precondition and system errors) and the condition variable's out-of-line
// members keeps libstdc++'s exception machinery and the unwinder out of the link. That matters
// because a recent toolchain builds them against a recent glibc (__libc_single_threaded 2.32,
// pthread_once 2.34, _dl_find_object 2.35), which would stop the module loading on older
// systems; everything below needs only malloc, free, abort and the 2.3.2 pthread_cond calls.
// Each failure prints what went wrong and aborts, as an uncaught exception would have.
//
// Every definition is weak: should the library's own object for one of them be linked all
// the same (a toolchain whose headers call a hook not defined here), its definition wins and
// the build still links; the release check then reports the glibc versions it brought.
#include <cstddef>  // defines __GLIBCXX__ when the library is libstdc++

#if defined(__GLIBCXX__)

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <new>

#include <pthread.h>

namespace {

[[noreturn]] void fatal(const char* what) noexcept {
  std::fprintf(stderr, "ostrel: fatal C++ runtime error: %s\n", what);
  std::abort();
}

void* allocate(std::size_t size) noexcept {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) fatal("out of memory");
  return block;
}

}  // namespace

#define OSTREL_RUNTIME_ENTRY __attribute__((weak))

// Replaceable allocation functions: malloc and free, aborting when memory runs out.
OSTREL_RUNTIME_ENTRY void* operator new(std::size_t size) { return allocate(size); }
OSTREL_RUNTIME_ENTRY void* operator new[](std::size_t size) { return allocate(size); }
OSTREL_RUNTIME_ENTRY void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
OSTREL_RUNTIME_ENTRY void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size != 0 ? size : 1);
}
OSTREL_RUNTIME_ENTRY void operator delete(void* block) noexcept { std::free(block); }
OSTREL_RUNTIME_ENTRY void operator delete[](void* block) noexcept { std::free(block); }
OSTREL_RUNTIME_ENTRY void operator delete(void* block, std::size_t) noexcept { std::free(block); }
OSTREL_RUNTIME_ENTRY void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
OSTREL_RUNTIME_ENTRY void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
OSTREL_RUNTIME_ENTRY void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}

// The library's inline code reports errors through these hooks. All the hooks of one library
// object are defined, so that object is never pulled in beside them.
namespace std {
OSTREL_RUNTIME_ENTRY void __throw_bad_exception() { fatal("bad exception"); }
OSTREL_RUNTIME_ENTRY void __throw_bad_alloc() { fatal("out of memory"); }
OSTREL_RUNTIME_ENTRY void __throw_bad_array_new_length() { fatal("bad array new length"); }
OSTREL_RUNTIME_ENTRY void __throw_bad_cast() { fatal("bad cast"); }
OSTREL_RUNTIME_ENTRY void __throw_bad_typeid() { fatal("bad typeid"); }
OSTREL_RUNTIME_ENTRY void __throw_logic_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_domain_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_invalid_argument(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_length_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_out_of_range(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_out_of_range_fmt(const char* what, ...) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_runtime_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_range_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_overflow_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_underflow_error(const char* what) { fatal(what); }
OSTREL_RUNTIME_ENTRY void __throw_system_error(int) {
  fatal("system error in a lock or condition variable");
}

// The condition variable over the POSIX one, as the library defines it, without its throws.
OSTREL_RUNTIME_ENTRY condition_variable::condition_variable() noexcept = default;
OSTREL_RUNTIME_ENTRY condition_variable::~condition_variable() noexcept = default;
OSTREL_RUNTIME_ENTRY void condition_variable::notify_one() noexcept {
  pthread_cond_signal(native_handle());
}
OSTREL_RUNTIME_ENTRY void condition_variable::notify_all() noexcept {
  pthread_cond_broadcast(native_handle());
}
OSTREL_RUNTIME_ENTRY void condition_variable::wait(unique_lock<mutex>& lock) {
  if (pthread_cond_wait(native_handle(), lock.mutex()->native_handle()) != 0) {
    fatal("condition variable wait failed");
  }
}
}  // namespace std

#endif  // __GLIBCXX__
