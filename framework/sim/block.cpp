// Checks and copies for block records and buffers.
#include "sim_block.h"

#include <algorithm>
#include <cstring>

#include "trax_errors.h"

namespace sim {

Status check_buffer(const void *buffer, int32_t length) {
    if (length < 0 || length > kMaxBlockSize) {
        return ERR_MK_BLK_SIZE;
    }
    if (buffer == nullptr && length > 0) {
        return ERR_MK_ILL_PARAM;
    }
    return ERR_SUCCESS;
}

Status check_block(const M_SG_BLOCK *block) {
    if (block == nullptr) {
        return ERR_MK_ILL_PARAM;
    }
    return check_buffer(block->data, block->size);
}

void deliver_bytes(M_SG_BLOCK *block, const void *data, std::size_t size) {
    const std::size_t count = std::min(size, static_cast<std::size_t>(block->size));
    if (count > 0) {
        std::memcpy(block->data, data, count);
    }
    block->size = static_cast<int32_t>(count);
}

void deliver_text(M_SG_BLOCK *block, const std::string &text) {
    deliver_bytes(block, text.c_str(), text.size() + 1);
    if (block->size > 0) {
        static_cast<char *>(block->data)[block->size - 1] = '\0';
    }
}

} // namespace sim
