// The host's memory handles (PF_Handle): a master pointer to a block of bytes,
// created filled with a chosen byte, locked and unlocked with a depth count,
// resized, disposed. Misuse (an unknown handle, an unbalanced unlock, disposing
// or resizing a locked handle) is reported to the command recorder.
//
// A handle's memory stays where it is while it lives: this is the place for a
// host that moves blocks between locks or poisons unlocked memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/command_log.h"

namespace simhost {

class HandleTable {
public:
    explicit HandleTable(CommandRecorder& recorder) : recorder_(recorder) {}

    PF_Handle create(A_HandleSize size, std::uint8_t fill);
    void* lock(PF_Handle handle);  // null for an unknown handle
    void unlock(PF_Handle handle);
    void dispose(PF_Handle handle);
    A_HandleSize size(PF_Handle handle);
    PF_Err resize(A_HandleSize size, PF_Handle* handle, std::uint8_t fill);

    // Adds the handle counts and the live handles to `a`; `global_data` is the
    // handle the host holds for the module between global setup and set-down.
    void account(Accounting& a, PF_Handle global_data) const;

private:
    struct Block {
        void* master = nullptr;  // what the PF_Handle points at
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t size = 0;
        int lock_depth = 0;
    };

    CommandRecorder& recorder_;
    mutable std::mutex mutex_;
    std::map<PF_Handle, std::unique_ptr<Block>> blocks_;
    int created_ = 0;
    int disposed_ = 0;
    int lock_calls_ = 0;
    int unlock_calls_ = 0;
};

}  // namespace simhost
