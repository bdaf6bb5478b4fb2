// Replaces the global operator new of the test program so that a test can see whether code under
// test allocates.
#include "allocation_counter.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local bool t_counting = false;
thread_local std::size_t t_allocations = 0;
} // namespace

void* operator new(std::size_t size)
{
    if (t_counting)
    {
        ++t_allocations;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size))
    {
        return memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

AllocationCounter::AllocationCounter()
{
    t_allocations = 0;
    t_counting = true;
}

AllocationCounter::~AllocationCounter()
{
    t_counting = false;
}

std::size_t AllocationCounter::Count() const
{
    return t_allocations;
}

NotCounted::NotCounted() : m_wasCounting(t_counting)
{
    t_counting = false;
}

NotCounted::~NotCounted()
{
    t_counting = m_wasCounting;
}
