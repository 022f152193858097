// Checks and copies for the caller's block records and buffers: a block call never writes
// more than the caller's size and never reads beyond it.
#ifndef TRAX_SIM_BLOCK_H
#define TRAX_SIM_BLOCK_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim_catalogue.h"
#include "trax_api.h"

namespace sim {

/// Largest block any call accepts, in bytes.
constexpr int32_t kMaxBlockSize = 1 << 20;

/// ERR_MK_BLK_SIZE for a negative or too large length, ERR_MK_ILL_PARAM for a null
/// buffer with a non-zero length, else 0.
Status check_buffer(const void *buffer, int32_t length);
/// As check_buffer for a block record, which itself must not be null.
Status check_block(const M_SG_BLOCK *block);
/// Copies up to block->size bytes of data into the block and sets size to the bytes
/// delivered.
void deliver_bytes(M_SG_BLOCK *block, const void *data, std::size_t size);
/// Delivers a text with its terminating zero; a text longer than the block is cut so that
/// it still ends in a zero within the block.
void deliver_text(M_SG_BLOCK *block, const std::string &text);

} // namespace sim

#endif
