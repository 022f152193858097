/* Console input of traxnt: whitespace-delimited tokens from standard input.
 *
 * Every read is bounded: a token longer than its field is consumed whole and rejected,
 * never split. At the end of standard input every read ends the program cleanly with exit
 * status 0 (standard output flushed), whichever thread and prompt is reading.
 * Before blocking on input, standard output is flushed (so prompts appear). */
#ifndef TRAXNT_INPUT_H
#define TRAXNT_INPUT_H

#include <cstddef>
#include <cstdint>

/** Reads the next token into buf (cap bytes including the terminating zero). Returns false
 *  when the token was longer than cap - 1 characters; buf then holds its first cap - 1. */
bool ReadToken(char *buf, size_t cap);

/** Reads a hexadecimal number token (digits, optional "0x" prefix, value fits 32 bits).
 *  On any other token prints the invalid-number line (see PrintInvalidNumber) and returns
 *  false: the caller abandons its command without calling the library. */
bool ReadHex(uint32_t *value);

/** Reads a decimal number token (optional sign, value fits a signed 32-bit number).
 *  On any other token prints the invalid-number line and returns false. */
bool ReadDec(int32_t *value);

/** As ReadDec, but silent: for prompts that ask again on invalid input. */
bool TryReadDec(int32_t *value);

/** Discards the rest of the current input line. */
void DiscardPendingInput();

/** Ends the process at once with status 0: flushes standard output and lets go of the
 *  shared device states, but runs no destructors, which created threads that still wait
 *  inside the platform layer may depend on. */
[[noreturn]] void EndProcessNow();

#endif
