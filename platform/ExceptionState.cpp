// The C++ runtime's per-thread exception state, in the library's own static
// thread-local storage.
//
// The runtime keeps, per thread, the exceptions being handled. Its own copy
// lives in a thread-local variable of the C++ runtime library, which a host
// that does not use C++ (a C program, an interpreter) loads only with this
// library: such a variable gets its memory on its first use in each thread,
// and if that memory cannot be had the C library ends the whole process.
// The first exception a thread throws here is most often std::bad_alloc, at
// the very moment memory has run out. So this library links the C++ runtime
// in and gives the runtime this state instead, in initial-exec storage: the
// system sets it up for every thread when the library is loaded and for
// every thread started later, and a throw needs no memory for it.
//
// Only the shared library on Linux is built this way (see CMakeLists.txt).
#include <cxxabi.h>

namespace {

// The layout the runtime expects (libsupc++'s __cxa_eh_globals).
struct EhGlobals {
    void* caughtExceptions;
    unsigned int uncaughtExceptions;
};

__attribute__((tls_model("initial-exec"))) thread_local EhGlobals t_ehGlobals{nullptr, 0};

}  // namespace

namespace __cxxabiv1 {

extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept {
    return reinterpret_cast<__cxa_eh_globals*>(&t_ehGlobals);
}

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept {
    return reinterpret_cast<__cxa_eh_globals*>(&t_ehGlobals);
}

}  // namespace __cxxabiv1
