#pragma once

// Every heap allocation made through operator new in a program linked with
// quilmar_allocation_count is counted; tests and benchmarks read the count around a call.
long HeapAllocations();
