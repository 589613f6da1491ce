// The host's memory handles (PF_Handle): a master pointer to a block of bytes,
// created filled with a chosen byte, locked and unlocked with a depth count,
// resized, disposed. Misuse (an unknown handle, an unbalanced unlock, disposing
// or resizing a locked handle) is reported to the command recorder.
//
// Like the real host's, a handle's memory is only the module's while it is
// locked. With the strict rules (HandleRules, on by default):
// - every first lock may put the block at a new address, its contents copied,
//   so an address kept from an earlier lock is stale;
// - the block of an unlocked handle, and every address it had before, is
//   poisoned (memory_poison.h): reading a record outside its lock gives the
//   poison pattern, and under AddressSanitizer stops the program at the read.
// The host itself reads a handle's contents with contents(), never through the
// master pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "host/host_interface.h"
#include "simhost/accounting.h"
#include "simhost/command_log.h"

namespace simhost {

struct HandleRules {
    bool move_on_lock = true;
    bool poison_unlocked = true;
};

class HandleTable {
public:
    explicit HandleTable(CommandRecorder& recorder) : recorder_(recorder) {}
    // Frees what the module left (the accounting has reported it by then).
    ~HandleTable();
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    PF_Handle create(A_HandleSize size, std::uint8_t fill, const HandleRules& rules);
    void* lock(PF_Handle handle, const HandleRules& rules);  // null for an unknown handle
    void unlock(PF_Handle handle, const HandleRules& rules);
    void dispose(PF_Handle handle);
    A_HandleSize size(PF_Handle handle);
    PF_Err resize(A_HandleSize size, PF_Handle* handle, std::uint8_t fill,
                  const HandleRules& rules);

    // The handle's bytes as the module last left them; empty for an unknown handle.
    std::vector<std::uint8_t> contents(PF_Handle handle) const;
    // The sizes of the handles made during command `command_index` that are
    // still alive, `global_data` not counted.
    std::vector<std::size_t> alive_from_command(int command_index, PF_Handle global_data) const;

    // Adds the handle counts and the live handles to `a`; `global_data` is the
    // handle the host holds for the module between global setup and set-down.
    void account(Accounting& a, PF_Handle global_data) const;

private:
    using Bytes = std::unique_ptr<std::uint8_t[]>;
    struct Block {
        void* master = nullptr;  // what the PF_Handle points at
        Bytes bytes;             // the memory master points at
        std::size_t size = 0;
        int lock_depth = 0;
        int created_in = -1;  // the command that made it
        // While poisoned, the contents live here and `bytes` holds the pattern.
        bool poisoned = false;
        std::vector<std::uint8_t> kept;
        // Earlier addresses of the block, poisoned, freed with the handle.
        std::vector<std::pair<Bytes, std::size_t>> retired;
    };

    static std::vector<std::uint8_t> contents_of(const Block& block);
    static void poison(Block& block);
    static void retire(Block& block, const HandleRules& rules);
    static void free_memory(Block& block);

    CommandRecorder& recorder_;
    mutable std::mutex mutex_;
    std::map<PF_Handle, std::unique_ptr<Block>> blocks_;
    int created_ = 0;
    int disposed_ = 0;
    int lock_calls_ = 0;
    int unlock_calls_ = 0;
};

}  // namespace simhost
