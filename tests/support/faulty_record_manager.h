// A record manager that passes calls on to another and fails on demand: the
// backbone of the error-path tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

#include "recordmanager/record_manager.h"

namespace varnok::testing {

class FaultyRecordManager : public rm::RecordManager {
 public:
  struct Call {
    uint16_t operation;
    int count;                 // 1 for the first call of this operation, 2 for the next, ...
    const uint8_t* data;       // the data buffer as it goes in
    uint16_t dataLength;
  };
  // Called before each call is passed on. Returning a status answers the
  // call with it, without reaching the book; returning nothing passes it on.
  // The hook may also throw, or fault.
  using Hook = std::function<std::optional<int16_t>(const Call&)>;

  explicit FaultyRecordManager(rm::RecordManager& inner) : inner_(inner) {}

  void setHook(Hook hook) { hook_ = std::move(hook); }

  // The calls of `operation` numbered from..from+times-1 (counting every
  // call of it so far) answer `status`.
  void failCalls(uint16_t operation, int16_t status, int from = 1, int times = 1) {
    setHook([=](const Call& call) -> std::optional<int16_t> {
      if (call.operation == operation && call.count >= from && call.count < from + times)
        return status;
      return std::nullopt;
    });
  }

  int calls(uint16_t operation) const {
    auto it = counts_.find(operation);
    return it == counts_.end() ? 0 : it->second;
  }

  int16_t call(uint16_t operation, void* positionBlock, void* dataBuffer, uint16_t* dataLength,
               void* keyBuffer, uint16_t keyLength, int16_t keyNumber) override {
    const int count = ++counts_[operation];
    if (hook_) {
      Call call{operation, count, static_cast<const uint8_t*>(dataBuffer),
                dataLength ? *dataLength : uint16_t{0}};
      if (auto status = hook_(call)) return *status;
    }
    return inner_.call(operation, positionBlock, dataBuffer, dataLength, keyBuffer, keyLength,
                       keyNumber);
  }

 private:
  rm::RecordManager& inner_;
  Hook hook_;
  std::map<uint16_t, int> counts_;
};

}  // namespace varnok::testing
