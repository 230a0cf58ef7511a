// Included by a harness (once, in its only source) whose inputs allocate a
// great deal: allocation and free stacks in a report are kept short, since
// taking thirty frames at every allocation cost more than the code under
// test. Every check still runs; a finding is replayed with
// ASAN_OPTIONS=malloc_context_size=30 for the whole stacks.
#pragma once

extern "C" const char* __asan_default_options() { return "malloc_context_size=4"; }
