#include "simhost/handle_table.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "simhost/memory_poison.h"

namespace simhost {

namespace {

std::size_t allocated(std::size_t size) { return std::max<std::size_t>(size, 1); }

std::unique_ptr<std::uint8_t[]> filled_bytes(std::size_t size, std::uint8_t fill)
{
    auto bytes = std::make_unique<std::uint8_t[]>(allocated(size));
    std::memset(bytes.get(), fill, allocated(size));
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> HandleTable::contents_of(const Block& block)
{
    if (block.poisoned) {
        return block.kept;
    }
    return std::vector<std::uint8_t>(block.bytes.get(), block.bytes.get() + block.size);
}

void HandleTable::poison(Block& block)
{
    if (block.poisoned) {
        return;
    }
    block.kept = contents_of(block);
    poison_memory(block.bytes.get(), allocated(block.size));
    block.poisoned = true;
}

// The block's current memory becomes a stale address; the caller gives it new memory.
void HandleTable::retire(Block& block, const HandleRules& rules)
{
    if (!block.poisoned && rules.poison_unlocked) {
        poison_memory(block.bytes.get(), allocated(block.size));
    }
    block.retired.emplace_back(std::move(block.bytes), block.size);
    block.poisoned = false;
    block.kept.clear();
}

void HandleTable::free_memory(Block& block)
{
    unpoison_memory(block.bytes.get(), allocated(block.size));
    for (auto& [bytes, size] : block.retired) {
        unpoison_memory(bytes.get(), allocated(size));
    }
}

HandleTable::~HandleTable()
{
    for (auto& [handle, block] : blocks_) {
        free_memory(*block);
    }
}

PF_Handle HandleTable::create(A_HandleSize size, std::uint8_t fill, const HandleRules& rules)
{
    const int command = recorder_.current_index();
    std::lock_guard<std::mutex> lock(mutex_);
    auto block = std::make_unique<Block>();
    block->size = static_cast<std::size_t>(size);
    block->bytes = filled_bytes(block->size, fill);
    block->master = block->bytes.get();
    block->created_in = command;
    if (rules.poison_unlocked) {
        poison(*block);
    }
    PF_Handle handle = &block->master;
    blocks_.emplace(handle, std::move(block));
    ++created_;
    return handle;
}

void* HandleTable::lock(PF_Handle handle, const HandleRules& rules)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_lock_handle on a handle the host does not know");
        return nullptr;
    }
    Block& block = *it->second;
    if (block.lock_depth == 0) {
        if (rules.move_on_lock) {
            const std::vector<std::uint8_t> contents = contents_of(block);
            retire(block, rules);
            block.bytes = filled_bytes(block.size, 0);
            std::memcpy(block.bytes.get(), contents.data(), block.size);
            block.master = block.bytes.get();
        } else if (block.poisoned) {
            unpoison_memory(block.bytes.get(), allocated(block.size));
            std::memcpy(block.bytes.get(), block.kept.data(), block.size);
            block.poisoned = false;
            block.kept.clear();
        }
    }
    ++block.lock_depth;
    ++lock_calls_;
    return block.master;
}

void HandleTable::unlock(PF_Handle handle, const HandleRules& rules)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_unlock_handle on a handle the host does not know");
        return;
    }
    Block& block = *it->second;
    if (block.lock_depth == 0) {
        recorder_.violation("host_unlock_handle on a handle that is not locked");
        return;
    }
    --block.lock_depth;
    ++unlock_calls_;
    if (block.lock_depth == 0 && rules.poison_unlocked) {
        poison(block);
    }
}

void HandleTable::dispose(PF_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation(
            "host_dispose_handle on a handle the host does not know (or disposed twice)");
        return;
    }
    if (it->second->lock_depth != 0) {
        recorder_.violation("host_dispose_handle on a handle still locked (depth " +
                            std::to_string(it->second->lock_depth) + ")");
    }
    free_memory(*it->second);
    blocks_.erase(it);
    ++disposed_;
}

A_HandleSize HandleTable::size(PF_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_get_handle_size on a handle the host does not know");
        return 0;
    }
    return it->second->size;
}

PF_Err HandleTable::resize(A_HandleSize size, PF_Handle* handle, std::uint8_t fill,
                           const HandleRules& rules)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = handle == nullptr ? blocks_.end() : blocks_.find(*handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_resize_handle on a handle the host does not know");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    Block& block = *it->second;
    if (block.lock_depth != 0) {
        recorder_.violation("host_resize_handle on a locked handle");
    }
    const std::vector<std::uint8_t> contents = contents_of(block);
    retire(block, rules);
    const std::size_t new_size = static_cast<std::size_t>(size);
    block.bytes = filled_bytes(new_size, fill);
    std::memcpy(block.bytes.get(), contents.data(), std::min(new_size, contents.size()));
    block.size = new_size;
    block.master = block.bytes.get();
    if (block.lock_depth == 0 && rules.poison_unlocked) {
        poison(block);
    }
    return PF_Err_NONE;
}

std::vector<std::uint8_t> HandleTable::contents(PF_Handle handle) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    return it == blocks_.end() ? std::vector<std::uint8_t>{} : contents_of(*it->second);
}

std::vector<std::size_t> HandleTable::alive_from_command(int command_index,
                                                         PF_Handle global_data) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::size_t> sizes;
    for (const auto& [handle, block] : blocks_) {
        if (block->created_in == command_index && handle != global_data) {
            sizes.push_back(block->size);
        }
    }
    return sizes;
}

void HandleTable::account(Accounting& a, PF_Handle global_data) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    a.handles_created = created_;
    a.handles_disposed = disposed_;
    a.lock_calls = lock_calls_;
    a.unlock_calls = unlock_calls_;
    for (const auto& [handle, block] : blocks_) {
        a.live_handles.push_back(
            HandleState{block->size, block->lock_depth, handle == global_data});
    }
}

}  // namespace simhost
