#include "recordmanager/status.h"

namespace varnok::rm {

const char* statusText(int16_t value) {
  switch (value) {
    case status::Success: return "success";
    case status::InvalidOperation: return "invalid operation";
    case status::IoError: return "I/O error or damaged book file";
    case status::FileNotOpen: return "book not open";
    case status::KeyNotFound: return "key value not found";
    case status::DuplicateKey: return "duplicate key value";
    case status::InvalidKeyNumber: return "invalid key number";
    case status::DifferentKeyNumber: return "different key number";
    case status::InvalidPositioning: return "no current entry";
    case status::EndOfFile: return "end of file";
    case status::InvalidFileName: return "invalid file name";
    case status::FileNotFound: return "file not found";
    case status::DiskFull: return "disk full";
    case status::KeyBufferTooShort: return "key buffer too short";
    case status::DataBufferLength: return "wrong data buffer length";
    case status::NotABookFile: return "not a gun book file";
    case status::AccessDenied: return "access denied";
    case status::FileExists: return "file already exists";
    case status::RecordLocked: return "entry locked";
    case status::FileLocked: return "book open elsewhere";
    default: return "unknown status";
  }
}

}  // namespace varnok::rm
