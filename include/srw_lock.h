// A scope holding an SRW lock, exclusively or shared.
#pragma once

#include <windows.h>

template <bool Exclusive>
class SrwLocked {
public:
    explicit SrwLocked(SRWLOCK *lock) : lock_(lock) {
        if (Exclusive) AcquireSRWLockExclusive(lock_);
        else AcquireSRWLockShared(lock_);
    }
    ~SrwLocked() {
        if (Exclusive) ReleaseSRWLockExclusive(lock_);
        else ReleaseSRWLockShared(lock_);
    }
    SrwLocked(const SrwLocked &) = delete;
    SrwLocked &operator=(const SrwLocked &) = delete;

private:
    SRWLOCK *lock_;
};
