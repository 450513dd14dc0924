// The libFuzzer entry of one fuzzer program; TINTERY_FUZZ_ENTRY names the
// target function (see FuzzTargets.h), set per program by fuzz/CMakeLists.txt.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* budget = std::getenv("TINTERY_FUZZ_DECODE_BUDGET");
  tintery::fuzz::setDecodeBudget(budget != nullptr ? std::atoll(budget)
                                                   : tintery::fuzz::kFuzzingDecodeBudget);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return tintery::fuzz::TINTERY_FUZZ_ENTRY(data, size);
}
