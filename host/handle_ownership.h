// Host handles held by the module, released by scope rather than by discipline.
#pragma once

#include "host/host_interface.h"

namespace velkor {

// A handle the module has allocated and not yet given to the host: disposed at
// the end of its scope unless released.
class OwnedHandle {
public:
    OwnedHandle(const PF_HandleSuite1& suite, PF_Handle handle) : suite_(suite), handle_(handle) {}
    ~OwnedHandle()
    {
        if (handle_ != nullptr) suite_.host_dispose_handle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    PF_Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Hands the handle on; this object no longer disposes it.
    PF_Handle release()
    {
        PF_Handle handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    const PF_HandleSuite1& suite_;
    PF_Handle handle_;
};

// A lock on a handle for the length of a scope. A lock that yields no address
// holds nothing and unlocks nothing.
class HandleLock {
public:
    HandleLock(const PF_HandleSuite1& suite, PF_Handle handle)
        : suite_(suite), handle_(handle), address_(suite.host_lock_handle(handle))
    {
    }
    ~HandleLock()
    {
        if (address_ != nullptr) suite_.host_unlock_handle(handle_);
    }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;

    void* address() const { return address_; }

private:
    const PF_HandleSuite1& suite_;
    PF_Handle handle_;
    void* address_;
};

}  // namespace velkor
