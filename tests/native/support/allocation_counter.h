#pragma once

#include <cstddef>

// Counts the calls of operator new made by this thread while it lives. Linking
// allocation_counter.cpp replaces the program's global operator new.
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    std::size_t Count() const;
};

// While it lives, this thread's allocations are not counted: test doubles that record what the
// code under test did allocate for themselves, not for it.
class NotCounted
{
public:
    NotCounted();
    ~NotCounted();
    NotCounted(const NotCounted&) = delete;
    NotCounted& operator=(const NotCounted&) = delete;

private:
    bool m_wasCounting;
};
