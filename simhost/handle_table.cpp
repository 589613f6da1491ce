#include "simhost/handle_table.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace simhost {

namespace {

std::unique_ptr<std::uint8_t[]> filled_bytes(std::size_t size, std::uint8_t fill)
{
    auto bytes = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(size, 1));
    std::memset(bytes.get(), fill, std::max<std::size_t>(size, 1));
    return bytes;
}

}  // namespace

PF_Handle HandleTable::create(A_HandleSize size, std::uint8_t fill)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto block = std::make_unique<Block>();
    block->size = static_cast<std::size_t>(size);
    block->bytes = filled_bytes(block->size, fill);
    block->master = block->bytes.get();
    PF_Handle handle = &block->master;
    blocks_.emplace(handle, std::move(block));
    ++created_;
    return handle;
}

void* HandleTable::lock(PF_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_lock_handle on a handle the host does not know");
        return nullptr;
    }
    ++it->second->lock_depth;
    ++lock_calls_;
    return it->second->master;
}

void HandleTable::unlock(PF_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_unlock_handle on a handle the host does not know");
        return;
    }
    if (it->second->lock_depth == 0) {
        recorder_.violation("host_unlock_handle on a handle that is not locked");
        return;
    }
    --it->second->lock_depth;
    ++unlock_calls_;
}

void HandleTable::dispose(PF_Handle handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = blocks_.find(handle);
    if (it == blocks_.end()) {
        recorder_.violation("host_dispose_handle on a handle the host does not know (or disposed twice)");
        return;
    }
    if (it->second->lock_depth != 0) {
        recorder_.violation("host_dispose_handle on a handle still locked (depth " +
                            std::to_string(it->second->lock_depth) + ")");
    }
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

PF_Err HandleTable::resize(A_HandleSize size, PF_Handle* handle, std::uint8_t fill)
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
    const std::size_t new_size = static_cast<std::size_t>(size);
    auto bytes = filled_bytes(new_size, fill);
    std::memcpy(bytes.get(), block.bytes.get(), std::min(new_size, block.size));
    block.bytes = std::move(bytes);
    block.size = new_size;
    block.master = block.bytes.get();
    return PF_Err_NONE;
}

void HandleTable::account(Accounting& a, PF_Handle global_data) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    a.handles_created = created_;
    a.handles_disposed = disposed_;
    a.lock_calls = lock_calls_;
    a.unlock_calls = unlock_calls_;
    for (const auto& [handle, block] : blocks_) {
        a.live_handles.push_back(HandleState{block->size, block->lock_depth, handle == global_data});
    }
}

}  // namespace simhost
