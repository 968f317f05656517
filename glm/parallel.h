// parallel.h: how the model library spreads one big job over the cores.
// A job is cut into tasks that need no lock between them; each thread takes
// the next task from a shared counter until none is left. Internal to the
// model library.
#ifndef PLINKAR_GLM_PARALLEL_H
#define PLINKAR_GLM_PARALLEL_H

#include <cstddef>

// POSIX threads everywhere: on Windows those of mingw-w64's winpthreads.
// Without them (GLM_NO_THREADS) every job runs on the calling thread.
#ifndef GLM_NO_THREADS
#include <pthread.h>

#include <atomic>
#define GLM_HAVE_THREADS 1
#endif

// Threads for a job of the given size: one per work_per_thread units of
// work, at most one per core and at most glmThreadLimit(); 1 when the job is
// too small to pay for starting threads.
unsigned glmThreadsFor(size_t work, size_t work_per_thread);

// Where part i of count items cut into parts nearly equal parts starts.
inline size_t glmPartStart(size_t count, size_t parts, size_t i) {
  return static_cast<size_t>(static_cast<unsigned __int128>(count) * i / parts);
}

#ifdef GLM_HAVE_THREADS
namespace glm_parallel {

struct Worker {
  void (*run)(void*);
  void* job;
};

inline void* start_worker(void* worker) {
  Worker* w = static_cast<Worker*>(worker);
  w->run(w->job);
  return nullptr;
}

}  // namespace glm_parallel
#endif

// Runs task(0, thread) ... task(count - 1, thread), spread over up to
// threads threads (the calling thread included); thread (0 .. threads - 1)
// names the one running the task, for scratch of its own. Tasks may run in
// any order and at the same time. A thread that cannot be started leaves
// its share to the others.
template <typename Task>
void glmRunThreadTasks(unsigned threads, size_t count, const Task& task) {
#ifdef GLM_HAVE_THREADS
  if (threads > count) threads = static_cast<unsigned>(count);
  if (threads > 1) {
    struct Job {
      const Task* task;
      size_t count;
      std::atomic<size_t> next{0};
      std::atomic<unsigned> threads{0};
      static void run(void* self) {
        Job* job = static_cast<Job*>(self);
        const unsigned thread = job->threads.fetch_add(1, std::memory_order_relaxed);
        for (size_t i; (i = job->next.fetch_add(1, std::memory_order_relaxed)) < job->count;)
          (*job->task)(i, thread);
      }
    } job;
    job.task = &task;
    job.count = count;
    const unsigned kMaxHelpers = 255;
    pthread_t helpers[kMaxHelpers];
    glm_parallel::Worker worker{&Job::run, &job};
    unsigned started = 0;
    while (started + 1 < threads && started < kMaxHelpers &&
           pthread_create(&helpers[started], nullptr, glm_parallel::start_worker, &worker) == 0)
      started++;
    Job::run(&job);
    for (unsigned t = 0; t < started; t++) pthread_join(helpers[t], nullptr);
    return;
  }
#else
  (void)threads;
#endif
  for (size_t i = 0; i < count; i++) task(i, 0u);
}

// The same for tasks that need no scratch: task(0) ... task(count - 1).
template <typename Task>
void glmRunTasks(unsigned threads, size_t count, const Task& task) {
  glmRunThreadTasks(threads, count, [&task](size_t i, unsigned) { task(i); });
}

#endif  // PLINKAR_GLM_PARALLEL_H
