// Console input of traxnt: whitespace-delimited tokens from standard input, and the
// parsing of the tokens that commands ask for (numbers, element ranges).
//
// Every read is bounded: a token longer than its field is consumed whole and rejected,
// never split. At the end of standard input every read ends the program cleanly with exit
// status 0 (standard output flushed), whichever thread and prompt is reading.
// Before blocking on input, standard output is flushed (so prompts appear).
#ifndef TRAXNT_INPUT_H
#define TRAXNT_INPUT_H

#include <cstddef>
#include <cstdint>

/// Reads the next token into buf (cap bytes including the terminating zero). Returns false
/// when the token was longer than cap - 1 characters; buf then holds its first cap - 1.
bool ReadToken(char *buf, size_t cap);

/// Reads a hexadecimal number token (digits, optional "0x" prefix, value fits 32 bits).
/// On any other token prints the invalid-number line (see PrintInvalidNumber) and returns
/// false: the caller abandons its command without calling the library.
bool ReadHex(uint32_t *value);

/// Reads a decimal number token (optional sign, value fits a signed 32-bit number).
/// On any other token prints the invalid-number line and returns false.
bool ReadDec(int32_t *value);

/// As ReadDec, but silent: for prompts that ask again on invalid input.
bool TryReadDec(int32_t *value);

/// Discards the rest of the current input line.
void DiscardPendingInput();

/// Ends the process at once with status 0: flushes standard output and lets go of the
/// shared device states, but runs no destructors, which created threads that still wait
/// inside the platform layer may depend on.
[[noreturn]] void EndProcessNow();

/// Replaces what the end of standard input does after flushing standard output (by
/// default: end the program with exit status 0). The action must not return; a test that
/// runs the interpreter in-process throws from it to end one session.
void SetEndOfInputAction(void (*action)());

/// Prints the line that abandons a command after an invalid number token:
/// " \a*** not a <kind> number: <token>", the token cut to its first 40 characters
/// (followed by "...") when it is longer or was tooLong for its field.
void PrintInvalidNumber(const char *kind, const char *token, bool tooLong);

/// True when token is a hexadecimal number: an optional "0x" prefix and one or more
/// hexadecimal digits.
bool IsHexNumber(const char *token);

/// Inclusive range of element indices of the block buffer.
struct ElemRange {
    int32_t first;
    int32_t last;
};

/// How a range prompt treats a token.
enum class RangeStyle {
    Single,      // "x" or "x-y"; "*" has no special meaning
    SingleOrAll, // "x", "x-y" or "*" for the whole buffer
    SpanOrAll,   // "x-y" or "*"; a single "x" is invalid
};

constexpr size_t kRangeTokenSize = 20; // 19 characters and the terminating zero

/// Converts the leading decimal number of text as the standard conversion does (leading
/// blanks, an optional sign, digits; text without digits is 0). False when the number does
/// not fit a signed 32-bit value.
bool LeadingDecimal(const char *text, int32_t *value);

/// Parses a range token against the highest index maxIndex. The token is split at its
/// first "-" into x and y; without "-" both are the token's value. True for a valid range
/// (x <= y <= maxIndex, both within 32 bits); *range is left alone otherwise.
bool ParseRangeToken(const char *token, RangeStyle style, int32_t maxIndex, ElemRange *range);

#endif
