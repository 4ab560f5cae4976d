/* Preloaded into the program by the terminal tests: no thread can be
   started, as when a process limit or memory runs out. */
#include <errno.h>
#include <pthread.h>
int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
  (void)thread; (void)attr; (void)start; (void)arg;
  return EAGAIN;
}
