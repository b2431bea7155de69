// Builds decoded string tables in memory, as the payload would deliver them.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

class TableBuilder {
 public:
  TableBuilder& Wide(uint32_t id, const std::u16string& text) {
    std::vector<uint8_t> record;
    PutU32(record, uint32_t(text.size()));
    for (char16_t c : text) {
      record.push_back(uint8_t(c & 0xFF));
      record.push_back(uint8_t(c >> 8));
    }
    records_[id] = record;
    return *this;
  }

  TableBuilder& Narrow(uint32_t id, const std::string& text) {
    std::vector<uint8_t> record;
    PutU32(record, uint32_t(text.size()) | 0x80000000u);
    record.insert(record.end(), text.begin(), text.end());
    records_[id] = record;
    return *this;
  }

  uint32_t Rows() const { return uint32_t(records_.size()); }

  // A new[] buffer, as the table takes ownership of it.
  uint8_t* Build() const {
    std::vector<uint8_t> index;
    std::vector<uint8_t> pool;
    for (const auto& [id, record] : records_) {
      PutU32(index, id);
      PutU32(index, uint32_t(pool.size()));
      pool.insert(pool.end(), record.begin(), record.end());
    }
    auto* buffer = new uint8_t[index.size() + pool.size() + 1];
    std::memcpy(buffer, index.data(), index.size());
    if (!pool.empty()) std::memcpy(buffer + index.size(), pool.data(), pool.size());
    return buffer;
  }

 private:
  static void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  }

  std::map<uint32_t, std::vector<uint8_t>> records_;
};
