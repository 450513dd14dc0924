#pragma once

namespace s::base {

// Makes new objects or records (a pool's obtain face).
class IGenerator {
 public:
  virtual ~IGenerator() = default;
  virtual void* generate() = 0;
};

}  // namespace s::base
