// parallel.cpp: how many threads a job of the model library gets.
#include "glm/parallel.h"

#include <atomic>

#include "glm/glm_internal.h"

#ifdef GLM_HAVE_THREADS
#include <thread>
#endif
#ifdef __linux__
#include <sched.h>
#endif

static std::atomic<unsigned> threadLimit(0);
static std::atomic<bool> everyJob(false);

void glmSetThreadLimit(unsigned threads, bool every_job) {
  threadLimit.store(threads);
  everyJob.store(every_job);
}

#ifdef GLM_HAVE_THREADS
// The cores this process may run on: a process pinned to one (taskset -c 0)
// gains nothing from more threads, only their switching.
static unsigned cores() {
#ifdef __linux__
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<unsigned>(CPU_COUNT(&set));
#endif
  return std::thread::hardware_concurrency();
}
#endif

unsigned glmThreadsFor(size_t work, size_t work_per_thread) {
#ifdef GLM_HAVE_THREADS
  const unsigned limit = threadLimit.load();
  if (limit && everyJob.load()) return limit;
  unsigned threads = cores();
  if (limit && (threads == 0 || limit < threads)) threads = limit;
  const size_t useful = work / (work_per_thread ? work_per_thread : 1);
  if (useful < threads) threads = static_cast<unsigned>(useful);
  return threads ? threads : 1;
#else
  (void)work;
  (void)work_per_thread;
  return 1;
#endif
}
