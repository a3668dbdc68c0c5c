// Asynchronous cancellation, made deferred for the whole process.
//
// SANE backends run their readers on threads (sanei_thread) that switch themselves to
// asynchronous cancellation, and sane_cancel cancels them wherever they are. A reader
// caught inside the C library dies holding its lock: strerror, called on the write that
// fails once the pipe is closed, holds the locale lock, and every later setlocale,
// newlocale or freelocale of the process then waits forever (the program hung at exit,
// in a library finaliser, after a scan). Deferred, the cancel lands at the reader's next
// read or write, which is where a reader spends its life.
//
// This definition is compiled into the executables (the program and the programs that
// load the scanner module) and exported, so it comes before the C library's for every
// module loaded later.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <pthread.h>

int pthread_setcanceltype(int type, int* oldtype) {
  typedef int (*TSetCancelType)(int, int*);
  static TSetCancelType next_ = 0;
  TSetCancelType next = __atomic_load_n(&next_, __ATOMIC_ACQUIRE);
  if (!next) {
    next = (TSetCancelType)dlsym(RTLD_NEXT, "pthread_setcanceltype");
    __atomic_store_n(&next_, next, __ATOMIC_RELEASE);
  }
  if (!next) return 0;
  return next(type == PTHREAD_CANCEL_ASYNCHRONOUS ? PTHREAD_CANCEL_DEFERRED : type, oldtype);
}
