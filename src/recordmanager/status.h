// Operation codes and status numbers of the record manager call.
//
// The numbers are those of the classic record manager, so that callers and
// logs read naturally to anyone who knows it.
#pragma once

#include <cstdint>

namespace varnok::rm {

namespace op {
inline constexpr uint16_t Open = 0;
inline constexpr uint16_t Close = 1;
inline constexpr uint16_t Insert = 2;
inline constexpr uint16_t Update = 3;
inline constexpr uint16_t Delete = 4;
inline constexpr uint16_t GetNext = 6;
inline constexpr uint16_t GetGreaterOrEqual = 9;
inline constexpr uint16_t Create = 14;
inline constexpr uint16_t Stat = 15;
// Ours: closes the book and discards every change made since Open.
inline constexpr uint16_t Discard = 21;
}  // namespace op

namespace status {
inline constexpr int16_t Success = 0;
inline constexpr int16_t InvalidOperation = 1;   // unknown operation code
inline constexpr int16_t IoError = 2;            // I/O error, or a damaged book file
inline constexpr int16_t FileNotOpen = 3;        // also: a position block that names no open book
inline constexpr int16_t KeyNotFound = 4;
inline constexpr int16_t DuplicateKey = 5;
inline constexpr int16_t InvalidKeyNumber = 6;
inline constexpr int16_t DifferentKeyNumber = 7; // Get Next on another key than the position's
inline constexpr int16_t InvalidPositioning = 8; // Update, Delete or Get Next with no current entry
inline constexpr int16_t EndOfFile = 9;          // also: Get Greater or Equal finds nothing
inline constexpr int16_t InvalidFileName = 11;   // empty path, or one naming a folder (or
                                                 // anything but a regular file)
inline constexpr int16_t FileNotFound = 12;
inline constexpr int16_t DiskFull = 18;
inline constexpr int16_t KeyBufferTooShort = 21; // key buffer shorter than the key it must hold
inline constexpr int16_t DataBufferLength = 22;  // data buffer missing, or of the wrong length
inline constexpr int16_t NotABookFile = 30;
inline constexpr int16_t AccessDenied = 46;
inline constexpr int16_t FileExists = 59;        // Create over an existing file
inline constexpr int16_t RecordLocked = 84;
inline constexpr int16_t FileLocked = 85;        // the book is open elsewhere (another process, or
                                                 // another position block of this one)
}  // namespace status

// A short English text for one of the engine's statuses, for messages and
// logs; "unknown status" for any other. A record manager in front of the
// engine may answer statuses of its own from 190 on, and names them itself
// (RecordManager::statusText).
const char* statusText(int16_t status);

}  // namespace varnok::rm
