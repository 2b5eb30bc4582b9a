#pragma once

namespace quillon::shell {

// Binds every thread of the process to one processor: CPU 0, or the lowest
// processor the calling thread may run on when CPU 0 is not among them.
// Threads started later inherit the binding. Meant for start-up, before the
// workers exist. False when a thread could not be bound, or where the
// platform has no such binding.
bool bindToFirstProcessor();

// Hands heap memory that is free again back to the system, so that the
// idle program stays small after a large run. Any thread.
void trimMemory();

} // namespace quillon::shell
